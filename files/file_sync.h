#pragma once
// The call that flushes a file's data to disk before it replaces another.
// Tests put an observer in its place to see that it is made, on which file,
// and what a failed flush does.
namespace tolvane {

using SyncCall = int (*)(int fd);

// Flushes `fd` with the call in force (fsync unless replaced); 0 on success.
int syncFile(int fd);
// Replaces the call; nullptr restores fsync. Returns the call it replaced.
SyncCall setSyncCall(SyncCall call);

}  // namespace tolvane
