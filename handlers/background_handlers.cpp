#include "handlers/background_handlers.h"

#include "analysis/snip_background.h"
#include "app/session.h"
#include "handlers/plot_handlers.h"
#include "records/text_number.h"

namespace tolvane {

void SnipShownClick(Session& s, bool on) {
  s.Display.SnipShown = on;
  PaintBox1Paint(s);
}

void RoiNetSnipClick(Session& s, bool on) {
  s.Display.RoiNetOverSnip = on;
  PaintBox1Paint(s);
}

void NormaliseOverlaysClick(Session& s, bool on) { s.Display.NormaliseOverlays = on; }

void SnipWidthChange(Session& s, const std::string& text) {
  if (text.find_first_not_of(' ') == std::string::npos) {
    s.Display.SnipWidth = 0;
  } else {
    const auto width = parseInteger(text);
    if (!width || *width < 1 || *width > kSnipMaxWidth) {
      s.Texts.Edit1 = kSnipWidthErrorText;
      return;
    }
    s.Display.SnipWidth = *width;
  }
  if (s.Display.SnipShown || s.Display.RoiNetOverSnip) PaintBox1Paint(s);
}

}  // namespace tolvane
