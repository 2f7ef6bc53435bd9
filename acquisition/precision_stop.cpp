#include "acquisition/precision_stop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/session.h"

namespace tolvane {

namespace {

void updateSums(Session& s) {
  PrecisionStop& p = s.Precision;
  const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(std::clamp(p.Roi, 0, RoiTable::kEntries - 1))];
  const int32_t size = std::clamp(s.Acquisition.ChannelCount, 0, s.Working.capacity());
  p.Sums = roiNetSums(s.Working.Counts.data(), size, roi.LowChannel, roi.HighChannel);
  p.RelSigmaPct = netRelativeSigmaPct(p.Sums);
}

bool roiUsable(const Session& s) {
  const int32_t r = s.Precision.Roi;
  if (r < 0 || r >= RoiTable::kEntries) return false;
  const RoiEntry& roi = s.Rois.Entries[static_cast<size_t>(r)];
  return roi.HighChannel > roi.LowChannel;
}

}  // namespace

double secondsToPrecision(double nowPct, double targetPct, double elapsedSeconds) {
  if (!(targetPct > 0) || !std::isfinite(nowPct) || !(elapsedSeconds > 0)) return -1.0;
  if (nowPct <= targetPct) return 0.0;
  const double ratio = nowPct / targetPct;
  return elapsedSeconds * (ratio * ratio - 1.0);
}

std::string precisionReadout(double nowPct, double targetPct, double secondsToTarget) {
  char text[96];
  if (!std::isfinite(nowPct))
    std::snprintf(text, sizeof text, "σ -- %% → %.1f %%", targetPct);
  else if (secondsToTarget < 0)
    std::snprintf(text, sizeof text, "σ %.1f %% → %.1f %%", nowPct, targetPct);
  else
    std::snprintf(text, sizeof text, "σ %.1f %% → %.1f %% in ~%.0f s", nowPct, targetPct, secondsToTarget);
  return text;
}

bool PrecisionReached(Session& s) {
  PrecisionStop& p = s.Precision;
  p.StoppedBy = StopReason::None;
  if (!p.Enabled || !roiUsable(s)) {
    p.Readout.clear();
    return false;
  }
  updateSums(s);
  const double elapsed = s.Acquisition.Status.realTimeTicks() * 0.01;
  p.SecondsToTarget = secondsToPrecision(p.RelSigmaPct, p.TargetPct, elapsed);
  p.Readout = precisionReadout(p.RelSigmaPct, p.TargetPct, p.SecondsToTarget);
  return p.RelSigmaPct <= static_cast<double>(p.TargetPct);
}

std::string precisionStopText(const PrecisionStop& stop) {
  char text[96];
  std::snprintf(text, sizeof text, "Stopped: ROI # %d net σ %.2f %% reached", stop.Roi,
                static_cast<double>(stop.TargetPct));
  return text;
}

void NoteRunEnd(Session& s, StopReason reason) {
  PrecisionStop& p = s.Precision;
  p.StoppedBy = reason;
  if (!p.Enabled || !roiUsable(s)) return;
  updateSums(s);
  p.SecondsToTarget = p.RelSigmaPct <= static_cast<double>(p.TargetPct) ? 0.0 : -1.0;
  p.Readout = precisionReadout(p.RelSigmaPct, p.TargetPct, p.SecondsToTarget);
}

}  // namespace tolvane
