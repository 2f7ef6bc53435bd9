#include "files/emsa_import.h"

#include <algorithm>
#include <fstream>

#include "app/session.h"
#include "files/path_name.h"

namespace tolvane {

std::string importAdjustmentText(const ImportOutcome& o) {
  if (o.kind != ImportOutcome::Kind::Loaded) return {};
  const EmsaSpectrum& e = o.read.spectrum;
  const int points = static_cast<int>(e.counts.size());
  std::string text;
  const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
  if (e.declaredPoints > 0) add("Kept " + std::to_string(points) + " values, #NPOINTS " + std::to_string(e.declaredPoints));
  if (e.scaleFromXColumn) add("Scale from X column");
  if (e.rounded) add("Counts rounded");
  if (points != o.channels) add("Padded " + std::to_string(points) + " -> " + std::to_string(o.channels) + " ch");
  return text;
}

SpectrumAdoption loadEmsaSpectrum(Session& s, const EmsaSpectrum& e, const std::string& name) {
  const int points = static_cast<int>(e.counts.size());
  const int channels =
      std::min((points + kFileBlockChannels - 1) / kFileBlockChannels * kFileBlockChannels, s.Working.capacity());
  std::fill(s.Working.Counts.begin(), s.Working.Counts.begin() + channels, 0);
  for (int c = 0; c < std::min(points, channels); ++c)
    s.Working.Counts[static_cast<size_t>(c)] = static_cast<int32_t>(e.counts[static_cast<size_t>(c)]);

  // A header as a spectrum file of this spectrum would carry. The ROI
  // windows stay those in force unless the file brings its own.
  SpectrumFileHeader h;
  h.setMakerText();
  h.setChannelCount(static_cast<int16_t>(channels));
  h.setCalibrationMarker(e.calibrated ? 0.0f : 1.0f);
  h.setGain(e.calibrated ? e.gainKev : 0.0f);
  if (e.calibrated) h.setOffset(e.offsetKev);
  if (e.start) h.setStartTime(*e.start);
  for (int i = 0; i < SpectrumFileHeader::kRoiSlots; ++i) {
    const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(i)];
    h.setRoiLow(i, static_cast<int16_t>(roi.LowChannel));
    h.setRoiHigh(i, static_cast<int16_t>(roi.HighChannel));
    h.setRoiColour(i, static_cast<int16_t>(roi.Colour));
  }
  for (const EmsaRoi& roi : e.rois) {
    h.setRoiLow(roi.index, static_cast<int16_t>(roi.low));
    h.setRoiHigh(roi.index, static_cast<int16_t>(roi.high));
    RoiEntry& entry = s.Rois.Entries[static_cast<size_t>(roi.index)];
    entry.ElementLabel.fill('\0');
    std::copy_n(roi.label.begin(), std::min<size_t>(roi.label.size(), entry.ElementLabel.size() - 1),
                entry.ElementLabel.begin());
    entry.Defined = 1;
  }
  h.setPresetTime(e.presetTime.value_or(0));
  h.setLiveTime(e.liveTime.value_or(0));
  h.setRealTime(e.realTime.value_or(0));
  h.setComment(e.title);
  h.setSampleId(e.sampleId);
  s.Working.Header = h;
  s.Working.setName(name);
  // The file states its energy unit; the readout names the unit the
  // calibration now holds.
  if (e.calibrated) s.Calibration.UnitText = {'k', 'e', 'V', '\0'};
  return adoptSpectrum(s, channels);
}

ImportOutcome importEmsa(Session& s, std::string_view bytes, const std::string& name) {
  ImportOutcome o;
  o.read = readEmsa(bytes);
  if (!o.read.ok()) {
    o.kind = ImportOutcome::Kind::Refused;
    return o;
  }
  o.adoption = loadEmsaSpectrum(s, o.read.spectrum, name);
  o.channels = o.adoption.channels;
  return o;
}

ImportOutcome::Kind readImportFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  char chunk[65536];
  while (in && bytes.size() <= kEmsaMaxFileBytes) {
    in.read(chunk, sizeof chunk);
    bytes.append(chunk, static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  }
  if (!in && !in.eof()) return ImportOutcome::Kind::CannotOpen;
  if (bytes.size() > kEmsaMaxFileBytes) return ImportOutcome::Kind::TooLarge;
  return ImportOutcome::Kind::Loaded;
}

ImportOutcome importEmsaPath(Session& s, const std::string& path) {
  ImportOutcome o;
  std::string bytes;
  o.kind = readImportFile(path, bytes);
  if (o.kind != ImportOutcome::Kind::Loaded) return o;
  o = importEmsa(s, bytes, fileNameOf(path));
  if (o.kind == ImportOutcome::Kind::Loaded) s.LastPath = path.substr(0, Session::kMaxPathLength);
  return o;
}

}  // namespace tolvane
