// Win32 files: handles opened without sharing, and replacement by ReplaceFileA.
#include <windows.h>
// After windows.h:
#include <aclapi.h>

#include <string>
#include <utility>

#include "platform/file.h"
#include "platform/stray_files.h"

namespace fx::platform {
namespace {

HANDLE Win32Handle(const File& file) {
  return reinterpret_cast<HANDLE>(file.Handle());
}

std::intptr_t HandleValue(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? File::kNoHandle : reinterpret_cast<std::intptr_t>(handle);
}

std::string ErrorText(DWORD error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "locked by another process";
    case ERROR_ACCESS_DENIED:
      return "access denied";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "no such file or directory";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "the disk is full";
    default:
      return "Windows error " + std::to_string(error);
  }
}

std::string DirectoryOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

// The full path of path, which may be relative; path itself when the system cannot say.
std::string FullPathOf(const std::string& path) {
  std::string full(MAX_PATH, '\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
}

bool WriteAll(HANDLE handle, const char* data, std::size_t size, std::string& reason) {
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(handle, data, chunk, &put, nullptr)) {
      reason = ErrorText(GetLastError());
      return false;
    }
    data += put;
    size -= put;
  }
  return true;
}

// Gives the new file the old one's owner, where the process may set it (setting another
// user's owner takes a privilege); ReplaceFileA keeps the DACL but not the owner.
void CopyOwner(HANDLE from, HANDLE to) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(from, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS) {
    return;
  }
  SetSecurityInfo(to, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, nullptr, nullptr, nullptr);
  LocalFree(descriptor);
}

// Virus scanners and indexers open freshly written files for a moment; a rename that meets
// one of them is tried again for a while before it counts as failed.
template <typename Operation>
bool WithRetries(Operation operation, DWORD& error) {
  for (int attempt = 0;; ++attempt) {
    if (operation()) return true;
    error = GetLastError();
    const bool transient = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                           error == ERROR_LOCK_VIOLATION;
    if (!transient || attempt == 10) return false;
    Sleep(50);
  }
}

}  // namespace

void File::Close() {
  if (handle_ == kNoHandle) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNoHandle;
}

OpenStatus OpenForReading(const std::string& path, File& file, std::string& reason) {
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    reason = ErrorText(error);
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return missing ? OpenStatus::kMissing : OpenStatus::kFailed;
  }
  file.Adopt(HandleValue(handle));
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    reason = "not a regular file";
    file.Close();
    return OpenStatus::kFailed;
  }
  return OpenStatus::kRead;
}

std::int64_t FileSize(File& file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(Win32Handle(file), &size) ? size.QuadPart : -1;
}

std::int64_t ReadSome(File& file, char* buffer, std::size_t size, std::string& reason) {
  DWORD got = 0;
  const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!ReadFile(Win32Handle(file), buffer, want, &got, nullptr)) {
    reason = ErrorText(GetLastError());
    return -1;
  }
  return got;
}

bool FileReplacement::Begin(const std::string& path, std::string& reason) {
  Abandon();
  // ReplaceFileA wants full paths (Wine fails on relative ones with ERROR_DIRECTORY).
  target_ = FullPathOf(path);
  const DWORD attributes = GetFileAttributesA(target_.c_str());
  targetExists_ = attributes != INVALID_FILE_ATTRIBUTES;
  if (targetExists_) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Fail(reason, "not a regular file");
    if (attributes & FILE_ATTRIBUTE_READONLY) return Fail(reason, "the file is read-only");
    // Opening the old file for writing is the check that it may be written and that no other
    // process holds it open. The handle stays open as our lock: it shares reading and
    // deletion only, which is what ReplaceFileA needs of it (it opens the old file with
    // GENERIC_READ and DELETE) and keeps every writer out.
    const HANDLE handle = CreateFileA(target_.c_str(), GENERIC_READ | GENERIC_WRITE | READ_CONTROL,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Fail(reason, ErrorText(GetLastError()));
    targetLock_.Adopt(HandleValue(handle));
    if (GetFileType(handle) != FILE_TYPE_DISK) return Fail(reason, "not a regular file");
    targetMode_ = attributes;
    // A second hard link would keep the old text if the file were replaced.
    BY_HANDLE_FILE_INFORMATION information;
    inPlace_ = GetFileInformationByHandle(handle, &information) && information.nNumberOfLinks > 1;
    if (inPlace_) return true;
  }

  bool impossible = false;
  if (CreateTemporaryFile(reason, impossible)) {
    if (targetExists_) CopyOwner(Win32Handle(targetLock_), Win32Handle(tempFile_));
    return true;
  }
  if (!impossible || !targetExists_) return Fail(reason, reason);
  inPlace_ = true;  // the directory takes no new file, but the old one can be written
  return true;
}

bool FileReplacement::CreateTemporaryFile(std::string& reason, bool& impossible) {
  const std::string prefix = target_ + ".~fx" + std::to_string(GetCurrentProcessId()) + "-";
  for (int attempt = 0;; ++attempt) {
    temp_ = prefix + std::to_string(attempt) + ".tmp";
    // Not shared: while we hold it, no clean-up can take it for a leftover.
    const HANDLE handle = CreateFileA(temp_.c_str(), GENERIC_WRITE | WRITE_OWNER, 0, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      tempFile_.Adopt(HandleValue(handle));
      backup_ = prefix + std::to_string(attempt) + ".old";
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS || attempt == 100) {
      impossible = error == ERROR_ACCESS_DENIED;
      reason = ErrorText(error);
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
  return WriteAll(Win32Handle(tempFile_), data, size, reason);
}

bool FileReplacement::Commit(std::string& reason) {
  if (inPlace_) return CommitInPlace(reason);
  if (!FlushFileBuffers(Win32Handle(tempFile_))) return Fail(reason, ErrorText(GetLastError()));
  // ReplaceFileA opens the new file without sharing, so ours must be closed first.
  tempFile_.Close();
  DWORD error = 0;
  if (!targetExists_) {
    const auto move = [&] {
      return MoveFileExA(temp_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    };
    if (!WithRetries(move, error)) return Fail(reason, ErrorText(error));
  } else if (!WithRetries(
                 [&] {
                   return ReplaceFileA(target_.c_str(), temp_.c_str(), backup_.c_str(), 0, nullptr,
                                       nullptr) != 0;
                 },
                 error)) {
    // ERROR_UNABLE_TO_MOVE_REPLACEMENT_2: the old file stands under the backup's name and the
    // new one under its temporary name. Put the old one back; a clean-up does it otherwise.
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
      MoveFileExA(backup_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH);
    }
    // ERROR_UNABLE_TO_REMOVE_REPLACED and ERROR_UNABLE_TO_MOVE_REPLACEMENT (with a backup
    // name given) leave both files under their own names.
    return Fail(reason, ErrorText(error));
  }
  temp_.clear();
  // Windows carries the old file's attributes over; Wine does not.
  if (targetExists_) SetFileAttributesA(target_.c_str(), targetMode_);
  targetLock_.Close();  // the old file, now the backup
  if (targetExists_) DeleteFileA(backup_.c_str());
  Abandon();
  return true;
}

bool FileReplacement::CommitInPlace(std::string& reason) {
  const HANDLE handle = Win32Handle(targetLock_);
  LARGE_INTEGER start{};
  // From here on the old bytes are overwritten: a failure can leave the file torn.
  if (!SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) ||
      !WriteAll(handle, inPlaceText_.data(), inPlaceText_.size(), reason) ||
      !SetEndOfFile(handle) || !FlushFileBuffers(handle)) {
    if (reason.empty()) reason = ErrorText(GetLastError());
    return Fail(reason, reason + " (the file was being written in place and may be incomplete)");
  }
  Abandon();
  return true;
}

void ReplacementQueue::Add(std::unique_ptr<FileReplacement> replacement) {
  const bool inPlace = replacement->inPlace_;
  pending_.push_back(std::move(replacement));
  if (inPlace) CommitPending();
}

void ReplacementQueue::CommitPending() {
  for (const std::unique_ptr<FileReplacement>& replacement : pending_) {
    Outcome& outcome = outcomes_.emplace_back();
    outcome.ok = replacement->Commit(outcome.reason);
  }
  pending_.clear();
}

namespace internal {

std::string ResolvePath(const std::string& path) {
  return FullPathOf(path);
}

std::string DirectoryOf(const std::string& path) {
  return platform::DirectoryOf(path);
}

std::vector<std::string> NamesIn(const std::string& directory) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((directory + "\\*.~fx*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakerIsGone(const std::string& stray) {
  // Its maker holds a temporary file open without sharing, and the old file moved aside
  // sharing no writing: an open for writing without sharing fails while either lives.
  const HANDLE handle = CreateFileA(stray.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool regular = GetFileType(handle) == FILE_TYPE_DISK;
  CloseHandle(handle);
  return regular;
}

bool MoveInPlace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

void Remove(const std::string& path) {
  DeleteFileA(path.c_str());
}

}  // namespace internal
}  // namespace fx::platform
