#include "effects/text_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fx {
namespace {

// Views handed out earlier stay valid and unchanged however much is added after them.
TEST(TextStore, KeepsEveryAddedTextInPlace) {
  TextStore store;
  std::vector<std::string> texts;
  std::vector<std::string_view> views;
  for (size_t i = 0; i < 3000; ++i) {
    const size_t length = i % 7 == 0 ? 40000 + i : i % 50;  // some longer than a block's quarter
    texts.push_back(std::string(length, static_cast<char>('a' + i % 26)));
    views.push_back(store.Add(texts.back()));
  }
  TextStore moved = std::move(store);
  for (size_t i = 0; i < texts.size(); ++i) ASSERT_EQ(views[i], texts[i]) << i;
}

}  // namespace
}  // namespace fx
