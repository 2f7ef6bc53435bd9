// tolvane-cli scan: a mapping scan through the engine's mapping operations:
// the setup sent, the start, the mapping ticks, the stop after N passes.
// With --map, a mapped scan: one pass per pixel, ROI maps and a map file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "acquisition/map_run.h"
#include "acquisition/mapping_tick.h"
#include "acquisition/pass_files.h"
#include "acquisition/pass_keeping.h"
#include "acquisition/scan_run.h"
#include "app/session.h"
#include "cli/cli_common.h"
#include "cli/cli_error.h"
#include "cli/interrupt.h"
#include "cli/map_options.h"
#include "cli/run_output.h"
#include "device/clock.h"
#include "device/sim/sim_ftdi.h"
#include "files/output_path.h"
#include "files/spectrum_file.h"
#include "xfit/kratio_map.h"

namespace tolvane::cli {

namespace {

// The map options into the scan setup, the ROI table and the calibration
// (applied once the analyser is open). Returns a usage error, or empty.
struct MapOptions {
  bool on = false;
  MapSize size;
  std::vector<MapRoi> rois;
  bool skipBlank = false;
  std::string image;
  bool phantom = false;
  std::optional<double> gain, offset;
};

std::string readMapOptions(const QCommandLineParser& parser, MapOptions& m) {
  m.on = parser.isSet("map");
  m.image = parser.value("image").toLocal8Bit().toStdString();
  m.skipBlank = parser.isSet("skip-blank");
  m.phantom = parser.isSet("phantom");
  if (!m.on) {
    for (const char* option : {"image", "roi", "skip-blank", "phantom", "gain", "offset"})
      if (parser.isSet(option)) return std::string("--") + option + " needs --map XxY";
    return {};
  }
  const auto size = parseMapSize(parser.value("map").toStdString());
  if (!size || size->width > kMaxMapSide || size->height > kMaxMapSide)
    return "--map takes XxY with X and Y from 1 to 4096, not '" + parser.value("map").toStdString() + "'";
  m.size = *size;
  bool reference = false;
  for (const QString& text : parser.values("roi")) {
    std::string error;
    const auto roi = parseMapRoi(text, 0, error);
    if (!roi) return error;
    if (roi->index == 0) reference = true;
    for (const MapRoi& other : m.rois)
      if (other.index == roi->index) return "--roi " + std::to_string(roi->index) + " is given twice";
    m.rois.push_back(*roi);
  }
  if (m.skipBlank && !reference) return "--skip-blank needs ROI #0: give --roi 0:low:high";
  if (parser.isSet("phantom") && parser.value("device") != "sim") return "--phantom needs --device=sim";
  for (const char* name : {"gain", "offset"}) {
    if (!parser.isSet(name)) continue;
    bool ok = false;
    const double v = parser.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(v) || (name[0] == 'g' && !(v > 0 && v <= 1)) || std::abs(v) > 100)
      return std::string("--") + name + (name[0] == 'g' ? " takes keV per channel above 0 and at most 1"
                                                         : " takes keV from -100 to 100");
    (name[0] == 'g' ? m.gain : m.offset) = v;
  }
  if (m.offset && !m.gain) return "--offset needs --gain";
  return {};
}

void applyMapOptions(const MapOptions& m, Session& s) {
  ScanSetup& scan = s.Scan;
  scan.MapOn = true;
  scan.MapWidth = m.size.width;
  scan.MapHeight = m.size.height;
  scan.MapRois = {};
  scan.SkipBlank = m.skipBlank;
  scan.ImagePath = m.image;
  for (const MapRoi& roi : m.rois) {
    RoiEntry& e = s.Rois.Entries[static_cast<size_t>(roi.index)];
    e.Defined = true;
    e.LowChannel = roi.low;
    e.HighChannel = roi.high;
    e.ElementLabel.fill('\0');
    roi.label.copy(e.ElementLabel.data(), e.ElementLabel.size() - 1);
    if (roi.index >= 1) scan.MapRois[static_cast<size_t>(roi.index - 1)] = true;
  }
  if (m.gain) {
    s.Calibration.Valid = true;
    s.Calibration.Gain = static_cast<float>(*m.gain);
    s.Calibration.Offset = static_cast<float>(m.offset.value_or(0.0));
  }
  if (m.phantom)
    if (auto* bridge = dynamic_cast<SimFtdi*>(&s.api()))
      bridge->analyser(0).setPhantom(Phantom{m.size.width, m.size.height});
}

}  // namespace

int runScan(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Run a mapping scan for a number of passes, saving each pass's spectrum as NAME_0001.dat, ...\n"
      "With --map XxY, a mapped scan: one pass per pixel, row by row from the top left, ending after\n"
      "X x Y passes; --image writes every pass into one NeXus/HDF5 map file as it comes.\n"
      "Prints the number of passes counted. SIGINT or SIGTERM stops the scan; the passes counted\n"
      "so far are saved (exit 1).");
  parser.addOption(deviceOption());
  parser.addOption({"memory", "Channels per pass: 512, 1024 or 2048.", "channels", "1024"});
  parser.addOption({"dwell", "Dwell per pass in seconds (0.1 to 86400, in steps of 0.1).", "seconds", "1"});
  parser.addOption({"passes", "Passes to count before aborting (1 to 1000000).", "N"});
  parser.addOption({"save", "Save each pass as NAME_0001.dat, NAME_0002.dat, ... (required without --image).", "NAME"});
  parser.addOption({"map", "A mapped scan of X x Y pixels (1 to 4096 each); the passes are X x Y.", "XxY"});
  parser.addOption({"roi", "ROI entry i over channels low..high-1; i 1..8 become maps, 0 is the Skip Blank "
                           "reference (repeatable).", "i:low:high[:LABEL]"});
  parser.addOption({"skip-blank", "Pixels whose ROI #0 gross sum is 0 are blank in the maps."});
  parser.addOption({"image", "Write the map into this NeXus/HDF5 file (never replaced).", "FILE.nxs"});
  parser.addOption({"gain", "Energy calibration of the map: keV per channel.", "KEV"});
  parser.addOption({"offset", "Energy calibration of the map: keV at channel 0 (with --gain).", "KEV"});
  parser.addOption({"phantom", "With --device=sim: put the simulator's phantom (Ca, Ti, V, Cr regions) in the map."});
  parser.addOption(fastOption());
  if (!parseArguments(parser, arguments)) return parser.isSet("help") ? kExitOk : kExitUsage;
  if (!expectPositionals(parser, 0, 0,
                         "--passes N --save NAME [--memory M] [--dwell SECONDS] [--fast]\n"
                         "       or --map XxY [--roi i:low:high ...] --image FILE.nxs [--save NAME]"))
    return kExitUsage;
  MapOptions map;
  if (const std::string error = readMapOptions(parser, map); !error.empty()) return usageError(error);

  bool ok = false;
  const int memory = parser.value("memory").toInt(&ok);
  if (!ok || (memory != 512 && memory != 1024 && memory != 2048))
    return usageError("--memory must be 512, 1024 or 2048, not '" + parser.value("memory").toStdString() + "'");
  const auto dwell = numberOption(parser, "dwell", 0.1, 86400, 1.0, "seconds");
  if (!dwell) return kExitUsage;
  std::optional<int> passes;
  if (map.on) {
    const int64_t pixels = map.size.points();
    if (parser.isSet("passes") && parser.value("passes").toLongLong() != pixels)
      return usageError("--passes must be X x Y = " + std::to_string(pixels) + " with --map, or left out");
    passes = static_cast<int>(pixels);
  } else {
    passes = integerOption(parser, "passes", 1, 1000000);
  }
  if (!passes) return kExitUsage;
  const std::string save = parser.value("save").toLocal8Bit().toStdString();
  if ((!parser.isSet("save") || save.empty()) && map.image.empty())
    return usageError(map.on ? "--image or --save is required: the map file, or one file per pass"
                             : "--save is required: the pass spectra are written as NAME_0001.dat, ...");
  if (!map.image.empty()) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(map.image, error)))
      return fail(code::kOutput, "cannot write the map to " + map.image + ": it exists (a map file is never replaced)");
    if (const OutputProblem problem = checkOutputPath(map.image); problem != OutputProblem::None)
      return fail(code::kOutput, "cannot write the map to " + map.image + ": " + outputProblemText(problem));
  }
  // The scan numbers its files on past any of an earlier scan.
  const PassFilePlan plan = planPassFiles(save, *passes);
  const std::string firstPass = save.empty() ? std::string() : passFilePath(save, plan.firstNumber, plan.digits);
  // The last pass has the longest name: every name the scan will make is
  // checked before the analyser counts a pass.
  const std::string lastPass = save.empty() ? std::string() : passFilePath(save, plan.firstNumber + *passes - 1, plan.digits);
  for (const std::string& pass : {firstPass, lastPass})
    if (const OutputProblem problem = pass.empty() ? OutputProblem::None : checkOutputPath(pass);
        problem != OutputProblem::None)
      return fail(code::kOutput, "cannot save passes as " + pass + ": " + outputProblemText(problem));

  LiveAnalyser analyser(parser);
  if (!analyser.session()) return analyser.exitCode();
  Session& session = *analyser.session();

  // Seconds on the command line; the setup stores tenths, truncated as the
  // dialog does.
  const auto tenths = static_cast<int64_t>(std::trunc(*dwell * 10.0 + 0.001));
  ScanSetup& scan = session.Scan;
  scan.PlannedPasses = *passes;  // sets the width of the pass numbers
  scan.MemorySize = memory;
  scan.PresetTime = static_cast<int32_t>(tenths);
  scan.SavePath = save;
  if (map.on) applyMapOptions(map, session);
  SendScanSetup(session.Transport, session.Acquisition, scan);
  if (const std::string refusal = mapRefusal(session); !refusal.empty()) return fail(code::kRefused, refusal);
  catchInterrupts();
  if (StartScanRun(session.Transport, session.Acquisition, scan) == LinkOutcome::Done)
    PlanScanPassFiles(session.Passes, scan);
  if (session.Acquisition.Running != 1) return fail(code::kDevice, "the analyser did not start the scan");
  if (const std::string refusal = BeginMap(session); !refusal.empty()) {
    if (StopAcquisition(session.Transport, session.Acquisition) != LinkOutcome::Done)
      warn("the analyser did not acknowledge the stop: it may still be scanning");
    return fail(code::kOutput, refusal);
  }
  // Said only once the scan runs, so a refused command line stays one line.
  if (plan.firstNumber > 1) note("earlier passes are kept; this scan saves from " + firstPass);
  std::vector<std::string> rescuedPasses;
  int droppedPasses = 0;
  // Enough ticks for the passes with room to spare; a silent analyser ends
  // the loop instead of hanging it.
  const int interval = std::max(1, session.Scan.RefreshInterval);
  const int64_t tickLimit = (int64_t{*passes} + 2) * (tenths * 100 / interval + 2) + 100;
  for (int64_t tick = 0; session.Acquisition.ScanCount < *passes && tick < tickLimit; ++tick) {
    if (interruptSignal() != 0) break;
    analyser.waitOneTick(interval);
    const MappingTickResult step =
        MappingStep(session.Transport, session.Acquisition, session.Working, session.Display, session.Scan);
    if (!step.passCounted()) continue;
    const KeptPass kept = KeepPass(session, step.Outcome);  // lost and unsaved passes are counted
    AddMapPass(session, step.Outcome);
    // A pass its folder no longer takes is written into the working folder
    // rather than dropped.
    if (kept.Outcome == PassKeep::WriteFailed) {
      const SpectrumFileHeader& header = session.Working.Header;
      const std::string rescued = writeUnderFreeName(kept.Path, "unsaved", [&](const std::string& path) {
        return writeSpectrumImage(path, header, session.Working.Counts.data(), header.channelCount());
      });
      if (rescued.empty()) ++droppedPasses;
      else rescuedPasses.push_back(rescued);
    }
  }
  if (session.Acquisition.Running == 1 &&
      StopAcquisition(session.Transport, session.Acquisition) != LinkOutcome::Done)
    warn("the analyser did not acknowledge the stop: it may still be scanning");
  EndMap(session.Mapping);
  const int counted = session.Acquisition.ScanCount;
  std::printf("%d\n", counted);
  // Where the passes the save folder did not take went, and why it did not
  // take them, as far as the folder can tell now (it may have been removed).
  std::string unsavedText;
  if (const int unsaved = session.Passes.UnsavedPasses; unsaved > 0) {
    const OutputProblem problem = checkOutputPath(firstPass);
    unsavedText = std::to_string(unsaved) + " of " + std::to_string(counted) + " passes could not be saved beside " +
                  save + ": " +
                  (problem == OutputProblem::None ? "the write failed (disk full?)" : outputProblemText(problem));
    if (!rescuedPasses.empty())
      unsavedText += "; " + std::to_string(rescuedPasses.size()) + " written instead as " + rescuedPasses.front() +
                     (rescuedPasses.size() > 1 ? " ... " + rescuedPasses.back() : "");
    if (droppedPasses > 0) unsavedText += "; " + std::to_string(droppedPasses) + " lost: no folder took them";
  }
  // Every ending says where passes went that the save folder did not take.
  const auto failing = [&](std::string_view code, const std::string& why) {
    return fail(code, unsavedText.empty() ? why : why + "; " + unsavedText);
  };
  if (interruptSignal() != 0)
    return fail(code::kInterrupted, std::string("interrupted by ") + interruptName(interruptSignal()) +
                                        ": the scan was stopped after " + std::to_string(counted) + " pass(es); " +
                                        (unsavedText.empty() ? "their files are saved" : unsavedText));
  if (counted < *passes)
    return failing(code::kDevice, "the scan stopped early after " + std::to_string(counted) + " of " +
                                      std::to_string(*passes) + " passes");
  if (const int lost = session.Passes.LostPasses; lost > 0)
    return failing(code::kDevice,
                   std::to_string(lost) + " of " + std::to_string(counted) + " passes lost: transfer failed");
  if (const int unwritten = session.Mapping.UnwrittenPasses; unwritten > 0)
    return failing(code::kOutput, std::to_string(unwritten) + " of " + std::to_string(counted) +
                                      " passes are missing from the map file: " + session.Mapping.FileError);
  if (!unsavedText.empty()) return fail(code::kOutput, unsavedText);
  return kExitOk;
}

}  // namespace tolvane::cli
