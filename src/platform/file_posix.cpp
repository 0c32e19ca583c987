// POSIX files: descriptors, flock for exclusive access, and replacement by rename.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/file.h"
#include "platform/stray_files.h"

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

std::string BaseNameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

// Follows symbolic links at path until it names no link: a file, something else, or nothing
// (a dangling link names the file that it would create). False with errno set on a loop or an
// error other than a missing file.
bool ResolveLinks(const std::string& path, std::string& resolved) {
  resolved = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (lstat(resolved.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISLNK(st.st_mode)) return true;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
    const ssize_t length = readlink(resolved.c_str(), target.data(), target.size());
    if (length < 0) return false;
    target.resize(static_cast<size_t>(length));
    resolved = target.starts_with('/') ? target : DirectoryOf(resolved) + "/" + target;
  }
  errno = ELOOP;
  return false;
}

// Flushes a directory entry change (a rename) to disk.
void SyncDirectory(const std::string& directory) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Copies every extended attribute of from to to (POSIX ACLs travel as the attribute
// "system.posix_acl_access"). False when one of them cannot be read or set.
bool CopyExtendedAttributes(int from, int to) {
  ssize_t size = flistxattr(from, nullptr, 0);
  if (size < 0) return errno == ENOTSUP;
  std::string names(static_cast<size_t>(size), '\0');
  size = flistxattr(from, names.data(), names.size());
  if (size < 0) return false;
  names.resize(static_cast<size_t>(size));
  std::string value;
  for (size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
    const char* name = names.c_str() + at;
    const ssize_t length = fgetxattr(from, name, nullptr, 0);
    if (length < 0) return false;
    value.resize(static_cast<size_t>(length));
    if (fgetxattr(from, name, value.data(), value.size()) != length) return false;
    if (fsetxattr(to, name, value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

bool WriteAll(int fd, const char* data, size_t size, std::string& reason) {
  while (size > 0) {
    const ssize_t put = write(fd, data, size);
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

// Reserves room for size bytes in the file without changing its length, so that a full disk
// is found before the first byte of the file is overwritten. Only a hint where unsupported.
bool Reserve(int fd, off_t size, std::string& reason) {
#ifdef __linux__
  if (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS) {
    reason = ErrorText(errno);
    return false;
  }
#else
  (void)fd;
  (void)size;
  (void)reason;
#endif
  return true;
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
    return errno == ENOENT || errno == ENOTDIR ? OpenStatus::kMissing : OpenStatus::kFailed;
  }
  file.Adopt(fd);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    reason = ErrorText(errno);
  } else if (!S_ISREG(st.st_mode)) {
    reason = "not a regular file";
  } else if (LockExclusively(file, reason)) {
    return OpenStatus::kRead;
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
  if (!ResolveLinks(path, target_)) return Fail(reason, ErrorText(errno));

  struct stat st {};
  targetExists_ = lstat(target_.c_str(), &st) == 0;
  if (targetExists_) {
    // Opening the old file for writing (without truncating it) is the check that it may be
    // written at all; the lock taken on it keeps other cooperating processes out until the
    // new text is in place.
    const int fd = open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Fail(reason, ErrorText(errno));
    targetLock_.Adopt(fd);
    if (fstat(fd, &st) != 0) return Fail(reason, ErrorText(errno));
    if (!S_ISREG(st.st_mode)) return Fail(reason, "not a regular file");
    // A file without any write permission is read-only, also for a superuser who could
    // open it anyway.
    if ((st.st_mode & 0222) == 0) return Fail(reason, "the file is read-only");
    if (!LockExclusively(targetLock_, reason)) return Fail(reason, reason);
  }

  // A second hard link would keep the old text if the file were replaced.
  inPlace_ = targetExists_ && st.st_nlink > 1;
  if (inPlace_) return true;
  bool impossible = false;
  if (CreateTemporaryFile(reason, impossible)) {
    const int temp = Fd(tempFile_);
    // The owner first: changing it may clear permission bits that fchmod then sets.
    const bool keepsIdentity =
        !targetExists_ ||
        ((fchown(temp, st.st_uid, st.st_gid) == 0 ||
          (st.st_uid == geteuid() && st.st_gid == getegid())) &&
         fchmod(temp, st.st_mode & 07777) == 0 && CopyExtendedAttributes(Fd(targetLock_), temp));
    if (keepsIdentity) return true;
    impossible = true;
  }
  if (!impossible || !targetExists_) return Fail(reason, reason);
  // The old file can be written but not replaced without changing what it is.
  tempFile_.Close();
  unlink(temp_.c_str());
  temp_.clear();
  inPlace_ = true;
  return true;
}

// Creates the temporary file beside the target and locks it, which tells a later clean-up
// that its maker is still at work. impossible: no file can be created in that directory.
bool FileReplacement::CreateTemporaryFile(std::string& reason, bool& impossible) {
  const std::string prefix =
      DirectoryOf(target_) + "/" + BaseNameOf(target_) + ".~fx" + std::to_string(getpid()) + "-";
  for (int attempt = 0;; ++attempt) {
    temp_ = prefix + std::to_string(attempt) + ".tmp";
    const int fd = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      tempFile_.Adopt(fd);
      flock(fd, LOCK_EX | LOCK_NB);
      return true;
    }
    if (errno != EEXIST || attempt == 100) {
      impossible = errno == EACCES || errno == EPERM;
      reason = ErrorText(errno);
      temp_.clear();
      return false;
    }
  }
}

bool FileReplacement::Write(const char* data, std::size_t size, std::string& reason) {
  if (inPlace_) {
    inPlaceText_.append(data, size);
    return true;
  }
  return WriteAll(Fd(tempFile_), data, size, reason);
}

bool FileReplacement::Commit(std::string& reason) {
  if (!FlushNewText(reason) || !PutInPlace(reason)) return false;
  if (!inPlace_) SyncDirectory(DirectoryOf(target_));
  Abandon();  // closes the new file and releases the old one's lock
  return true;
}

bool FileReplacement::FlushNewText(std::string& reason) {
  if (!inPlace_ && fsync(Fd(tempFile_)) != 0) return Fail(reason, ErrorText(errno));
  return true;
}

// The new text, on disk already unless written in place, takes the target's place. The old
// file stays locked until Abandon().
bool FileReplacement::PutInPlace(std::string& reason) {
  if (inPlace_) return CommitInPlace(reason);
  if (rename(temp_.c_str(), target_.c_str()) != 0) return Fail(reason, ErrorText(errno));
  temp_.clear();
  return true;
}

bool FileReplacement::CommitInPlace(std::string& reason) {
  const int fd = Fd(targetLock_);
  const off_t size = static_cast<off_t>(inPlaceText_.size());
  if (!Reserve(fd, size, reason)) return Fail(reason, reason);
  // From here on the old bytes are overwritten: a failure can leave the file torn.
  if (lseek(fd, 0, SEEK_SET) != 0 ||
      !WriteAll(fd, inPlaceText_.data(), inPlaceText_.size(), reason) || ftruncate(fd, size) != 0 ||
      fsync(fd) != 0) {
    if (reason.empty()) reason = ErrorText(errno);
    return Fail(reason, reason + " (the file was being written in place and may be incomplete)");
  }
  return true;
}

void ReplacementQueue::Add(std::unique_ptr<FileReplacement> replacement) {
  const bool inPlace = replacement->inPlace_;
#ifdef __linux__
  // Only a start: the flush before the rename waits for what is not written by then, and
  // reports any error.
  if (!inPlace) sync_file_range(Fd(replacement->tempFile_), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  pending_.push_back(std::move(replacement));
  if (inPlace) CommitPending();
}

void ReplacementQueue::CommitPending() {
  const size_t first = outcomes_.size();
  outcomes_.resize(first + pending_.size());
  Outcome* const outcomes = outcomes_.data() + first;
  // Flushing every new file before the first rename costs no more than flushing each before
  // its own: the write-back of all of them was started in Add().
  for (size_t i = 0; i < pending_.size(); ++i) {
    outcomes[i].ok = pending_[i]->FlushNewText(outcomes[i].reason);
  }
  std::vector<std::string> directories;
  for (size_t i = 0; i < pending_.size(); ++i) {
    FileReplacement& replacement = *pending_[i];
    if (!outcomes[i].ok) continue;
    const bool renames = !replacement.inPlace_;
    const std::string directory = DirectoryOf(replacement.target_);
    outcomes[i].ok = replacement.PutInPlace(outcomes[i].reason);
    if (outcomes[i].ok && renames &&
        std::find(directories.begin(), directories.end(), directory) == directories.end()) {
      directories.push_back(directory);
    }
  }
  for (const std::string& directory : directories) SyncDirectory(directory);
  pending_.clear();  // closes the new files and releases the old ones' locks
}

namespace internal {

std::string ResolvePath(const std::string& path) {
  std::string resolved;
  return ResolveLinks(path, resolved) ? resolved : std::string();
}

std::string DirectoryOf(const std::string& path) {
  return platform::DirectoryOf(path);
}

std::vector<std::string> NamesIn(const std::string& directory) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(directory.c_str())) {
    while (const dirent* entry = readdir(listing)) names.emplace_back(entry->d_name);
    closedir(listing);
  }
  return names;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool MakerIsGone(const std::string& stray) {
  const int fd = open(stray.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  // The maker of a temporary file holds its lock for as long as it lives.
  const bool gone = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return gone;
}

bool MoveInPlace(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0) return false;
  SyncDirectory(DirectoryOf(to));
  return true;
}

void Remove(const std::string& path) {
  unlink(path.c_str());
}

}  // namespace internal
}  // namespace fx::platform
