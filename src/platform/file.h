// The operating system's files, reduced to what the installer needs: exclusive reading of an
// existing file, and the safe replacement of a file by new contents.
//
// Exclusive access: a file that another process holds open (Windows: opened without sharing;
// POSIX: holding an flock) counts as a file that cannot be opened. Reading takes that lock
// for as long as the file is open; replacing holds it on the old file until the new one is
// in place.
//
// Replacing a file (FileReplacement) follows one protocol:
//   1. Begin(path): checks that the target can be opened for writing (not held by another
//      process, not read-only, a regular file if it exists) and creates a new temporary file
//      beside the file that the path resolves to (a symbolic link stays a link).
//   2. Write(...) any number of times: the bytes go to the temporary file only.
//   3. Commit(): flushes the temporary file to disk, gives it the old file's permissions and
//      renames it over the target in one step, so that the target holds either all of its old
//      bytes or all of the new ones, never a mix, whatever happens to the process.
// A failure at any step returns false with a reason; the target is then untouched. Destroying
// a FileReplacement that was not committed removes its temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fx::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

enum class OpenStatus {
  kOpened,
  kMissing,  // no file at the path
  kFailed,   // the file exists but cannot be opened (locked, no access, not a regular file)
};

// An open file; closed (and its lock released) on destruction.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  static constexpr std::intptr_t kNoHandle = -1;

  bool IsOpen() const { return handle_ != kNoHandle; }
  // The descriptor (POSIX) or HANDLE (Windows), for the platform code only.
  std::intptr_t Handle() const { return handle_; }
  // Takes ownership of handle, closing any file held before.
  void Adopt(std::intptr_t handle) {
    Close();
    handle_ = handle;
  }
  // Gives up ownership without closing, for a caller that closes the handle itself.
  std::intptr_t Release() {
    const std::intptr_t handle = handle_;
    handle_ = kNoHandle;
    return handle;
  }
  void Close();

 private:
  std::intptr_t handle_ = kNoHandle;
};

// Opens the existing regular file at path for reading, exclusively. On kMissing or kFailed,
// reason says why.
OpenStatus OpenForReading(const std::string& path, File& file, std::string& reason);

// The file's size in bytes as the system reports it now, or -1.
std::int64_t FileSize(File& file);

// Reads up to size bytes into buffer. Returns the number read, 0 at the end of the file, or
// -1 on a read error (with reason set).
std::int64_t ReadSome(File& file, char* buffer, std::size_t size, std::string& reason);

class FileReplacement {
 public:
  FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  ~FileReplacement() { Abandon(); }

  bool Begin(const std::string& path, std::string& reason);
  bool Write(const char* data, std::size_t size, std::string& reason);
  bool Commit(std::string& reason);

  // Removes the temporary file and releases the target; the target stays as it was.
  void Abandon();

 private:
  std::string target_;  // the file that is replaced (links resolved)
  std::string temp_;    // the temporary file beside it
  File tempFile_;
  File targetLock_;               // POSIX: the target, locked until the rename is done
  unsigned long targetMode_ = 0;  // permission bits (POSIX) or attributes (Windows)
  bool targetExists_ = false;
};

}  // namespace fx::platform
