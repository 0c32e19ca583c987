#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

#include "platform/memory.h"

namespace fx::platform {
namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;

// The largest large buffer freed so far, kept for reuse (memory.h).
std::mutex spareLock;
char* spare = nullptr;
std::size_t spareSize = 0;

// Maps size bytes (a multiple of kHugePage) at an address aligned for huge pages.
char* MapAligned(std::size_t size) {
  void* mapped =
      mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) munmap(mapped, aligned - start);
  const std::uintptr_t end = start + size + kHugePage;
  if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
  // Only a hint: without transparent huge pages the buffer works the same, only slower.
  madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<char*>(aligned);
}

}  // namespace

void LargeBufferDeleter::operator()(char* bytes) const {
  if (mapped == 0) {
    std::free(bytes);
    return;
  }
  const std::lock_guard<std::mutex> hold(spareLock);
  if (mapped > spareSize) {
    if (spare != nullptr) munmap(spare, spareSize);
    spare = bytes;
    spareSize = mapped;
  } else {
    munmap(bytes, mapped);
  }
}

LargeBuffer AllocateLargeBuffer(std::size_t size) {
  if (size < kHugePage) {
    void* bytes = std::malloc(size > 0 ? size : 1);
    if (bytes == nullptr) throw std::bad_alloc();
    return LargeBuffer(static_cast<char*>(bytes));
  }
  const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
  // Half as much again is only address space until it is touched: a later, somewhat larger
  // file can reuse the buffer, and then takes fresh pages only for what it needs beyond.
  const std::size_t mapped = rounded + rounded / kHugePage / 2 * kHugePage;
  {
    const std::lock_guard<std::mutex> hold(spareLock);
    if (spare != nullptr && spareSize >= rounded) {
      LargeBuffer reused(spare, LargeBufferDeleter{spareSize});
      spare = nullptr;
      spareSize = 0;
      return reused;
    }
    // Too small to hold this one: given back before the new buffer is taken.
    if (spare != nullptr) munmap(spare, spareSize);
    spare = nullptr;
    spareSize = 0;
  }
  return LargeBuffer(MapAligned(mapped), LargeBufferDeleter{mapped});
}

}  // namespace fx::platform
