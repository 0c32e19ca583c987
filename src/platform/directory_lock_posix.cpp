#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/directory_lock.h"

namespace fx::platform {

LockStatus DirectoryLock::Acquire(const std::string& directory, std::chrono::milliseconds timeout,
                                  std::string& reason) {
  Release();
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return LockStatus::kFailed;
  }
  handle_ = fd;
  // flock() cannot wait for a limited time: ask again every few milliseconds.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return LockStatus::kAcquired;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      reason = std::strerror(errno);
      Release();
      return LockStatus::kFailed;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      Release();
      return LockStatus::kTimedOut;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void DirectoryLock::Release() {
  if (handle_ < 0) return;
  close(static_cast<int>(handle_));  // releases the flock
  handle_ = -1;
}

}  // namespace fx::platform
