#include "files/atomic_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "files/file_sync.h"
#include "files/output_path.h"
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

// Devices, pipes and sockets take the bytes as they are; renaming a file
// over them would remove the device entry.
bool isSpecialFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

bool writeDirectly(const std::string& path, const void* data, size_t size, std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return fail(error, "open");
  bool ok = writeAll(fd, static_cast<const uint8_t*>(data), size);
  if (!ok) fail(error, "write");
  if (::close(fd) != 0 && ok) ok = fail(error, "close");
  return ok;
}

// ".NAME.tmpXXXXXX" in the target's folder, with NAME cut so that the whole
// stays within the longest name the folder takes.
std::string temporaryPattern(const std::string& target) {
  const std::string folder = folderOf(target);
  const long longest = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  const size_t limit = longest > 0 ? static_cast<size_t>(longest) : 255;
  const std::string decoration = ".tmpXXXXXX";
  std::string name = fileNameOf(target);
  if (1 + name.size() + decoration.size() > limit) name.resize(limit - 1 - decoration.size());
  return folder + "." + name + decoration;
}

// Gives the temporary file the target's name unless a file has it.
// renameat2 does it in one step; a file system without it still gets one
// step from link(), which also refuses an existing name.
// A file system with neither (some FUSE and shared folders) still never has
// a file replaced: the name is reserved empty, which fails when it is taken,
// and the temporary then replaces only that reservation.
bool refusesToReplace(int error) { return error == EINVAL || error == ENOSYS || error == EPERM || error == EOPNOTSUPP; }

bool renameWithoutReplacing(const std::string& temporary, const std::string& path) {
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (!refusesToReplace(errno)) return false;
  if (::link(temporary.c_str(), path.c_str()) == 0) {
    ::unlink(temporary.c_str());
    return true;
  }
  if (!refusesToReplace(errno)) return false;
  const int reserved = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (reserved < 0) return false;
  ::close(reserved);
  if (::rename(temporary.c_str(), path.c_str()) == 0) return true;
  const int renameError = errno;
  ::unlink(path.c_str());
  errno = renameError;
  return false;
}

}  // namespace

bool writeFileAtomically(const std::string& linkOrPath, const void* data, size_t size, std::string* error,
                         IfTargetExists existing) {
  // A device or pipe, reached directly or through links (the system
  // follows them, including those like /dev/stdout whose target is no path).
  if (isSpecialFile(linkOrPath)) return writeDirectly(linkOrPath, data, size, error);
  const std::string path = followLinks(linkOrPath);
  const std::string folder = folderOf(path);
  std::string pattern = temporaryPattern(path);
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
  if (ok) {
    const bool renamed = existing == IfTargetExists::Keep ? renameWithoutReplacing(temporary, path)
                                                          : ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!renamed) ok = fail(error, "rename");
  }
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
