#include <cstdio>

#include "cli/cli_common.h"
#include "device/clock.h"

namespace tolvane::cli {

int runDevices(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("List the analysers attached through the chosen link.");
  parser.addOption(deviceOption());
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 0, 0, "[--device KIND]")) return kExitUsage;
  if (!parseBackendKind(parser.value("device").toStdString()))
    return usageError("unknown device kind '" + parser.value("device").toStdString() +
                      "' (auto, sim, libftdi or d2xx)");

  SteadyClock clock;
  auto api = openBackend(parser, clock);
  if (!api) return kExitFailure;
  SerialList serials{};
  uint32_t count = 0;
  if (const FtStatus status = api->listDevices(serials, count); status != FtOk)
    return fail(code::kDevice, "listing failed with status " + std::to_string(status));
  std::printf("%u analyser(s) via %s\n", count, api->backendName().c_str());
  for (uint32_t i = 0; i < count && i < kMaxListedDevices; ++i) std::printf("  %u  %s\n", i, serials[i].data());
  if (count > kMaxListedDevices) std::printf("  (only the first %d are listed)\n", kMaxListedDevices);
  return kExitOk;
}

}  // namespace tolvane::cli
