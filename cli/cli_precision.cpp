#include "cli/cli_precision.h"

#include <cmath>
#include <cstdio>

#include "app/session.h"
#include "device/mca_commands.h"
#include "roi/roi_page.h"

namespace tolvane::cli {

namespace {

// "a:b[:c]" as whole numbers, or false.
bool splitNumbers(const QString& text, int parts, double* out) {
  const QStringList fields = text.split(':');
  if (fields.size() != parts) return false;
  for (int i = 0; i < parts; ++i) {
    bool ok = false;
    out[i] = fields[i].toDouble(&ok);
    if (!ok || !std::isfinite(out[i])) return false;
  }
  return true;
}

}  // namespace

void addPrecisionOptions(QCommandLineParser& parser) {
  parser.addOption({"roi", "Defines ROI entry i (0-15) for the run, channels low..high-1; repeatable.", "i:low:high"});
  parser.addOption({"precision",
                    "Also stop when ROI r's net sum has a relative sigma of p percent or less "
                    "(whichever comes first, this or the preset).",
                    "r:p"});
  parser.addOption({"json", "Print one JSON object."});
}

std::string applyPrecisionOptions(const QCommandLineParser& parser, Session& s) {
  for (const QString& text : parser.values("roi")) {
    double v[3];
    if (!splitNumbers(text, 3, v) || v[0] != std::trunc(v[0]) || v[0] < 0 || v[0] > 15 || v[1] != std::trunc(v[1]) ||
        v[2] != std::trunc(v[2]) || v[1] < 0 || v[2] <= v[1] || v[2] > 8192)
      return "--roi takes i:low:high with i 0..15 and 0 <= low < high <= 8192";
    // As the ROI page does it: a defined entry keeps its label and colour,
    // a new one has no label and is blue; entries 1 to 4 also go to the
    // analyser.
    const int i = static_cast<int>(v[0]);
    const RoiEntry& entry = s.Rois.Entries[static_cast<size_t>(i)];
    const bool defined = entry.Defined == 1;
    const RoiSettings settings{static_cast<int32_t>(v[1]), static_cast<int32_t>(v[2]),
                               defined ? std::string(entry.ElementLabel.data()) : std::string(),
                               defined ? entry.Colour : kBlue};
    // As on the ROI page the analyser's answer is not checked: the
    // precision stop uses the program's own sums, not the analyser's.
    if (switchRoi(s.Rois, i, true, settings) == RoiSwitch::Shown && roiGoesToAnalyser(i))
      (void)SetRoiWindow(s.Transport, i, entry.LowChannel, entry.HighChannel);
  }
  if (!parser.isSet("precision")) return {};
  double v[2];
  if (!splitNumbers(parser.value("precision"), 2, v) || v[0] != std::trunc(v[0]) || v[0] < 0 || v[0] > 15 ||
      !(v[1] > 0) || v[1] > 100)
    return "--precision takes r:p with r 0..15 and 0 < p <= 100 (percent)";
  const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(v[0])];
  if (roi.HighChannel <= roi.LowChannel) return "--precision names an ROI with no channels; define it with --roi";
  s.Precision.Enabled = true;
  s.Precision.Roi = static_cast<int32_t>(v[0]);
  s.Precision.TargetPct = static_cast<float>(v[1]);
  return {};
}

void printRunResult(const Session& s, bool json) {
  const PrecisionStop& p = s.Precision;
  const char* stoppedBy = p.StoppedBy == StopReason::Precision ? "precision" : "preset";
  const double real = s.Acquisition.RealTime / 10.0, live = s.Acquisition.LiveTime / 10.0;
  const bool sigmaKnown = p.Enabled && std::isfinite(p.RelSigmaPct);
  if (json) {
    if (!p.Enabled) {
      std::printf(
          "{\"stopped_by\": \"%s\", \"real_s\": %.1f, \"live_s\": %.1f, \"roi\": null, \"net\": null, "
          "\"net_rel_sigma_pct\": null}\n",
          stoppedBy, real, live);
      return;
    }
    char sigma[32] = "null";
    if (sigmaKnown) std::snprintf(sigma, sizeof sigma, "%.4f", p.RelSigmaPct);
    std::printf(
        "{\"stopped_by\": \"%s\", \"real_s\": %.1f, \"live_s\": %.1f, \"roi\": %d, \"net\": %.1f, "
        "\"net_rel_sigma_pct\": %s}\n",
        stoppedBy, real, live, p.Roi, static_cast<double>(p.Sums.net), sigma);
    return;
  }
  if (!p.Enabled) return;
  if (sigmaKnown)
    std::printf("stopped by %s: ROI %d net %.1f, sigma %.2f %% (target %.2f %%) after %.1f s real, %.1f s live\n",
                stoppedBy, p.Roi, static_cast<double>(p.Sums.net), p.RelSigmaPct, static_cast<double>(p.TargetPct),
                real, live);
  else
    std::printf("stopped by %s: ROI %d net %.1f has no relative sigma after %.1f s real\n", stoppedBy, p.Roi,
                static_cast<double>(p.Sums.net), real);
}

}  // namespace tolvane::cli
