#include <cstdlib>
#include <new>

#include "platform/memory.h"

namespace fx::platform {

void LargeBufferDeleter::operator()(char* bytes) const {
  std::free(bytes);
}

LargeBuffer AllocateLargeBuffer(std::size_t size) {
  void* bytes = std::malloc(size > 0 ? size : 1);
  if (bytes == nullptr) throw std::bad_alloc();
  return LargeBuffer(static_cast<char*>(bytes));
}

}  // namespace fx::platform
