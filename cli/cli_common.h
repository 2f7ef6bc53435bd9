#pragma once
// Pieces every subcommand of the command-line tool shares.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <memory>
#include <string>

#include "app/session.h"
#include "device/backend_factory.h"
#include "device/clock.h"

namespace tolvane::cli {

// The --device option: auto, sim, libftdi or d2xx.
QCommandLineOption deviceOption();

// Parses the subcommand's own arguments (the program name and the
// subcommand word are dropped); prints the error and returns false on a
// bad command line.
bool parseArguments(QCommandLineParser& parser, const QStringList& arguments);

// The backend the --device option names, or null after printing why.
std::unique_ptr<FtdiApi> openBackend(const QCommandLineParser& parser, Clock& clock);

int printError(const std::string& message);  // prints to stderr, returns 1

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
  // Waits one tick of the session's timer.
  void waitOneTick();

 private:
  bool fast_ = false;
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
int runReport(const QStringList& arguments);  // needs a QGuiApplication
int runExport(const QStringList& arguments);
int runImport(const QStringList& arguments);

}  // namespace tolvane::cli
