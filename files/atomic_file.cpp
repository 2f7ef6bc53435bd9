#include "files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "files/file_sync.h"
#include "files/path_name.h"

namespace tolvane {

namespace {

bool fail(std::string* error, const char* what) {
  if (error) *error = std::string(what) + ": " + std::strerror(errno);
  return false;
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// New files get the usual permissions; a replaced file keeps its own.
mode_t modeFor(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return info.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool writeFileAtomically(const std::string& path, const void* data, size_t size, std::string* error) {
  const std::string folder = folderOf(path);
  std::string pattern = folder + "." + fileNameOf(path) + ".tmpXXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return fail(error, "cannot create a temporary file");
  const std::string temporary(name.data());

  bool ok = writeAll(fd, static_cast<const uint8_t*>(data), size);
  if (!ok) fail(error, "write");
  if (ok && ::fchmod(fd, modeFor(path)) != 0) ok = fail(error, "chmod");
  if (ok && syncFile(fd) != 0) ok = fail(error, "fsync");
  if (::close(fd) != 0 && ok) ok = fail(error, "close");
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) ok = fail(error, "rename");
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace tolvane
