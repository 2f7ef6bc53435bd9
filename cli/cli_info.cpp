// tolvane-cli info: the header fields of a spectrum file and a check of its
// counts, as File > Read would take them.
#include <cmath>
#include <cstdio>

#include "analysis/calibration_unit.h"
#include "cli/cli_common.h"
#include "cli/file_session.h"
#include "cli/json_text.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

namespace {

// The start as "YYYY-MM-DD hh:mm:ss"; empty when the header holds none.
std::string startText(const SpectrumFileHeader& h) {
  const auto t = h.startTime();
  if (!t.known()) return "";
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

// The file stores no unit with its calibration: the unit is the one the
// calibration's range implies (keV, or eV for a calibration whose last
// channel lies above the eV threshold), as every energy the tool shows.
const char* unitOf(const SpectrumFileRead& r) {
  return calibrationUnit(r.header.gain(), r.header.offset(), r.channels) == CalibrationUnit::EV ? "eV" : "keV";
}

// As File > Read takes it: a marker other than 1.0 with a usable gain.
bool calibrated(const SpectrumFileHeader& h) {
  return h.calibrationMarker() != 1.0f && h.gain() != 0.0f && std::isfinite(h.gain()) && std::isfinite(h.offset());
}

uint64_t totalCounts(const std::vector<int32_t>& counts) {
  uint64_t total = 0;
  for (const int32_t c : counts) total += static_cast<uint32_t>(c);
  return total;
}

void printText(const std::string& path, const SpectrumFileRead& r) {
  const SpectrumFileHeader& h = r.header;
  std::printf("file:         %s\n", path.c_str());
  std::printf("maker:        %s\n", h.makerText().c_str());
  std::printf("channels:     %d (header says %d)\n", r.channels, h.channelCount());
  std::printf("started:      %s\n", startText(h).empty() ? "unknown" : startText(h).c_str());
  std::printf("preset time:  %.1f s\n", h.presetTime() / 10.0);
  std::printf("real time:    %.1f s\n", h.realTime() / 10.0);
  std::printf("live time:    %.1f s\n", h.liveTime() / 10.0);
  if (!calibrated(h))
    std::printf("calibration:  none\n");
  else
    std::printf("calibration:  gain %s %s per channel, offset %s %s%s\n", jsonNumber(h.gain()).c_str(), unitOf(r),
                jsonNumber(h.offset()).c_str(), unitOf(r),
                h.quadratic() == 0.0f
                    ? ""
                    : (", quadratic " + jsonNumber(h.quadratic()) + " " + unitOf(r) + " per channel squared").c_str());
  std::printf("comment:      %s\n", h.comment().c_str());
  std::printf("sample id:    %s\n", h.sampleId().c_str());
  for (int i = 0; i < SpectrumFileHeader::kRoiSlots; ++i)
    if (h.roiLow(i) != 0 || h.roiHigh(i) != 0)
      std::printf("roi %2d:       %d .. %d colour 0x%04X\n", i, h.roiLow(i), h.roiHigh(i),
                  static_cast<unsigned>(static_cast<uint16_t>(h.roiColour(i))));
  std::printf("total counts: %llu\n", static_cast<unsigned long long>(totalCounts(r.counts)));
}

// The quadratic term is named only when the file holds one.
std::string calibrationJson(const SpectrumFileRead& r) {
  const SpectrumFileHeader& h = r.header;
  JsonObject o;
  o.addNumber("gain", h.gain()).addNumber("offset", h.offset());
  if (h.quadratic() != 0.0f) o.addNumber("quadratic", h.quadratic());
  return o.addText("unit", unitOf(r)).text();
}

void printJson(const std::string& path, const SpectrumFileRead& r) {
  const SpectrumFileHeader& h = r.header;
  std::vector<std::string> rois;
  for (int i = 0; i < SpectrumFileHeader::kRoiSlots; ++i)
    if (h.roiLow(i) != 0 || h.roiHigh(i) != 0)
      rois.push_back(JsonObject()
                         .addNumber("index", i)
                         .addNumber("low", h.roiLow(i))
                         .addNumber("high", h.roiHigh(i))
                         .addNumber("colour", static_cast<int>(static_cast<uint16_t>(h.roiColour(i))))
                         .text());
  JsonObject o;
  o.addText("file", path)
      .addText("maker", h.makerText())
      .addNumber("channels", r.channels)
      .add("started", startText(h).empty() ? "null" : jsonText(startText(h)))
      .addNumber("preset_time_s", h.presetTime() / 10.0)
      .addNumber("real_time_s", h.realTime() / 10.0)
      .addNumber("live_time_s", h.liveTime() / 10.0)
      .add("calibration", calibrated(h) ? calibrationJson(r) : "null")
      .addText("comment", h.comment())
      .addText("sample_id", h.sampleId())
      .add("rois", jsonArray(rois))
      .add("total_counts", std::to_string(totalCounts(r.counts)));
  std::printf("%s\n", o.text().c_str());
}

}  // namespace

int runInfo(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Print the header fields of a binary spectrum file.");
  parser.addPositionalArgument("FILE", "Spectrum file (.dat).");
  parser.addOption({"json", "Print one JSON object."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 1, 1, "[--json] FILE")) return kExitUsage;

  const std::string path = parser.positionalArguments().front().toStdString();
  const SpectrumFileRead r = readSpectrumPath(path);
  if (r.outcome == SpectrumFileRead::Outcome::CannotOpen)
    return fail(code::kNotFound, "cannot open " + path + ": " + unreadableReason(path));
  if (r.outcome == SpectrumFileRead::Outcome::Refused) return fail(code::kRefused, refusedSpectrumMessage(path, r));
  if (parser.isSet("json"))
    printJson(path, r);
  else
    printText(path, r);
  return kExitOk;
}

}  // namespace tolvane::cli
