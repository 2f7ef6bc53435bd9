#include "writes_refused.h"

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/path_name.h"

namespace tolvane::testing {

namespace {

constexpr uid_t kNobody = 65534;

// The process's mounts become its own, once: bind mounts made afterwards
// are seen by nothing else on the machine.
bool privateMounts(std::string& why) {
  static int state = 0;  // 0 not tried, 1 done, -1 refused
  static std::string refusal;
  if (state == 0) {
    if (::unshare(CLONE_NEWNS) != 0) {
      refusal = std::string("no private mount namespace: ") + std::strerror(errno);
      state = -1;
    } else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
      refusal = std::string("mounts cannot be made private: ") + std::strerror(errno);
      state = -1;
    } else {
      state = 1;
    }
  }
  why = refusal;
  return state == 1;
}

}  // namespace

WritesRefused::WritesRefused(std::vector<std::string> places) : places_(std::move(places)) {
  for (const std::string& place : places_) {
    struct stat info {};
    if (::stat(place.c_str(), &info) != 0) {
      why_ = place + " does not exist";
      return;
    }
    modes_.emplace_back(place, info.st_mode & 07777);
    // Readable (and a folder enterable) by anyone, writable by no one.
    ::chmod(place.c_str(), S_ISDIR(info.st_mode) ? 0555 : 0444);
  }
  if (::geteuid() != 0) return;
  std::string noMounts;
  if (privateMounts(noMounts)) {
    if (bindReadOnly()) return;
    noMounts = std::string("no read-only bind mount: ") + std::strerror(errno);
  }
  if (becomeNobody()) return;
  why_ = "root cannot be kept from writing here (" + noMounts + "; and cannot run as nobody: " + why_ + ")";
}

bool WritesRefused::bindReadOnly() {
  for (const std::string& place : places_) {
    if (::mount(place.c_str(), place.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    mounted_.push_back(place);
    if (::mount(nullptr, place.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) return false;
  }
  return true;
}

bool WritesRefused::becomeNobody() {
  for (const std::string& place : mounted_) ::umount2(place.c_str(), MNT_DETACH);
  mounted_.clear();
  // Nobody must reach the places: their folders become enterable.
  for (const std::string& place : places_) {
    const std::string folder = folderOf(place).empty() ? "." : folderOf(place);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) continue;
    modes_.emplace_back(folder, info.st_mode & 07777);
    ::chmod(folder.c_str(), (info.st_mode & 07777) | 0011);
  }
  groups_.resize(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
  if (::getgroups(static_cast<int>(groups_.size()), groups_.data()) < 0) groups_.clear();
  // The saved identity stays root's, so that the destructor can come back.
  if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, 0) != 0 || ::setresuid(kNobody, kNobody, 0) != 0) {
    why_ = std::strerror(errno);
    ::setresgid(0, 0, 0);
    ::setgroups(groups_.size(), groups_.data());
    return false;
  }
  nobody_ = true;
  return true;
}

WritesRefused::~WritesRefused() {
  if (nobody_) {
    ::setresuid(0, 0, 0);
    ::setresgid(0, 0, 0);
    ::setgroups(groups_.size(), groups_.data());
  }
  for (auto it = mounted_.rbegin(); it != mounted_.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
  for (auto it = modes_.rbegin(); it != modes_.rend(); ++it) ::chmod(it->first.c_str(), it->second);
}

}  // namespace tolvane::testing
