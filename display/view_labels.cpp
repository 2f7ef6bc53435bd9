#include "display/view_labels.h"

#include "app/session.h"
#include "display/plot_calls.h"

namespace tolvane {

void ShowViewLabels(Session& s) {
  const DisplayState& d = s.Display;
  s.Texts.Label1 = std::to_string(d.FirstShown) + "ch";
  s.Texts.Label2 = std::to_string(d.LastShown) + "ch";
  s.Texts.Label3 = std::to_string(d.Cursor);
  const bool inside = d.Cursor >= 0 && d.Cursor < s.Acquisition.ChannelCount && d.Cursor < s.Working.capacity();
  s.Texts.Label7 = FormatCount(inside ? s.Working.Counts[static_cast<size_t>(d.Cursor)] : 0);
}

}  // namespace tolvane
