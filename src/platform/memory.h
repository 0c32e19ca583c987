// Memory for whole files.
#pragma once

#include <cstddef>
#include <memory>

namespace fx::platform {

struct LargeBufferDeleter {
  void operator()(char* bytes) const;
};

// An uninitialised buffer for the bytes of a whole file.
using LargeBuffer = std::unique_ptr<char[], LargeBufferDeleter>;

// Allocates size bytes (at least one). On Linux a large buffer is laid out for huge pages,
// which makes filling it several times faster than page by page.
LargeBuffer AllocateLargeBuffer(std::size_t size);

}  // namespace fx::platform
