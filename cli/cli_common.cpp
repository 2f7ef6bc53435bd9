#include "cli/cli_common.h"

#include <cstdio>

#include "device/mca_open_click.h"

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

QCommandLineOption fastOption() {
  return QCommandLineOption("fast", "Let the simulated analyser's clock run ahead of the wall clock.");
}

LiveAnalyser::LiveAnalyser(const QCommandLineParser& parser) : fast_(parser.isSet("fast")) {
  if (fast_ && parser.value("device") != "sim") {
    printError("--fast needs --device=sim");
    return;
  }
  Clock& clock = fast_ ? static_cast<Clock&>(manual_) : static_cast<Clock&>(steady_);
  api_ = openBackend(parser, clock);
  if (!api_) return;
  auto session = std::make_unique<Session>(*api_, clock);
  McaOpenClick(*session);
  if (session->Acquisition.DeviceOpen != 1) {
    printError("no analyser could be opened (" + session->Texts.Edit2 + ")");
    return;
  }
  session_ = std::move(session);
}

void LiveAnalyser::waitOneTick() {
  const int64_t interval = int64_t{session_->Timer1.IntervalMs} * 1000;
  if (fast_)
    manual_.advanceMicros(interval);
  else
    steady_.sleepMicros(interval);
}

int printError(const std::string& message) {
  std::fprintf(stderr, "tolvane-cli: %s\n", message.c_str());
  return 1;
}

}  // namespace tolvane::cli
