#include "display/memory_slots.h"

#include <algorithm>
#include <cmath>

#include "app/session.h"
#include "display/normalised_overlay.h"
#include "display/plot_model.h"
#include "files/spectrum_file.h"

namespace tolvane {

namespace {

// The channel count a slot's header gives, kept to what the slot can hold.
// A header that names no count (an empty memory, or the MCA slot before
// the setup dialog has set one) keeps the size in use for that slot.
int32_t slotChannels(int32_t fromHeader, int32_t capacity, int32_t otherwise) {
  if (fromHeader <= 0) return std::clamp(otherwise, 1, capacity);
  return std::min(fromHeader, capacity);
}

}  // namespace

bool showMemory(Session& s, int memory) {
  if (memory < 1 || memory > 3) return false;
  if (s.SelectedMemory == 0) {
    // Leaving the MCA slot: keep its run's header (start, times, ROI
    // windows) so that coming back shows, writes and exports the same run.
    // Its calibration is left out: the calibration in force stays in force.
    SpectrumFileHeader kept = s.Working.Header;
    fillHeaderForWrite(s, kept, s.Acquisition.ChannelCount);
    kept.setCalibrationMarker(1.0f);
    kept.setGain(0.0f);
    s.McaSlotHeader = kept;
  }
  s.SelectedMemory = memory;
  const SpectrumRecord& slot = s.Memories[static_cast<size_t>(memory - 1)];
  s.Working.setName(slot.Name);
  s.Working.Header = slot.Header;
  const int32_t m = slotChannels(slot.Header.channelCount(), slot.capacity(), slot.capacity());
  s.Acquisition.ChannelCount = m;
  std::copy_n(slot.Counts.begin(), m, s.Working.Counts.begin());
  takeHeaderValues(s, slot.Header);
  return true;
}

void showMcaSlot(Session& s) {
  s.SelectedMemory = 0;
  const SpectrumFileHeader header = s.McaSlotHeader.value_or(s.AcquisitionTemplate);
  s.Working.Header = header;
  s.Working.setName("MCA");
  s.Acquisition.ChannelCount = slotChannels(header.channelCount(), s.Working.capacity(), s.Mca.ChannelCount);
  takeHeaderValues(s, header);
}

void takeRunEndTimes(EngineState& s) {
  AcquisitionState& a = s.Acquisition;
  a.RealTime = a.Status.realTimeTicks() / 10;
  a.LiveTime = static_cast<int32_t>(
      std::trunc(static_cast<double>(a.RealTime) -
                 static_cast<double>(a.Status.eventCount()) * static_cast<double>(s.Mca.DeadTimePerEvent) * 0.00001));
  // A run that ended at its preset shows that preset; any other (stopped,
  // still counting, or past a preset lowered after the counts were taken)
  // keeps the real time the analyser counted.
  if (a.EndedAtPreset > 0 && a.RealTime >= a.EndedAtPreset) a.RealTime = a.EndedAtPreset;
}

OverlayChange toggleOverlay(EngineState& s, PlotModel& plot) {
  DisplayState& d = s.Display;
  const int32_t columns = std::min(plot.W, kEnvelopeColumns);  // never past the envelope arrays
  switch (s.SelectedMemory) {
    case 0: {
      d.SnapshotShown = !d.SnapshotShown;
      if (!d.SnapshotShown) return OverlayChange::Cleared;
      const int32_t h = plot.H, k = h * 4 / 6;
      const auto shrink = [&](int32_t row) { return std::min(h - ((h - row) / 3 + k), h - 1); };
      for (int32_t i = 0; i < columns; ++i) {
        plot.Snapshot.top[static_cast<size_t>(i)] = shrink(plot.Live.top[static_cast<size_t>(i)]);
        plot.Snapshot.bottom[static_cast<size_t>(i)] = shrink(plot.Live.bottom[static_cast<size_t>(i)]);
      }
      return OverlayChange::Taken;
    }
    case 1:
    case 2:
    case 3: {
      const int m = s.SelectedMemory;
      bool& shown = m == 1 ? d.Mem1Shown : m == 2 ? d.Mem2Shown : d.Mem3Shown;
      shown = !shown;
      if (!shown) return OverlayChange::Cleared;
      s.Working.setName(s.Memories[static_cast<size_t>(m - 1)].Name);
      TraceEnvelope& overlay = m == 1 ? plot.Mem1 : m == 2 ? plot.Mem2 : plot.Mem3;
      if (d.NormaliseOverlays) {
        const int32_t size = std::clamp(s.Acquisition.ChannelCount, 1, s.Working.capacity());
        const std::vector<int32_t> scaled = countsAtLiveTime(s.Working.Counts.data(), size, s.Acquisition.LiveTime,
                                                             overlayReferenceLiveTime(s));
        TraceEnvelope normalised;
        fillCountsEnvelope(scaled.data(), size, d, normalised, plot.Mapping);
        std::copy_n(normalised.top.begin(), columns, overlay.top.begin());
        std::copy_n(normalised.bottom.begin(), columns, overlay.bottom.begin());
        return OverlayChange::Taken;
      }
      std::copy_n(plot.Live.top.begin(), columns, overlay.top.begin());
      std::copy_n(plot.Live.bottom.begin(), columns, overlay.bottom.begin());
      return OverlayChange::Taken;
    }
    default:
      return OverlayChange::NoSlot;
  }
}

}  // namespace tolvane
