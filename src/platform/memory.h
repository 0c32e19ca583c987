// Memory for whole files.
#pragma once

#include <cstddef>
#include <memory>

namespace fx::platform {

struct LargeBufferDeleter {
  std::size_t mapped = 0;  // Linux: the size of a buffer mapped for itself; 0 for the heap's
  void operator()(char* bytes) const;
};

// An uninitialised buffer for the bytes of a whole file.
using LargeBuffer = std::unique_ptr<char[], LargeBufferDeleter>;

// Allocates size bytes (at least one). On Linux a large buffer is laid out for huge pages,
// which makes filling it several times faster than page by page, and is given back to the
// system when freed, but for the largest one freed, which is kept for the next large buffer
// that it can hold: a run that reads one list after the other then fills memory it has
// already touched instead of fresh pages, which the system must clear first.
LargeBuffer AllocateLargeBuffer(std::size_t size);

}  // namespace fx::platform
