#include "display/memory_slots.h"

#include <algorithm>
#include <cmath>

#include "acquisition/view_from_status.h"
#include "app/session.h"
#include "device/mca_commands.h"
#include "display/plot_calls.h"
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

void MemSpecClick(Session& s, int memory) {
  if (memory < 1 || memory > 3) return;
  s.SelectedMemory = memory;
  const SpectrumRecord& slot = s.Memories[static_cast<size_t>(memory - 1)];
  s.Working.setName(slot.Name);
  s.Working.Header = slot.Header;
  const int32_t m = slotChannels(slot.Header.channelCount(), slot.capacity(), slot.capacity());
  s.Acquisition.ChannelCount = m;
  std::copy_n(slot.Counts.begin(), m, s.Working.Counts.begin());
  takeHeaderValues(s, slot.Header);
  PaintBox1Paint(s);
}

void McaMemClick(Session& s) {
  s.SelectedMemory = 0;
  s.Working.Header = s.AcquisitionTemplate;
  s.Working.setName("MCA");
  s.Acquisition.ChannelCount =
      slotChannels(s.AcquisitionTemplate.channelCount(), s.Working.capacity(), s.Mca.ChannelCount);
  takeHeaderValues(s, s.AcquisitionTemplate);
  if (s.Acquisition.DeviceOpen == 1) {
    ReadSpectrum(s, 0);
    if (ReadStatus(s, 0) == 1) {
      TakeViewFromStatus(s, true);
      AcquisitionState& a = s.Acquisition;
      a.RealTime = a.Status.realTimeTicks() / 10;
      a.LiveTime = static_cast<int32_t>(
          std::trunc(static_cast<double>(a.RealTime) - static_cast<double>(a.Status.eventCount()) *
                                                           static_cast<double>(s.Mca.DeadTimePerEvent) * 0.00001));
      a.RealTime = s.Mca.PresetTime;
    }
  }
  PaintBox1Paint(s);
}

void OverLapONClick(Session& s) {
  DisplayState& d = s.Display;
  PlotModel& plot = s.Plot;
  const int32_t columns = std::min(plot.W, kEnvelopeColumns);  // never past the envelope arrays
  const auto copyLive = [&](TraceEnvelope& overlay) {
    std::copy_n(plot.Live.top.begin(), columns, overlay.top.begin());
    std::copy_n(plot.Live.bottom.begin(), columns, overlay.bottom.begin());
  };
  switch (s.SelectedMemory) {
    case 0: {
      d.SnapshotShown = !d.SnapshotShown;
      if (!d.SnapshotShown) break;
      const int32_t h = plot.H, k = h * 4 / 6;
      const auto shrink = [&](int32_t row) { return std::min(h - ((h - row) / 3 + k), h - 1); };
      for (int32_t i = 0; i < columns; ++i) {
        plot.Snapshot.top[static_cast<size_t>(i)] = shrink(plot.Live.top[static_cast<size_t>(i)]);
        plot.Snapshot.bottom[static_cast<size_t>(i)] = shrink(plot.Live.bottom[static_cast<size_t>(i)]);
      }
      break;
    }
    case 1:
    case 2:
    case 3: {
      bool& shown = s.SelectedMemory == 1 ? d.Mem1Shown : s.SelectedMemory == 2 ? d.Mem2Shown : d.Mem3Shown;
      shown = !shown;
      if (!shown) break;
      s.Working.setName(s.Memories[static_cast<size_t>(s.SelectedMemory - 1)].Name);
      copyLive(s.SelectedMemory == 1 ? plot.Mem1 : s.SelectedMemory == 2 ? plot.Mem2 : plot.Mem3);
      break;
    }
    default:
      break;
  }
  PaintBox1Paint(s);
}

}  // namespace tolvane
