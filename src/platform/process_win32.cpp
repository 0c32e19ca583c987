#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/process.h"

namespace fx::platform {
namespace {

bool IsAnsiLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) != 0;
}

}  // namespace

bool StartUp() {
  // Standard output passes bytes unchanged (no LF to CR LF), first of all, since the one
  // message it ever carries is the one for a failed start-up.
  _setmode(_fileno(stdout), _O_BINARY);
  return GetModuleHandleA(nullptr) != nullptr;
}

bool ExecutablePath(std::string& path, std::string& reason) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
    if (length == 0) {
      reason = "GetModuleFileNameA failed with Windows error " + std::to_string(GetLastError());
      return false;
    }
    // A path that filled the buffer may have been cut short: ask again with more room.
    if (length < size) {
      path.assign(buffer.data(), length);
      return true;
    }
    if (buffer.size() >= 65536) {
      reason = "the program's path is too long";
      return false;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::size_t FindLastPathSeparator(std::string_view path) {
  return FindLastSeparator(path, '\\', IsAnsiLeadByte);
}

}  // namespace fx::platform
