#pragma once
// The status field is narrow: a message that ends in a file path shows only
// the file's name there, and the whole message goes to its tool tip.
#include <string>

namespace tolvane {

struct StatusText {
  std::string shown;
  std::string toolTip;  // empty when nothing was shortened
};

StatusText shortenStatusText(const std::string& message);

}  // namespace tolvane
