// tolvane-cli: the program's acquisition and file operations without the
// window, over the same core.
#include <QCoreApplication>
#include <cstdio>

#include "cli/cli_common.h"

namespace {

const char* kUsage =
    "usage: tolvane-cli <command> [options]\n"
    "commands:\n"
    "  devices [--device=auto|sim|libftdi|d2xx]        list the attached analysers\n"
    "  acquire --device=sim --preset SECONDS --out FILE.dat [--fast]\n"
    "                                                  run an acquisition and write it\n"
    "  info FILE.dat                                   print a spectrum file's header\n"
    "run 'tolvane-cli <command> --help' for a command's options\n";

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName("tolvane-cli");
  const QStringList arguments = QCoreApplication::arguments();
  const QString command = arguments.size() > 1 ? arguments.at(1) : QString();
  if (command == "devices") return tolvane::cli::runDevices(arguments);
  if (command == "acquire") return tolvane::cli::runAcquire(arguments);
  if (command == "info") return tolvane::cli::runInfo(arguments);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
