// Storage for the bytes of many lines, in which stored text never moves: lines can be held as
// string views into it for as long as the store lives, however much is added later.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/memory.h"

namespace fx {

class TextStore {
 public:
  TextStore() = default;
  TextStore(TextStore&&) = default;
  TextStore& operator=(TextStore&&) = default;
  TextStore(const TextStore&) = delete;
  TextStore& operator=(const TextStore&) = delete;

  // Copies text into the store and returns a view of the copy.
  std::string_view Add(std::string_view text);

  // Keeps bytes (a whole file, say) alive as long as the store, without copying them.
  void Adopt(platform::LargeBuffer bytes) { adopted_.push_back(std::move(bytes)); }

 private:
  std::vector<platform::LargeBuffer> adopted_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* free_ = nullptr;  // unused room at the end of the block last made by Add()
  std::size_t freeSize_ = 0;
};

}  // namespace fx
