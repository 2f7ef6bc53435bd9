#include "handlers/view_labels.h"

#include <cstdio>
#include <cstring>

#include "analysis/energy_calibration.h"
#include "app/session.h"
#include "handlers/plot_handlers.h"

namespace tolvane {

void ShowViewLabels(Session& s) {
  const DisplayState& d = s.Display;
  s.Texts.Label1 = std::to_string(d.FirstShown) + "ch";
  s.Texts.Label2 = std::to_string(d.LastShown) + "ch";
  s.Texts.Label3 = std::to_string(d.Cursor);
  const bool inside = d.Cursor >= 0 && d.Cursor < s.Acquisition.ChannelCount && d.Cursor < s.Working.capacity();
  s.Texts.Label7 = FormatCount(inside ? s.Working.Counts[static_cast<size_t>(d.Cursor)] : 0);
}

void ShowCursorEnergy(Session& s) {
  const EnergyCalibration& cal = s.Calibration;
  if (cal.Valid != 1) return;
  const float energy = channelEnergy(cal, static_cast<float>(s.Display.Cursor));
  char text[48];
  std::snprintf(text, sizeof text, "%8.2f", static_cast<double>(energy));
  s.Texts.Label8 = text;
  s.Texts.Label9 = std::string(cal.UnitText.data(), strnlen(cal.UnitText.data(), cal.UnitText.size()));
}

}  // namespace tolvane
