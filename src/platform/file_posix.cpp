// POSIX files: descriptors, flock for exclusive access, and replacement by rename.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/file.h"

namespace fx::platform {
namespace {

std::string ErrorText(int error) {
  return std::strerror(error);
}

int Fd(const File& file) {
  return static_cast<int>(file.Handle());
}

// Takes the exclusive lock that stands for "no other process holds this file open".
bool LockExclusively(const File& file, std::string& reason) {
  if (flock(Fd(file), LOCK_EX | LOCK_NB) == 0) return true;
  reason = errno == EWOULDBLOCK ? "locked by another process" : ErrorText(errno);
  return false;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Flushes a directory entry change (a rename) to disk.
void SyncDirectory(const std::string& directory) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

void File::Close() {
  if (handle_ == kNoHandle) return;
  close(static_cast<int>(handle_));  // also releases an flock held through this descriptor
  handle_ = kNoHandle;
}

OpenStatus OpenForReading(const std::string& path, File& file, std::string& reason) {
  // O_NONBLOCK keeps a FIFO or device from stalling the open; it does not affect regular files.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    reason = ErrorText(errno);
    return errno == ENOENT ? OpenStatus::kMissing : OpenStatus::kFailed;
  }
  file.Adopt(fd);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    reason = ErrorText(errno);
  } else if (!S_ISREG(st.st_mode)) {
    reason = "not a regular file";
  } else if (LockExclusively(file, reason)) {
    return OpenStatus::kOpened;
  }
  file.Close();
  return OpenStatus::kFailed;
}

std::int64_t FileSize(File& file) {
  struct stat st;
  return fstat(Fd(file), &st) == 0 ? st.st_size : -1;
}

std::int64_t ReadSome(File& file, char* buffer, std::size_t size, std::string& reason) {
  for (;;) {
    const ssize_t got = read(Fd(file), buffer, size);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    reason = ErrorText(errno);
    return -1;
  }
}

bool FileReplacement::Begin(const std::string& path, std::string& reason) {
  Abandon();
  char resolved[PATH_MAX];
  targetExists_ = realpath(path.c_str(), resolved) != nullptr;
  if (!targetExists_ && errno != ENOENT) {
    reason = ErrorText(errno);
    return false;
  }
  target_ = targetExists_ ? std::string(resolved) : path;

  struct stat st {};
  if (targetExists_) {
    // Opening the old file for writing (without truncating it) is the check that it may be
    // written at all; the lock taken on it keeps other cooperating processes out until the
    // new file is in place.
    const int fd = open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      reason = ErrorText(errno);
      return false;
    }
    targetLock_.Adopt(fd);
    if (fstat(fd, &st) != 0) {
      reason = ErrorText(errno);
      return Abandon(), false;
    }
    if (!S_ISREG(st.st_mode)) {
      reason = "not a regular file";
      return Abandon(), false;
    }
    // A file without any write permission is read-only, also for a superuser who could
    // open it anyway.
    if ((st.st_mode & 0222) == 0) {
      reason = "the file is read-only";
      return Abandon(), false;
    }
    if (!LockExclusively(targetLock_, reason)) return Abandon(), false;
  }

  const std::string base = target_.substr(target_.rfind('/') + 1);
  const std::string directory = DirectoryOf(target_);
  for (int attempt = 0;; ++attempt) {
    temp_ = directory + "/" + base + ".~fx" + std::to_string(getpid()) + "-" +
            std::to_string(attempt) + ".tmp";
    const int fd = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      tempFile_.Adopt(fd);
      break;
    }
    if (errno != EEXIST || attempt == 100) {
      reason = ErrorText(errno);
      temp_.clear();
      return Abandon(), false;
    }
  }
  if (targetExists_) {
    targetMode_ = st.st_mode & 07777;
    // Keep the old file's owner where we are allowed to (running as another user, we are
    // not, and the file then belongs to us like any file we create).
    const bool ownerKept = fchown(Fd(tempFile_), st.st_uid, st.st_gid) == 0;
    (void)ownerKept;
    if (fchmod(Fd(tempFile_), static_cast<mode_t>(targetMode_)) != 0) {
      reason = ErrorText(errno);
      return Abandon(), false;
    }
  }
  return true;
}

bool FileReplacement::Write(const char* data, std::size_t size, std::string& reason) {
  while (size > 0) {
    const ssize_t put = write(Fd(tempFile_), data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      reason = ErrorText(errno);
      return false;
    }
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

bool FileReplacement::Commit(std::string& reason) {
  if (fsync(Fd(tempFile_)) != 0) {
    reason = ErrorText(errno);
    return Abandon(), false;
  }
  // Closed by hand, since close() can report a write error of its own.
  if (close(static_cast<int>(tempFile_.Release())) != 0) {
    reason = ErrorText(errno);
    return Abandon(), false;
  }
  if (rename(temp_.c_str(), target_.c_str()) != 0) {
    reason = ErrorText(errno);
    return Abandon(), false;
  }
  temp_.clear();
  SyncDirectory(DirectoryOf(target_));
  targetLock_.Close();
  return true;
}

void FileReplacement::Abandon() {
  tempFile_.Close();
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  targetLock_.Close();
}

}  // namespace fx::platform
