#include "files/output_path.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "files/path_name.h"

namespace tolvane {

std::string followLinks(const std::string& path) {
  std::string current = path;
  // A loop of links ends after as many steps as the system allows.
  for (int step = 0; step < 40; ++step) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::vector<char> target(static_cast<size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1);
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size() - 1);
    if (n < 0) return current;
    const std::string next(target.data(), static_cast<size_t>(n));
    current = !next.empty() && next.front() == '/' ? next : folderOf(current) + next;
  }
  return current;
}

namespace {

// The longest file name the folder takes (255 bytes on the usual systems).
long longestName(const std::string& folder) {
  const long most = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return most > 0 ? most : NAME_MAX;
}

}  // namespace

OutputProblem checkOutputPath(const std::string& path) {
  struct stat info {};
  // A name the system cannot make is known now, not after the work: the
  // stat below would only say that no such file exists yet.
  if (path.size() >= PATH_MAX) return OutputProblem::NameTooLong;
  {
    const std::string folder = folderOf(path).empty() ? "." : folderOf(path);
    if (static_cast<long>(fileNameOf(path).size()) > longestName(folder)) return OutputProblem::NameTooLong;
  }
  // What the path names, links followed by the system (this also covers
  // links such as /dev/stdout whose target is no path).
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return OutputProblem::IsFolder;
    if (::access(path.c_str(), W_OK) != 0) return OutputProblem::NotWritable;
    if (!S_ISREG(info.st_mode)) return OutputProblem::None;  // a device or pipe is written in place
  }
  // A regular file is replaced by a new one made beside it, so its folder
  // must take new files.
  const std::string target = followLinks(path);
  const std::string folder = folderOf(target).empty() ? "." : folderOf(target);
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return OutputProblem::NoSuchFolder;
  return ::access(folder.c_str(), W_OK | X_OK) == 0 ? OutputProblem::None : OutputProblem::FolderNotWritable;
}

const char* outputProblemText(OutputProblem problem) {
  switch (problem) {
    case OutputProblem::None:
      return "writable";
    case OutputProblem::NoSuchFolder:
      return "no such folder";
    case OutputProblem::IsFolder:
      return "is a folder";
    case OutputProblem::NotWritable:
      return "not writable";
    case OutputProblem::FolderNotWritable:
      return "folder not writable";
    case OutputProblem::NameTooLong:
      return "name too long (at most 255 bytes for a file name, 4095 for a path)";
  }
  return "not writable";
}

}  // namespace tolvane
