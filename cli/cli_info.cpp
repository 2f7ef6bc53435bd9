// tolvane-cli info: the header fields of a spectrum file and a check of its
// counts, as File > Read would take them.
#include <cstdio>
#include <fstream>
#include <vector>

#include "cli/cli_common.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

int runInfo(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Print the header fields of a binary spectrum file.");
  parser.addPositionalArgument("file", "Spectrum file (.dat).");
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  if (parser.positionalArguments().size() != 1) return printError("info takes one spectrum file");

  const std::string path = parser.positionalArguments().front().toStdString();
  std::ifstream in(path, std::ios::binary);
  if (!in) return printError("cannot open " + path);
  SpectrumFileHeader h;
  std::vector<int32_t> counts(kFileBlockChannels * kFileMaxBlocks);
  const int m = decodeSpectrumFile(in, h, counts.data(), static_cast<int>(counts.size()));

  const auto t = h.startTime();
  std::printf("file:         %s\n", path.c_str());
  std::printf("maker:        %s\n", h.makerText().c_str());
  std::printf("channels:     %d (header says %d)\n", m, h.channelCount());
  std::printf("started:      %04d-%02d-%02d %02d:%02d:%02d\n", t.year, t.month, t.day, t.hour, t.minute, t.second);
  std::printf("preset time:  %.1f s\n", h.presetTime() * 0.1);
  std::printf("real time:    %.1f s\n", h.realTime() * 0.1);
  std::printf("live time:    %.1f s\n", h.liveTime() * 0.1);
  if (h.calibrationMarker() == 1.0f)
    std::printf("calibration:  none\n");
  else
    std::printf("calibration:  gain %g, offset %g per channel\n", h.gain(), h.offset());
  std::printf("comment:      %s\n", h.comment().c_str());
  std::printf("sample id:    %s\n", h.sampleId().c_str());
  for (int i = 0; i < SpectrumFileHeader::kRoiSlots; ++i)
    if (h.roiLow(i) != 0 || h.roiHigh(i) != 0)
      std::printf("roi %2d:       %d .. %d colour 0x%04X\n", i, h.roiLow(i), h.roiHigh(i),
                  static_cast<unsigned>(static_cast<uint16_t>(h.roiColour(i))));
  uint64_t total = 0;
  for (int c = 0; c < m; ++c) total += static_cast<uint32_t>(counts[static_cast<size_t>(c)]);
  std::printf("total counts: %llu\n", static_cast<unsigned long long>(total));
  if (m == 0 || m != h.channelCount()) {
    std::printf("status:       refused (%d channels in whole blocks)\n", m);
    return 1;
  }
  return 0;
}

}  // namespace tolvane::cli
