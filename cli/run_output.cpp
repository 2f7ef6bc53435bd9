#include "cli/run_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "files/output_path.h"
#include "files/path_name.h"
#include "files/spectrum_file.h"

namespace tolvane::cli {

namespace {

// Room left in a 255-byte file name for ".unsaved-999.dat".
constexpr size_t kLongestStem = 230;
// Bytes of a long stem's end kept when its middle is cut.
constexpr size_t kKeptTail = 16;

std::string stemOf(const std::string& asked) {
  std::string stem = fileNameOf(asked);
  if (const size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
  if (stem.empty()) stem = "spectrum";
  if (stem.size() > kLongestStem) {
    // The middle goes: the end holds what tells files apart (a scan's pass
    // number, "_0005"). Neither cut falls inside a UTF-8 sequence, so the
    // name stays readable.
    const auto continuation = [&stem](size_t i) { return (static_cast<unsigned char>(stem[i]) & 0xC0) == 0x80; };
    size_t tail = stem.size() - kKeptTail;
    while (tail < stem.size() && continuation(tail)) ++tail;
    size_t head = kLongestStem - (stem.size() - tail);
    while (head > 0 && continuation(head)) --head;
    stem = stem.substr(0, head) + stem.substr(tail);
  }
  return stem;
}

// A file that writing would replace (a device or pipe is written in place).
bool isRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string reserveFreeName(const std::string& folder, const std::string& asked, const std::string& tag) {
  const std::string stem = stemOf(asked);
  for (int n = 1; n <= 999; ++n) {
    const std::string path = folder + stem + "." + tag + "-" + std::to_string(n) + ".dat";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) return "";  // the folder takes no file at all
  }
  return "";
}

RunOutput writeRunSpectrum(Session& session, const std::string& asked, bool replaceExisting) {
  RunOutput result;
  // The check for an existing file and the write are one step: a file
  // another program makes in between is kept too.
  const IfTargetExists existing = replaceExisting ? IfTargetExists::Replace : IfTargetExists::Keep;
  if (writeWorkingSpectrum(session, asked, existing) == FileWriteOutcome::Written) return {asked, true, ""};
  if (!replaceExisting && isRegularFile(asked)) {
    result.reason = asked + " exists and is kept (the run did not end at its preset)";
  } else {
    const OutputProblem problem = checkOutputPath(asked);
    result.reason = std::string("cannot write ") + asked + ": " +
                    (problem == OutputProblem::None ? "the write failed (disk full?)" : outputProblemText(problem));
  }
  const std::string tag = replaceExisting ? "unsaved" : "interrupted";
  result.path = writeUnderFreeName(asked, tag, [&](const std::string& free) {
    return writeWorkingSpectrum(session, free) == FileWriteOutcome::Written;
  });
  return result;
}

std::string writeUnderFreeName(const std::string& asked, const std::string& tag,
                               const std::function<bool(const std::string&)>& write) {
  // Beside the asked file first; then the working folder, when that is
  // another one.
  // A device or pipe asked for (/dev/full) says nothing of its folder: the
  // working folder takes the file.
  struct stat info {};
  const bool special = ::stat(asked.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
  std::vector<std::string> folders{special ? std::string() : folderOf(asked)};
  if (!folders.front().empty()) folders.push_back("");
  for (const std::string& folder : folders) {
    const std::string free = reserveFreeName(folder, asked, tag);
    if (free.empty()) continue;
    if (write(free)) return free;
    ::unlink(free.c_str());
  }
  return "";
}

}  // namespace tolvane::cli
