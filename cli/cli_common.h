#pragma once
// Pieces every subcommand of the command-line tool shares.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "acquisition/mca_tick.h"
#include "app/session.h"
#include "cli/cli_error.h"
#include "device/backend_factory.h"
#include "device/clock.h"

namespace tolvane::cli {

// The --device option: auto, sim, libftdi or d2xx.
QCommandLineOption deviceOption();

// Parses the subcommand's own arguments (the program name and the
// subcommand word are dropped) and adds --help. Returns false when the
// command should end at once: after printing its help (parser.isSet("help")
// is then true: exit 0) or a usage error (exit 2). The help's usage line
// names the command: "Usage: tolvane-cli render [options] FILE".
[[nodiscard]] bool parseArguments(QCommandLineParser& parser, const QStringList& arguments);

// The first option given more than once (--roi excepted, which adds one
// window per use); nullopt when none is.
std::optional<QString> repeatedOption(const QCommandLineParser& parser);

// The first ROI entry that two --roi options define; nullopt when none is.
std::optional<QString> repeatedRoiEntry(const QCommandLineParser& parser);

// The command's help text with the usage line naming the command.
std::string helpText(const QCommandLineParser& parser);

// Checks the number of positional arguments; otherwise prints a usage
// error "expects USAGE" and returns false (exit 2).
[[nodiscard]] bool expectPositionals(const QCommandLineParser& parser, int lowest, int highest, const std::string& usage);

// Option `name` as a number within [lowest, highest]; absent gives
// `fallback` (nullopt: required). On a missing, malformed or out-of-range
// value prints a usage error stating the range and returns nullopt.
std::optional<double> numberOption(const QCommandLineParser& parser, const QString& name, double lowest, double highest,
                                   std::optional<double> fallback = std::nullopt, const std::string& unit = "");
std::optional<int> integerOption(const QCommandLineParser& parser, const QString& name, int lowest, int highest,
                                 std::optional<int> fallback = std::nullopt);

// Refuses two options given together ("--auto and --vfs exclude each other").
bool exclusive(const QCommandLineParser& parser, const QString& a, const QString& b);

// The backend the --device option names, or null after printing why.
std::unique_ptr<FtdiApi> openBackend(const QCommandLineParser& parser, Clock& clock);

// The --fast option of the live subcommands.
QCommandLineOption fastOption();

// A live analyser for acquire and scan: the clock (the simulator's runs
// ahead of the wall clock with --fast), the backend --device names, and a
// Session on which "OpenMCA" succeeded.
class LiveAnalyser {
 public:
  // Prints why and leaves session() null when the analyser cannot be used.
  explicit LiveAnalyser(const QCommandLineParser& parser);
  Session* session() { return session_.get(); }
  // The exit code when session() is null: 2 for a bad option, else 1.
  int exitCode() const { return exitCode_; }
  const Clock& clock() const;
  // Waits one tick of the session's timer.
  void waitOneTick(int intervalMs = kPollIntervalMillis);

 private:
  bool fast_ = false;
  int exitCode_ = kExitFailure;
  SteadyClock steady_;
  ManualClock manual_;
  std::unique_ptr<FtdiApi> api_;
  std::unique_ptr<Session> session_;
};

int runDevices(const QStringList& arguments);
int runAcquire(const QStringList& arguments);
int runInfo(const QStringList& arguments);
int runRender(const QStringList& arguments);  // needs a QGuiApplication
int runCalib(const QStringList& arguments);
int runFwhm(const QStringList& arguments);
int runMnfit(const QStringList& arguments);
int runDump(const QStringList& arguments);
int runScan(const QStringList& arguments);
int runXfit(const QStringList& arguments);
int runResolution(const QStringList& arguments);
int runReport(const QStringList& arguments);  // needs a QGuiApplication
int runTable(const QStringList& arguments);
int runLines(const QStringList& arguments);
int runPeaks(const QStringList& arguments);
int runIdentify(const QStringList& arguments);
int runExport(const QStringList& arguments);
int runImport(const QStringList& arguments);
int runBackground(const QStringList& arguments);
int runRoi(const QStringList& arguments);
int runSum(const QStringList& arguments);
int runSubtract(const QStringList& arguments);
int runMap(const QStringList& arguments);  // needs a QGuiApplication
int runQuant(const QStringList& arguments);

}  // namespace tolvane::cli
