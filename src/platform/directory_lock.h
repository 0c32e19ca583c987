// One installation at a time in a directory: a lock that every run which changes the host
// editor's files in a directory holds from its first read to its last write there.
//
// POSIX: an flock on the directory itself. Windows: a named mutex "Global\fxinstall-<hash>",
// the hash taken over the directory's full path in upper case (Windows compares paths without
// regard to case), open to every user so that an elevated setup and a normal one exclude each
// other too. Neither creates a file. The system releases both when the process ends, however
// it ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace fx::platform {

enum class LockStatus {
  kAcquired,
  kTimedOut,  // another process held the lock for the whole wait
  kFailed,    // the lock cannot be taken at all (reason says why)
};

class DirectoryLock {
 public:
  DirectoryLock() = default;
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;
  ~DirectoryLock() { Release(); }

  // Takes the lock of directory, waiting up to timeout while another process holds it.
  LockStatus Acquire(const std::string& directory, std::chrono::milliseconds timeout,
                     std::string& reason);
  void Release();

 private:
  std::intptr_t handle_ = -1;  // the directory's descriptor (POSIX) or the mutex (Windows)
};

}  // namespace fx::platform
