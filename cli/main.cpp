// tolvane-cli: the program's acquisition and file operations without the
// window, over the same core.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli_common.h"

namespace {

const char* kUsage =
    "usage: tolvane-cli <command> [options]\n"
    "commands:\n"
    "  devices [--device=auto|sim|libftdi|d2xx]        list the attached analysers\n"
    "  acquire --device=sim --preset SECONDS --out FILE.dat [--fast]\n"
    "                                                  run an acquisition and write it\n"
    "  info FILE.dat                                   print a spectrum file's header\n"
    "  render FILE.dat --out plot.png [--log | --vfs N] [--first F --last L] [--cursor C]\n"
    "         [--roi i:low:high:0xBBGGRR ...] [--expand N] [--compress N] [--scroll N]\n"
    "         [--snap] [--auto]                        write the plot as a PNG; print the view labels\n"
    "  calib LCH HCH LE HE [--unit U] [--json]        two-point energy calibration\n"
    "  fwhm FILE.dat --cursor C [--first F --last L] [--json]\n"
    "  mnfit FILE.dat --cursor C [--first F --last L] [--json]\n"
    "  dump FILE.dat --out FILE.txt                    write the text dump\n"
    "  scan --device=sim --memory 1024 --dwell 10 --passes N --save NAME [--fast]\n"
    "                                                  mapping scan; prints the pass count\n"
    "  xfit SAMPLE.dat TABLE.ref [--json] [--save OUT.ref]\n"
    "  xfit --batch TABLE.ref FILE.dat...              K-ratios of many samples as CSV\n"
    "  report FILE.dat --out report.pdf [--first F --last L] [--log | --vfs N]\n"
    "  export FILE.dat --format msa|spec|csv --out OUT [--xy] [--json]\n"
    "                                                  write EMSA/MSA, SPEC or CSV\n"
    "  import FILE.msa --out FILE.dat [--json]         read an EMSA/MSA file into a spectrum file\n"
    "run 'tolvane-cli <command> --help' for a command's options\n";

}  // namespace

int main(int argc, char** argv) {
  // Drawing needs Qt Gui; it runs headless on the offscreen platform unless
  // a platform is chosen explicitly.
  const bool drawing = argc > 1 && (std::strcmp(argv[1], "render") == 0 || std::strcmp(argv[1], "report") == 0);
  if (drawing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::unique_ptr<QCoreApplication> app =
      drawing ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
  QCoreApplication::setApplicationName("tolvane-cli");
  const QStringList arguments = QCoreApplication::arguments();
  const QString command = arguments.size() > 1 ? arguments.at(1) : QString();
  if (command == "devices") return tolvane::cli::runDevices(arguments);
  if (command == "acquire") return tolvane::cli::runAcquire(arguments);
  if (command == "info") return tolvane::cli::runInfo(arguments);
  if (command == "render") return tolvane::cli::runRender(arguments);
  if (command == "calib") return tolvane::cli::runCalib(arguments);
  if (command == "fwhm") return tolvane::cli::runFwhm(arguments);
  if (command == "mnfit") return tolvane::cli::runMnfit(arguments);
  if (command == "dump") return tolvane::cli::runDump(arguments);
  if (command == "scan") return tolvane::cli::runScan(arguments);
  if (command == "xfit") return tolvane::cli::runXfit(arguments);
  if (command == "report") return tolvane::cli::runReport(arguments);
  if (command == "export") return tolvane::cli::runExport(arguments);
  if (command == "import") return tolvane::cli::runImport(arguments);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
