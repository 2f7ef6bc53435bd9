#include "handlers/status_text.h"

#include "files/path_name.h"

namespace tolvane {

StatusText shortenStatusText(const std::string& message) {
  // A path starts at a '/' that begins the message or follows a blank and
  // runs to the end of the message (names may hold blanks).
  size_t start = std::string::npos;
  for (size_t i = 0; i < message.size(); ++i)
    if (message[i] == '/' && (i == 0 || message[i - 1] == ' ')) {
      start = i;
      break;
    }
  if (start == std::string::npos) return {message, {}};
  const std::string name = fileNameOf(message.substr(start));
  if (name.empty()) return {message, {}};
  return {message.substr(0, start) + name, message};
}

}  // namespace tolvane
