#include "lines/spectrum_lines.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "analysis/calibration_unit.h"
#include "app/engine_state.h"

namespace tolvane {

CalibrationCheck lineCalibration(const EngineState& s) {
  CalibrationCheck check;
  const EnergyCalibration& cal = s.Calibration;
  if (cal.Valid != 1) {
    check.error = CalibrationError::NotCalibrated;
    return check;
  }
  if (!std::isfinite(cal.Gain) || !std::isfinite(cal.Offset)) {
    check.error = CalibrationError::NotFinite;
    return check;
  }
  if (!(cal.Gain > 0.0f)) {
    check.error = CalibrationError::NotIncreasing;
    return check;
  }
  // The numbers carry no unit; a calibration in eV is told by its size.
  const KevCalibration kev = calibrationInKev(cal.Gain, cal.Offset, s.Acquisition.ChannelCount, cal.Quadratic);
  check.scale = {kev.gainKev, kev.offsetKev, kev.quadraticKev};
  return check;
}

std::vector<int> parseElementList(const std::string& text, std::vector<std::string>* unknown) {
  std::vector<int> out;
  std::string word;
  const auto flush = [&] {
    if (word.empty()) return;
    if (const auto z = parseElement(word)) {
      if (std::find(out.begin(), out.end(), *z) == out.end()) out.push_back(*z);
    } else if (unknown) {
      unknown->push_back(word);
    }
    word.clear();
  };
  for (const char ch : text) {
    if (std::isspace(static_cast<unsigned char>(ch)) || ch == ',' || ch == ';')
      flush();
    else
      word += ch;
  }
  flush();
  return out;
}

SpectrumLinesResult spectrumPeaks(const EngineState& s, const EnergyScale& scale, double maxKev,
                                  const PeakSearchOptions& options, const DetectorResolution& resolution,
                                  const ProposalOptions& proposal) {
  SpectrumLinesResult r;
  const int32_t size = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  const int32_t* counts = s.Working.Counts.data();
  const PeakSearchResult search = searchPeaks(counts, size, scale, resolution, options);
  r.error = search.error;
  if (!r.error) r.identification = identifyPeaks(search.peaks, counts, size, scale, resolution, maxKev, proposal);
  return r;
}

double spectrumTopKev(const EngineState& s, const EnergyScale& scale) {
  const int32_t size = std::clamp(s.Acquisition.ChannelCount, 1, std::max(s.Working.capacity(), 1));
  return scale.energy(size - 1);
}

CursorIdentification identifyAtEnergy(double energyKev, const DetectorResolution& resolution, double maxKev,
                                      const std::vector<int>& present) {
  CursorIdentification id;
  id.energyKev = energyKev;
  id.fwhmKev = resolution.fwhmKev(energyKev);
  id.candidates = candidatesNear(energyKev, id.fwhmKev, identificationPool(maxKev, present));
  const auto isPresent = [&](const LineCandidate& c) {
    return std::find(present.begin(), present.end(), c.line.z) != present.end();
  };
  const auto split = std::stable_partition(id.candidates.begin(), id.candidates.end(), isPresent);
  std::stable_sort(id.candidates.begin(), split, [](const LineCandidate& a, const LineCandidate& b) {
    return std::fabs(a.distanceKev) < std::fabs(b.distanceKev);
  });
  return id;
}

std::string identifyText(const CursorIdentification& id, size_t most) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f keV: ", id.energyKev);
  std::string out = buffer;
  if (id.candidates.empty()) {
    std::snprintf(buffer, sizeof buffer, "no line within %.0f eV", id.fwhmKev * 1000.0);
    return out + buffer;
  }
  for (size_t i = 0; i < id.candidates.size() && i < most; ++i) {
    const XrayLine& l = id.candidates[i].line;
    std::snprintf(buffer, sizeof buffer, "%s%s %s (%.3f)", i > 0 ? ", " : "", l.element.c_str(), l.group.c_str(),
                  l.energyKev);
    out += buffer;
  }
  if (id.candidates.size() > most) out += "…";
  return out;
}

std::string identifyDetails(const CursorIdentification& id) {
  std::string out;
  char buffer[96];
  for (const LineCandidate& c : id.candidates) {
    std::snprintf(buffer, sizeof buffer, "%s%s %s  %.4f keV  %+.0f eV  rel %.3f", out.empty() ? "" : "\n",
                  c.line.element.c_str(), c.line.name.c_str(), c.line.energyKev, c.distanceKev * 1000.0,
                  c.line.relative);
    out += buffer;
  }
  return out;
}

const char* calibrationErrorText(CalibrationError error) {
  switch (error) {
    case CalibrationError::NotCalibrated:
      return "Lines off: no energy calibration";
    case CalibrationError::NotIncreasing:
      return "Lines off: calibration gain not positive";
    case CalibrationError::NotFinite:
      return "Lines off: calibration not a number";
  }
  return "Lines off";
}

}  // namespace tolvane
