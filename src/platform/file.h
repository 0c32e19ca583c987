// The operating system's files, reduced to what the installer needs: exclusive reading of an
// existing file, and the safe replacement of a file by new contents.
//
// Exclusive access: a file that another process holds open (Windows: opened without sharing;
// POSIX: holding an flock) counts as a file that cannot be opened. Reading takes that lock
// for as long as the file is open.
//
// Replacing a file (FileReplacement)
// ----------------------------------
//
//            Begin() ok             Commit() ok
//   idle ─────────────────> begun ───────────────> idle (the new text is in place)
//     ^                       │ Write() any number of times
//     │                       │ Commit() failed, Abandon(), destruction
//     └───────────────────────┘ (the file as it was; the temporary file removed)
//
// Begin(path) follows a symbolic link at path, dangling or not (POSIX), to the file that it
// names; the link stays a link. It opens that file for writing, which is the check that it may
// be written (not read-only, no access, not a regular file, held by another process), and keeps
// it open and locked against other writers until Commit() or Abandon(). Then it picks one of
// two ways to write:
//
// - Replacing (the rule): the new text goes to a temporary file beside the target, named
//   "<name>.~fx<process id>-<n>.tmp", which takes over what the old file is before it takes its
//   place. Commit() flushes it to disk and puts it in the target's place in one step, so that
//   the target holds all of its old bytes or all of the new ones whatever happens to the
//   process or the machine.
//     POSIX: owner, permission bits and extended attributes (POSIX ACLs among them) are copied
//     to the temporary file; rename() puts it in place and the directory is flushed. Our lock
//     on the old file lasts until the rename is done.
//     Windows: ReplaceFileA puts it in place and carries over the old file's security
//     descriptor (DACL), creation time, alternate data streams and attributes; its owner is
//     copied beforehand where the process may set it. The old file is moved aside as
//     "<name>.~fx<process id>-<n>.old" during the replacement and deleted after it. Our lock
//     on the old file is a handle that shares only reading and deletion: it lasts until the new
//     file is in place.
// - In place, where replacing is impossible or would change what the file is: when no file
//   can be created beside the target (the directory is not writable), when the target has more
//   than one hard link, or (POSIX) when its owner or extended attributes cannot be carried over.
//   The new text is kept in memory until Commit(), which writes it over the old bytes, cuts the
//   file to the new length and flushes it. The file keeps all it is; a crash during Commit()
//   can leave it torn.
//
// Every failure returns false with a reason and leaves the target as it was, except a failure
// part-way through an in-place Commit(), whose reason says so.
//
// Several files are replaced together through a ReplacementQueue (below): each one's new text
// is written, and on Linux on its way to disk, while the next is still being prepared; at the
// end they take their places in the order they were queued. Each file keeps the guarantee
// above, and the failure of one stops none of the others.
//
// What an interrupted replacement leaves behind (the process killed, the machine stopped) is
// at most a temporary file and, on Windows, the old file moved aside: stray_files.h cleans up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fx::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The path of the file fileName in directory.
inline std::string PathIn(const std::string& directory, std::string_view fileName) {
  std::string path = directory;
  path += kPathSeparator;
  path += fileName;
  return path;
}

enum class OpenStatus {
  kRead,     // the whole file was read
  kMissing,  // no file at the path, or no directory on the way to it
  kFailed,   // the file exists but cannot be opened or read (locked, no access, not a file)
};

// An open file; closed (and its lock released) on destruction.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  static constexpr std::intptr_t kNoHandle = -1;

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

// Opens the existing regular file at path for reading, exclusively: kRead when it is open.
// On kMissing or kFailed, reason says why.
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

  // idle -> begun. False, with reason, when the target cannot be written; still idle then.
  bool Begin(const std::string& path, std::string& reason);
  // begun: adds bytes to the new text.
  bool Write(const char* data, std::size_t size, std::string& reason);
  // begun -> idle, the new text in the target's place. False, with reason, when it could not
  // be put there; the target is then as it was (see above for the one exception).
  bool Commit(std::string& reason);
  // any -> idle: removes the temporary file and releases the target, which stays as it was.
  void Abandon();

  // Whether the file is written in place (see above); for tests and diagnostics.
  bool InPlace() const { return inPlace_; }

 private:
  friend class ReplacementQueue;

  bool Fail(std::string& reason, const std::string& why);
  bool CreateTemporaryFile(std::string& reason, bool& impossible);
  bool CommitInPlace(std::string& reason);
#ifndef _WIN32
  // The steps of Commit(), which a ReplacementQueue takes for several files at once.
  bool FlushNewText(std::string& reason);
  bool PutInPlace(std::string& reason);
#endif

  std::string target_;  // the file that is replaced (links resolved)
  std::string temp_;    // the temporary file beside it, while there is one
  File tempFile_;
  File targetLock_;  // the target, open and locked until the new text is in place
  bool targetExists_ = false;
  bool inPlace_ = false;
  std::string inPlaceText_;  // in place: the new text, written at Commit()
#ifdef _WIN32
  std::string backup_;            // where the old file is moved aside during the replacement
  unsigned long targetMode_ = 0;  // the old file's attributes
#endif
};

// Replacements whose new text is complete, put in place together. Add() starts writing a
// file's text to disk without waiting for it (Linux), so that the disk works while the caller
// prepares the next file; Commit() then puts every file in place in the order added:
//   POSIX: every new file is flushed (most of it is on disk by then), then each takes its
//   target's place in turn, then each directory that changed is flushed once.
//   Windows: each is committed in turn, as FileReplacement::Commit() does.
// A file written in place keeps its new text in memory until it is written: it is put in place
// when added, after every file added before it, so that a run does not hold the texts of many.
// Until then every target stays locked and as it was; a queue destroyed before abandons the
// replacements it holds.
class ReplacementQueue {
 public:
  struct Outcome {
    bool ok = true;
    std::string reason;  // why the file could not be put in place; it is then as it was
  };

  // Takes over replacement, begun and with all its text written.
  void Add(std::unique_ptr<FileReplacement> replacement);
  // One outcome per replacement added, in order; the queue is empty afterwards.
  std::vector<Outcome> Commit();

 private:
  // Puts the pending replacements in place, in order, and records their outcomes.
  void CommitPending();

  std::vector<std::unique_ptr<FileReplacement>> pending_;
  std::vector<Outcome> outcomes_;  // of the replacements put in place so far
};

}  // namespace fx::platform
