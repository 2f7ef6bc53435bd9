#include <cstdio>

#include "cli/cli_common.h"
#include "device/clock.h"
#include "device/device_survey.h"

namespace tolvane::cli {

namespace {

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string hexId(int id) {
  if (id < 0) return "null";
  char text[16];
  std::snprintf(text, sizeof text, "\"%04x\"", id & 0xFFFF);
  return text;
}

int fail(bool json, const std::string& message, const char* code) {
  if (json) std::printf("{\"error\": %s, \"code\": \"%s\"}\n", jsonString(message).c_str(), code);
  return printError("devices: " + message);
}

void printJson(const std::string& backend, const DeviceSurvey& survey) {
  std::printf("{\"count\": %zu, \"devices\": [", survey.devices.size());
  for (size_t i = 0; i < survey.devices.size(); ++i) {
    const SurveyedDevice& d = survey.devices[i];
    std::printf(
        "%s\n  {\"backend\": %s, \"vid\": %s, \"pid\": %s, \"serial\": %s, \"description\": %s, "
        "\"openable\": %s, \"error\": %s}",
        i ? "," : "", jsonString(backend).c_str(), hexId(d.device.vid).c_str(), hexId(d.device.pid).c_str(),
        jsonString(d.device.serial).c_str(), jsonString(d.device.description).c_str(), d.openable ? "true" : "false",
        d.openable ? "null" : jsonString(d.error).c_str());
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
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? 0 : 2;
  const bool json = parser.isSet("json");

  const std::string name = parser.value("device").toStdString();
  const auto kind = parseBackendKind(name);
  if (!kind) {
    if (json) std::printf("{\"error\": \"unknown device kind\", \"code\": \"usage\"}\n");
    printError("devices: unknown device kind '" + name + "' (auto, sim, libftdi or d2xx)");
    return 2;
  }
  SteadyClock clock;
  std::string error;
  auto api = makeBackend(*kind, clock, error);
  if (!api) return fail(json, "no analyser link: " + error, "no_link");
  const DeviceSurvey survey = surveyDevices(*api);
  if (survey.status != FtOk)
    return fail(json, "listing failed with status " + std::to_string(survey.status), "listing_failed");
  if (json)
    printJson(api->backendName(), survey);
  else
    printTable(api->backendName(), survey);
  return 0;
}

}  // namespace tolvane::cli
