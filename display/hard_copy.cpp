#include "display/hard_copy.h"

#include "app/session.h"
#include "display/plot_calls.h"
#include "display/plot_painter.h"

namespace tolvane {

void SetHardCopyColours(Session& s, bool printing) {
  s.Display.TextBackColour = printing ? kWhite : kBlack;
  s.Display.CaptionColour = printing ? kBlack : kWhite;
  if (s.Painter) s.Painter->setPlotBackground(printing ? kWhite : kBlack);
  if (s.Display.LogScale)
    DrawLogFrame(s, true);
  else
    DrawLinearFrame(s, true);
  PaintBox1Paint(s);
}

}  // namespace tolvane
