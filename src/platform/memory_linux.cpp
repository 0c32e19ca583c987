#include <sys/mman.h>

#include <cstdlib>
#include <new>

#include "platform/memory.h"

namespace fx::platform {
namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;

}  // namespace

void LargeBufferDeleter::operator()(char* bytes) const {
  std::free(bytes);
}

LargeBuffer AllocateLargeBuffer(std::size_t size) {
  if (size < kHugePage) {
    void* bytes = std::malloc(size > 0 ? size : 1);
    if (bytes == nullptr) throw std::bad_alloc();
    return LargeBuffer(static_cast<char*>(bytes));
  }
  const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
  void* bytes = std::aligned_alloc(kHugePage, rounded);
  if (bytes == nullptr) throw std::bad_alloc();
  // Only a hint: without transparent huge pages the buffer works the same, only slower.
  madvise(bytes, rounded, MADV_HUGEPAGE);
  return LargeBuffer(static_cast<char*>(bytes));
}

}  // namespace fx::platform
