#include <errno.h>
#include <malloc.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/process.h"

namespace fx::platform {

bool StartUp() {
  // Heap memory that is freed stays with the process rather than going back to the system:
  // the lines of the next list take as much again, and fresh pages, which the system must
  // clear first, cost more than the reading of a list.
  mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
  return true;
}

bool ExecutablePath(std::string& path, std::string& reason) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      reason = std::string("/proc/self/exe: ") + std::strerror(errno);
      return false;
    }
    if (static_cast<size_t>(length) < buffer.size()) {
      path.assign(buffer.data(), static_cast<size_t>(length));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::size_t FindLastPathSeparator(std::string_view path) {
  return FindLastSeparator(path, '/', nullptr);
}

}  // namespace fx::platform
