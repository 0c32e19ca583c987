#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/directory_lock.h"

namespace fx::platform {
namespace {

// The mutex's name for directory: the same for every spelling of its path in another case.
std::string MutexNameOf(const std::string& directory) {
  std::vector<char> full(MAX_PATH);
  DWORD length =
      GetFullPathNameA(directory.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length);
    length = GetFullPathNameA(directory.c_str(), length, full.data(), nullptr);
  }
  const std::string path =
      length > 0 && length < full.size() ? std::string(full.data(), length) : directory;
  // Upper case as the system's code page has it, through UTF-16; the text is only hashed.
  int wide = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::vector<wchar_t> upper(static_cast<size_t>(wide) + 1);
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), upper.data(), wide);
  CharUpperBuffW(upper.data(), static_cast<DWORD>(wide));
  // No trailing separator, so that "C:\\Editor\\" and "C:\\Editor" name one directory.
  while (wide > 3 && (upper[wide - 1] == L'\\' || upper[wide - 1] == L'/')) --wide;
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (int i = 0; i < wide; ++i) {
    hash = (hash ^ static_cast<std::uint16_t>(upper[i])) * 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "Global\\fxinstall-%016llx",
                static_cast<unsigned long long>(hash));
  return name;
}

}  // namespace

LockStatus DirectoryLock::Acquire(const std::string& directory, std::chrono::milliseconds timeout,
                                  std::string& reason) {
  Release();
  // A null DACL: a run of any user may wait for the mutex that another user's run created.
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  const std::string name = MutexNameOf(directory);
  HANDLE mutex = CreateMutexA(&attributes, FALSE, name.c_str());
  if (mutex == nullptr) mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
  if (mutex == nullptr) {
    reason = "cannot create the mutex " + name + " (Windows error " +
             std::to_string(GetLastError()) + ")";
    return LockStatus::kFailed;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  switch (WaitForSingleObject(mutex, static_cast<DWORD>(timeout.count()))) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its holder died: what it left is cleaned up like any leftover
      return LockStatus::kAcquired;
    case WAIT_TIMEOUT:
      CloseHandle(mutex);
      handle_ = -1;
      return LockStatus::kTimedOut;
    default:
      reason = "cannot wait for the mutex " + name + " (Windows error " +
               std::to_string(GetLastError()) + ")";
      CloseHandle(mutex);
      handle_ = -1;
      return LockStatus::kFailed;
  }
}

void DirectoryLock::Release() {
  if (handle_ == -1) return;
  const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  handle_ = -1;
}

}  // namespace fx::platform
