#include <cstdio>

#include "cli/cli_common.h"
#include "cli/cli_error.h"
#include "cli/json_text.h"
#include "device/clock.h"
#include "device/device_survey.h"

namespace tolvane::cli {

namespace {

std::string hexId(int id) {
  if (id < 0) return "null";
  char text[16];
  std::snprintf(text, sizeof text, "\"%04x\"", id & 0xFFFF);
  return text;
}

void printJson(const std::string& backend, const DeviceSurvey& survey) {
  std::printf("{\"count\": %zu, \"devices\": [", survey.devices.size());
  for (size_t i = 0; i < survey.devices.size(); ++i) {
    const SurveyedDevice& d = survey.devices[i];
    std::printf(
        "%s\n  {\"backend\": %s, \"vid\": %s, \"pid\": %s, \"serial\": %s, \"description\": %s, "
        "\"openable\": %s, \"error\": %s}",
        i ? "," : "", jsonText(backend).c_str(), hexId(d.device.vid).c_str(), hexId(d.device.pid).c_str(),
        jsonText(d.device.serial).c_str(), jsonText(d.device.description).c_str(), d.openable ? "true" : "false",
        d.openable ? "null" : jsonText(d.error).c_str());
  }
  std::printf("%s]}\n", survey.devices.empty() ? "" : "\n");
}

void printTable(const std::string& backend, const DeviceSurvey& survey) {
  std::printf("%zu analyser(s) via %s\n", survey.devices.size(), backend.c_str());
  for (size_t i = 0; i < survey.devices.size(); ++i) {
    const SurveyedDevice& d = survey.devices[i];
    std::string ids = "-";
    if (d.device.vid >= 0) {
      char text[16];
      std::snprintf(text, sizeof text, "%04x:%04x", d.device.vid, d.device.pid);
      ids = text;
    }
    std::printf("  %zu  %s  %s  %s  %s\n", i, d.device.serial.empty() ? "(serial unreadable)" : d.device.serial.c_str(),
                ids.c_str(), d.device.description.empty() ? "-" : d.device.description.c_str(),
                d.openable ? "openable" : ("cannot be opened: " + d.error).c_str());
  }
  if (survey.devices.size() > kMaxListedDevices)
    std::printf("  (the program uses the first; its table holds %d)\n", kMaxListedDevices);
}

}  // namespace

int runDevices(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "List the analysers attached through the chosen link: backend, vendor and product id, serial "
      "number, description, and whether this user can open each (if not, why and what to do).");
  parser.addOption(deviceOption());
  parser.addOption({"json",
                    "Print one JSON object: count and devices (backend, vid, pid, serial, description, "
                    "openable, error)."});
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 0, 0, "[--device KIND] [--json]")) return kExitUsage;
  const bool json = parser.isSet("json");

  const std::string name = parser.value("device").toStdString();
  const auto kind = parseBackendKind(name);
  if (!kind) return usageError("unknown device kind '" + name + "' (auto, sim, libftdi or d2xx)");
  SteadyClock clock;
  std::string error;
  auto api = makeBackend(*kind, clock, error);
  if (!api) return fail(code::kDevice, "no analyser link: " + error);
  const DeviceSurvey survey = surveyDevices(*api);
  if (survey.status != FtOk) return fail(code::kDevice, "listing failed with status " + std::to_string(survey.status));
  if (json)
    printJson(api->backendName(), survey);
  else
    printTable(api->backendName(), survey);
  return kExitOk;
}

}  // namespace tolvane::cli
