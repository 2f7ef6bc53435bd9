// tolvane-cli: the program's acquisition and file operations without the
// window, over the same core.
#include <QCoreApplication>
#include <QGuiApplication>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/cli_common.h"
#include "cli/cli_error.h"

namespace {

const char* kUsage =
    "usage: tolvane-cli <command> [options]\n"
    "       tolvane-cli --version | --help\n"
    "commands (the main options; 'tolvane-cli COMMAND --help' lists every option of a command):\n"
    "  devices [--device=auto|sim|libftdi|d2xx]        list the attached analysers\n"
    "  acquire --device=sim --preset SECONDS --out FILE.dat [--fast] [--roi i:low:high ...]\n"
    "          [--precision r:p] [--json]\n"
    "                                                  run an acquisition and write it\n"
    "  info FILE.dat [--json]                          print a spectrum file's header\n"
    "  render FILE.dat --out plot.png [--log | --vfs N] [--first F --last L] [--cursor C]\n"
    "         [--roi i:low:high:0xBBGGRR ...] [--expand N] [--compress N] [--scroll N]\n"
    "         [--snap] [--auto] [--lines \"EL ...\"]     write the plot as a PNG; print the view labels\n"
    "  calib [--unit U] [--json] [--write FILE.dat] [--] LCH HCH LE HE\n"
    "                                                  two-point energy calibration, into a file with --write\n"
    "  calib FILE.dat --lines \"Mn Ka, Cu Ka, ...\" | --points ch:E,ch:E,... [--quadratic] [--write] [--json]\n"
    "                                                  calibration through many lines or points, with residuals\n"
    "  fwhm FILE.dat --cursor C [--first F --last L] [--json]\n"
    "  mnfit FILE.dat --cursor C [--first F --last L] [--json]\n"
    "  dump FILE.dat --out FILE.txt|-                  write the text dump\n"
    "  scan --device=sim --memory 1024 --dwell SECONDS --passes N --save NAME [--fast]\n"
    "                                                  mapping scan, one file per pass\n"
    "  scan --device=sim --map XxY [--roi i:low:high ...] --image FILE.nxs [--fast] [--phantom]\n"
    "                                                  mapped scan into one NeXus/HDF5 map file\n"
    "  map FILE.nxs [--roi i:low:high ...] [--png DIR] [--csv DIR] [--sum x0:y0:x1:y1 --out SUM.msa] [--json]\n"
    "                                                  ROI maps and region sums from a map file\n"
    "  xfit SAMPLE.dat TABLE.ref [--json] [--save OUT.ref]\n"
    "  xfit --batch TABLE.ref FILE.dat...              K-ratios of many samples as CSV\n"
    "  table new|add|show|wt TABLE.ref ...             make, show and set a standards table:\n"
    "        new TABLE.ref [--force] | add TABLE.ref --element EL --spectrum STD.dat --window LO:HI [--wt PCT]\n"
    "        | show TABLE.ref [--json] | wt TABLE.ref INDEX PCT\n"
    "  xfit --batch TABLE.ref --map WxH --out-dir DIR FILE.dat...\n"
    "                                                  and per standard K-ratio maps (PNG, CSV)\n"
    "  resolution FILE.dat [--cursor C] [--json]       FWHM at 5.9 keV from a Mn K-alpha doublet fit\n"
    "  report FILE.dat --out report.pdf [--first F --last L] [--log | --vfs N] [--lines \"EL ...\"]\n"
    "  lines EL... [--max-kev E] [--json]             X-ray lines of elements\n"
    "  peaks FILE.dat [--gain G --offset O] [--max-kev E] [--threshold S] [--json]\n"
    "                                                  peak search and the elements it points to\n"
    "  identify FILE.dat --cursor C [--gain G --offset O] [--fwhm-kev W] [--max-kev E] [--json]\n"
    "                                                  lines that could make the peak at a channel\n"
    "  export FILE.dat --format msa|spec|csv --out OUT [--xy] [--json]\n"
    "                                                  write EMSA/MSA, SPEC or CSV\n"
    "  import FILE --out FILE.dat [--json]             read an EMSA/MSA, MCA text, SPEC or text-column file\n"
    "                                                  into a spectrum file\n"
    "  background FILE.dat --out BG.dat [--width N | --fwhm-kev F] [--no-lls] [--smooth K]\n"
    "                                                  the SNIP background as a spectrum file\n"
    "  roi FILE.dat LOW:HIGH... [--background line|snip] [--json]\n"
    "                                                  gross and net sums of windows\n"
    "  sum A.dat B.dat... --out S.dat                  spectra added, times added\n"
    "  subtract SAMPLE.dat BACKGROUND.dat --out NET.dat\n"
    "                                                  background off by live time; variance in NET.var\n"
    "  import FILE.msa --out FILE.dat [--json]         read an EMSA/MSA file into a spectrum file\n"
    "  quant SAMPLE.dat TABLE.ref [--source fe55|cd109|am241 | --tube ANODE:KV[:WINDOW_UM]] [--angles IN,OUT]\n"
    "        [--balance EL|normalise] [--json]        concentrations by fundamental parameters\n"
    "  quant --kratios EL=K,... [--standards EL=FORMULA,...] | --forward EL=WT,...\n"
    "                                                  from K-ratios given, or the K-ratios of a composition\n"
    "a negative number follows --: tolvane-cli calib -- -5 5 -1 1\n"
    "run 'tolvane-cli COMMAND --help' for all of a command's options; docs/cli.md describes them all\n";

bool isDrawingCommand(const char* name) {
  return std::strcmp(name, "render") == 0 || std::strcmp(name, "report") == 0 || std::strcmp(name, "map") == 0;
}

// Qt warns on stderr when XDG_RUNTIME_DIR is unset (as under sudo or in
// containers); the drawing commands do not use it, so the warning is
// noise on a tool whose stderr carries its error lines.
QtMessageHandler defaultHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains(QLatin1String("XDG_RUNTIME_DIR"))) return;
  if (defaultHandler) defaultHandler(type, context, message);
}

// Runs the named command; -1 when there is no such command.
int dispatch(const QString& command, const QStringList& arguments) {
  using namespace tolvane::cli;
  if (command == "devices") return runDevices(arguments);
  if (command == "acquire") return runAcquire(arguments);
  if (command == "info") return runInfo(arguments);
  if (command == "render") return runRender(arguments);
  if (command == "calib") return runCalib(arguments);
  if (command == "fwhm") return runFwhm(arguments);
  if (command == "mnfit") return runMnfit(arguments);
  if (command == "dump") return runDump(arguments);
  if (command == "scan") return runScan(arguments);
  if (command == "xfit") return runXfit(arguments);
  if (command == "table") return runTable(arguments);
  if (command == "report") return runReport(arguments);
  if (command == "lines") return runLines(arguments);
  if (command == "peaks") return runPeaks(arguments);
  if (command == "identify") return runIdentify(arguments);
  if (command == "export") return runExport(arguments);
  if (command == "import") return runImport(arguments);
  if (command == "resolution") return runResolution(arguments);
  if (command == "background") return runBackground(arguments);
  if (command == "roi") return runRoi(arguments);
  if (command == "sum") return runSum(arguments);
  if (command == "subtract") return runSubtract(arguments);
  if (command == "map") return runMap(arguments);
  if (command == "quant") return runQuant(arguments);
  return -1;
}

// What was printed must have reached standard output (a full disk, a
// closed pipe): a lost result is a failure, not a success.
int finish(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "tolvane-cli: %s%scannot write to standard output\n", tolvane::cli::commandName().c_str(),
                 tolvane::cli::commandName().empty() ? "" : ": ");
    return status == 0 ? tolvane::cli::kExitFailure : status;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that closes the pipe early (`| head`) must not kill the
  // command mid-write: the write fails instead, and finish() says so.
  std::signal(SIGPIPE, SIG_IGN);
  // Drawing needs Qt Gui; it runs headless on the offscreen platform unless
  // a platform is chosen explicitly.
  bool drawing = argc > 1 && isDrawingCommand(argv[1]);
  // xfit --map draws its false-colour maps with Qt Gui.
  for (int i = 2; i < argc && std::strcmp(argv[1], "xfit") == 0; ++i)
    drawing = drawing || std::strcmp(argv[i], "--map") == 0 || std::strcmp(argv[i], "--image") == 0;
  if (drawing) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    defaultHandler = qInstallMessageHandler(quietHandler);
  }
  std::unique_ptr<QCoreApplication> app =
      drawing ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
  // Qt takes the user's locale for the C library too; JSON, CSV and the
  // files written and read must keep the decimal point whatever the locale.
  std::setlocale(LC_NUMERIC, "C");
  QCoreApplication::setApplicationName("tolvane-cli");
  QCoreApplication::setApplicationVersion(TOLVANE_VERSION);
  const QStringList arguments = QCoreApplication::arguments();
  const QString command = arguments.size() > 1 ? arguments.at(1) : QString();
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return finish(0);
  }
  if (command == "--version" || command == "-V") {
    std::printf("tolvane-cli %s\n", TOLVANE_VERSION);
    return finish(0);
  }
  if (command.isEmpty()) {
    std::fputs(kUsage, stderr);
    return tolvane::cli::kExitUsage;
  }
  tolvane::cli::setCommandName(command.toStdString());
  tolvane::cli::setJsonOutput(arguments.contains("--json"));
  const int status = dispatch(command, arguments);
  if (status < 0) {
    tolvane::cli::setCommandName("");
    tolvane::cli::usageError("unknown command " + command.toStdString() + " (see tolvane-cli --help)");
    return tolvane::cli::kExitUsage;
  }
  return finish(status);
}
