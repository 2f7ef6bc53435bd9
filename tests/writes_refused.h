#pragma once
// Places that refuse this process's writes while the object lives, root
// included, so that tests of "cannot be written" run wherever the tests
// run. Each place loses its write permission; root, whom permissions do
// not bind, gets each place bound read-only over itself in a private mount
// namespace of the test process, or, where the system allows no such
// namespace, runs as the unprivileged user "nobody" until the object dies.
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace tolvane::testing {

class WritesRefused {
 public:
  explicit WritesRefused(std::vector<std::string> places);
  ~WritesRefused();
  WritesRefused(const WritesRefused&) = delete;
  WritesRefused& operator=(const WritesRefused&) = delete;

  // Empty when every place refuses writes; otherwise why they could not be
  // made to (the test should then skip with this text).
  const std::string& unavailable() const { return why_; }

 private:
  bool bindReadOnly();
  bool becomeNobody();

  std::vector<std::string> places_;
  std::vector<std::pair<std::string, mode_t>> modes_;  // to restore, places and their folders
  std::vector<std::string> mounted_;
  std::vector<gid_t> groups_;
  bool nobody_ = false;
  std::string why_;
};

}  // namespace tolvane::testing
