// Win32 files: handles opened without sharing, and replacement by MoveFileExA.
#include <windows.h>

#include <string>

#include "platform/file.h"

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

// Virus scanners and indexers open freshly written files for a moment; a rename that meets
// one of them is tried again for a while before it counts as failed.
bool MoveWithRetries(const std::string& from, const std::string& to, DWORD& error) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
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
    return error == ERROR_FILE_NOT_FOUND ? OpenStatus::kMissing : OpenStatus::kFailed;
  }
  file.Adopt(HandleValue(handle));
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    reason = "not a regular file";
    file.Close();
    return OpenStatus::kFailed;
  }
  return OpenStatus::kOpened;
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
  target_ = path;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  targetExists_ = attributes != INVALID_FILE_ATTRIBUTES;
  if (targetExists_) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      reason = "not a regular file";
      return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      reason = "the file is read-only";
      return false;
    }
    // Opening the old file for writing without sharing is the check that no other process
    // holds it open. It is closed again at once, since the rename needs it closed.
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      reason = ErrorText(GetLastError());
      return false;
    }
    CloseHandle(handle);
    targetMode_ = attributes;
  }

  const std::string base = path.substr(path.find_last_of("\\/") + 1);
  const std::string directory = DirectoryOf(path);
  for (int attempt = 0;; ++attempt) {
    temp_ = directory + "\\" + base + ".~fx" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(attempt) + ".tmp";
    const HANDLE handle = CreateFileA(temp_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      tempFile_.Adopt(HandleValue(handle));
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS || attempt == 100) {
      reason = ErrorText(error);
      temp_.clear();
      return false;
    }
  }
}

bool FileReplacement::Write(const char* data, std::size_t size, std::string& reason) {
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(Win32Handle(tempFile_), data, chunk, &put, nullptr)) {
      reason = ErrorText(GetLastError());
      return false;
    }
    data += put;
    size -= put;
  }
  return true;
}

bool FileReplacement::Commit(std::string& reason) {
  if (!FlushFileBuffers(Win32Handle(tempFile_))) {
    reason = ErrorText(GetLastError());
    return Abandon(), false;
  }
  tempFile_.Close();
  DWORD error = 0;
  if (!MoveWithRetries(temp_, target_, error)) {
    reason = ErrorText(error);
    return Abandon(), false;
  }
  temp_.clear();
  // The new file takes the old one's attributes (hidden, system, ...), as far as they apply.
  if (targetExists_) SetFileAttributesA(target_.c_str(), targetMode_);
  return true;
}

void FileReplacement::Abandon() {
  tempFile_.Close();
  if (!temp_.empty()) DeleteFileA(temp_.c_str());
  temp_.clear();
  targetLock_.Close();
}

}  // namespace fx::platform
