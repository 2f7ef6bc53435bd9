#include "cli/cli_common.h"

#include <QRegularExpression>
#include <cstdio>

#include "device/device_link.h"

namespace tolvane::cli {

QCommandLineOption deviceOption() {
  return QCommandLineOption("device", "Analyser link: auto, sim, libftdi or d2xx.", "kind", "auto");
}

namespace {

// Qt reads "-5" as the options -5: a refused command line that holds a
// negative number gets told how to pass one, when that number is what Qt
// refused. A number taken as an option's value (--offset -0.1) is not: the
// same line with a plain number in its place is refused just the same.
std::string negativeNumberHint(QCommandLineParser& parser, const QStringList& arguments) {
  static const QRegularExpression negative(QStringLiteral("^-(\\d|\\.\\d)"));
  const QString refusal = parser.errorText();
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "--") return "";
    if (!negative.match(arguments[i]).hasMatch()) continue;
    QStringList plain = arguments;
    plain[i] = QStringLiteral("0");
    if (!parser.parse(plain) && parser.errorText() == refusal) continue;
    return "; " + arguments[i].toStdString() +
           " was read as an option: give the options first, then -- and the arguments (tolvane-cli " +
           commandName() + " [options] -- " + arguments[i].toStdString() + " ...)";
  }
  return "";
}

}  // namespace

bool parseArguments(QCommandLineParser& parser, const QStringList& arguments) {
  // Our own --help: Qt's addHelpOption also offers --help-all, which a
  // command that parses without exiting cannot honour.
  parser.addOption(QCommandLineOption({"h", "help"}, "Show this help."));
  QStringList own = arguments;
  if (own.size() > 1) own.removeAt(1);  // the subcommand word
  if (!parser.parse(own)) {
    std::string error = parser.errorText().toStdString();
    if (const std::string hint = negativeNumberHint(parser, own); !hint.empty()) {
      if (!error.empty() && error.back() == '.') error.pop_back();
      error += hint;
    }
    usageError(error);
    return false;
  }
  if (parser.isSet("help")) {
    std::fputs(helpText(parser).c_str(), stdout);
    return false;
  }
  if (const auto repeated = repeatedOption(parser)) {
    usageError("--" + repeated->toStdString() + " is given more than once; give it once");
    return false;
  }
  if (const auto entry = repeatedRoiEntry(parser)) {
    usageError("--roi " + entry->toStdString() + ":... is given more than once; define each entry once");
    return false;
  }
  return true;
}

std::optional<QString> repeatedOption(const QCommandLineParser& parser) {
  // Qt keeps every value and value() answers the last: a script that says
  // --out twice would silently lose the first. Only --roi adds one window
  // per use.
  const QStringList names = parser.optionNames();
  for (qsizetype i = 0; i < names.size(); ++i)
    if (names[i] != "roi" && names.indexOf(names[i], i + 1) >= 0) return names[i];
  return std::nullopt;
}

std::optional<QString> repeatedRoiEntry(const QCommandLineParser& parser) {
  // Each --roi defines the entry its first field names: a second one for
  // the same entry would silently replace the first.
  if (!parser.optionNames().contains("roi")) return std::nullopt;
  // Compared as numbers, as they are read: "3", "03" and "3.0" are one entry.
  QStringList entries;
  for (const QString& value : parser.values("roi")) {
    const QString text = value.section(':', 0, 0).trimmed();
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    const QString entry = isNumber ? QString::number(number, 'g', 17) : text;
    if (entries.contains(entry)) return entry;
    entries.append(entry);
  }
  return std::nullopt;
}

std::string helpText(const QCommandLineParser& parser) {
  const QString text = parser.helpText();
  const qsizetype endOfLine = text.indexOf('\n');
  QString first = text.left(endOfLine);
  const qsizetype options = first.indexOf(" [options]");
  if (first.startsWith("Usage: ") && options > 0)
    first = "Usage: tolvane-cli " + QString::fromStdString(commandName()) + first.mid(options);
  QString whole = first + text.mid(endOfLine);
  if (!whole.endsWith('\n')) whole += '\n';
  return whole.toLocal8Bit().toStdString();
}

bool expectPositionals(const QCommandLineParser& parser, int lowest, int highest, const std::string& usage) {
  const auto n = parser.positionalArguments().size();
  if (n >= lowest && n <= highest) return true;
  const std::string what = n < lowest
                               ? "missing arguments"
                               : "unexpected argument '" + parser.positionalArguments().at(highest).toStdString() + "'";
  usageError(what + "; usage: tolvane-cli " + commandName() + " " + usage);
  return false;
}

namespace {

std::string shortNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

}  // namespace

std::optional<double> numberOption(const QCommandLineParser& parser, const QString& name, double lowest, double highest,
                                   std::optional<double> fallback, const std::string& unit) {
  const std::string range =
      "from " + shortNumber(lowest) + " to " + shortNumber(highest) + (unit.empty() ? "" : " " + unit);
  if (!parser.isSet(name)) {
    if (!fallback) usageError("--" + name.toStdString() + " is required (a number " + range + ")");
    return fallback;
  }
  bool ok = false;
  const double value = parser.value(name).toDouble(&ok);
  if (!ok || !(value >= lowest && value <= highest)) {
    usageError("--" + name.toStdString() + " must be a number " + range + ", not '" + parser.value(name).toStdString() +
               "'");
    return std::nullopt;
  }
  return value;
}

std::optional<int> integerOption(const QCommandLineParser& parser, const QString& name, int lowest, int highest,
                                 std::optional<int> fallback) {
  const std::string range = "from " + std::to_string(lowest) + " to " + std::to_string(highest);
  if (!parser.isSet(name)) {
    if (!fallback) usageError("--" + name.toStdString() + " is required (a whole number " + range + ")");
    return fallback;
  }
  bool ok = false;
  const qlonglong value = parser.value(name).toLongLong(&ok);
  if (!ok || value < lowest || value > highest) {
    usageError("--" + name.toStdString() + " must be a whole number " + range + ", not '" +
               parser.value(name).toStdString() + "'");
    return std::nullopt;
  }
  return static_cast<int>(value);
}

bool exclusive(const QCommandLineParser& parser, const QString& a, const QString& b) {
  if (!parser.isSet(a) || !parser.isSet(b)) return true;
  usageError("--" + a.toStdString() + " and --" + b.toStdString() + " exclude each other");
  return false;
}

std::unique_ptr<FtdiApi> openBackend(const QCommandLineParser& parser, Clock& clock) {
  const std::string name = parser.value("device").toStdString();
  const auto kind = parseBackendKind(name);
  if (!kind) {
    usageError("unknown device kind '" + name + "' (auto, sim, libftdi or d2xx)");
    return nullptr;
  }
  std::string error;
  auto api = makeBackend(*kind, clock, error);
  if (!api) fail(code::kDevice, "no analyser link: " + error);
  return api;
}

QCommandLineOption fastOption() {
  return QCommandLineOption("fast", "Let the simulated analyser's clock run ahead of the wall clock.");
}

LiveAnalyser::LiveAnalyser(const QCommandLineParser& parser) : fast_(parser.isSet("fast")) {
  if (fast_ && parser.value("device") != "sim") {
    exitCode_ = usageError("--fast needs --device=sim");
    return;
  }
  Clock& clock = fast_ ? static_cast<Clock&>(manual_) : static_cast<Clock&>(steady_);
  if (!parseBackendKind(parser.value("device").toStdString())) exitCode_ = kExitUsage;
  api_ = openBackend(parser, clock);
  if (!api_) return;
  auto session = std::make_unique<Session>(*api_, clock);
  (void)OpenAnalyser(*api_, session->Link, session->Acquisition, 0);  // DeviceOpen says whether it opened
  if (session->Acquisition.DeviceOpen != 1) {
    fail(code::kDevice,
         "no analyser could be opened via " + api_->backendName() + " (none attached, or it did not answer)");
    return;
  }
  session_ = std::move(session);
}

const Clock& LiveAnalyser::clock() const {
  return fast_ ? static_cast<const Clock&>(manual_) : static_cast<const Clock&>(steady_);
}

void LiveAnalyser::waitOneTick(int intervalMs) {
  const int64_t interval = int64_t{intervalMs} * 1000;
  if (fast_)
    manual_.advanceMicros(interval);
  else
    steady_.sleepMicros(interval);
}

}  // namespace tolvane::cli
