#include "display/hard_copy.h"

namespace tolvane {

Colour24 usePlotColours(DisplayState& display, bool printing) {
  display.TextBackColour = printing ? kWhite : kBlack;
  display.CaptionColour = printing ? kBlack : kWhite;
  return printing ? kWhite : kBlack;
}

}  // namespace tolvane
