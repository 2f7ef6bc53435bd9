#pragma once
// Every caption readable whatever font stands in for the window font.
// Labels size themselves to their text; fixed controls keep their places
// and sizes, and one whose caption does not fit gets a smaller font, a
// pixel at a time, until it does.
class QWidget;

namespace tolvane {

// Fits the captions of every control under `root`.
void fitCaptions(QWidget* root);

// The window font (MS PGothic, or a close stand-in, 12 pixels), for the
// application as a whole.
void applyWindowFont();

}  // namespace tolvane
