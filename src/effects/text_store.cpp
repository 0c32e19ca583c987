#include "effects/text_store.h"

#include <cstring>

namespace fx {
namespace {

// Added lines are packed into blocks of this size; a longer line gets a block of its own.
constexpr std::size_t kBlockSize = 64 * 1024;

}  // namespace

std::string_view TextStore::Add(std::string_view text) {
  if (text.empty()) return {};
  if (text.size() > freeSize_) {
    const std::size_t size = text.size() > kBlockSize / 4 ? text.size() : kBlockSize;
    blocks_.emplace_back(new char[size]);
    // A block of its own for a long line leaves the current block's free room in use.
    if (size == text.size()) {
      std::memcpy(blocks_.back().get(), text.data(), text.size());
      return {blocks_.back().get(), text.size()};
    }
    free_ = blocks_.back().get();
    freeSize_ = size;
  }
  std::memcpy(free_, text.data(), text.size());
  const std::string_view stored(free_, text.size());
  free_ += text.size();
  freeSize_ -= text.size();
  return stored;
}

}  // namespace fx
