#include "cli/cli_common.h"

#include <cstdio>

namespace tolvane::cli {

QCommandLineOption deviceOption() {
  return QCommandLineOption("device", "Analyser link: auto, sim, libftdi or d2xx.", "kind", "auto");
}

bool parseArguments(QCommandLineParser& parser, const QStringList& arguments) {
  parser.addHelpOption();
  QStringList own = arguments;
  if (own.size() > 1) own.removeAt(1);  // the subcommand word
  if (!parser.parse(own)) {
    printError(parser.errorText().toStdString());
    return false;
  }
  if (parser.isSet("help")) {
    std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
    return false;
  }
  return true;
}

std::unique_ptr<FtdiApi> openBackend(const QCommandLineParser& parser, Clock& clock) {
  const std::string name = parser.value("device").toStdString();
  const auto kind = parseBackendKind(name);
  if (!kind) {
    printError("unknown device kind '" + name + "' (auto, sim, libftdi or d2xx)");
    return nullptr;
  }
  std::string error;
  auto api = makeBackend(*kind, clock, error);
  if (!api) printError("no analyser link: " + error);
  return api;
}

int printError(const std::string& message) {
  std::fprintf(stderr, "tolvane-cli: %s\n", message.c_str());
  return 1;
}

}  // namespace tolvane::cli
