#include "package/split.h"

#include <gtest/gtest.h>

namespace fx {
namespace {

TEST(SplitByDelimiter, GivesTheNonEmptyPiecesInOrder) {
  struct Case {
    const char* text;
    const char* delimiter;
    std::vector<std::string> items;
  } cases[] = {
      {"a;b", ";", {"a", "b"}},
      {"one", ";", {"one"}},
      {";a;;b;", ";", {"a", "b"}},
      {";;;", ";", {}},
      {"", ";", {}},
      {" a ; ;b", ";", {" a ", " ", "b"}},
      {" a b ", "", {" a b "}},
      {"xxx", "xx", {"x"}},
      {"a", "abc", {"a"}},
      {"a<>b<><>c", "<>", {"a", "b", "c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " at " + c.delimiter);
    std::vector<std::string> items = {"left over from before"};
    SplitByDelimiter(c.text, c.delimiter, items);
    EXPECT_EQ(items, c.items);
  }
}

}  // namespace
}  // namespace fx
