#include "files/file_sync.h"

#include <unistd.h>

namespace tolvane {

namespace {
SyncCall current = nullptr;
}  // namespace

int syncFile(int fd) { return current ? current(fd) : ::fsync(fd); }

SyncCall setSyncCall(SyncCall call) {
  const SyncCall previous = current;
  current = call;
  return previous;
}

}  // namespace tolvane
