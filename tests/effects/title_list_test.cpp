#include "effects/title_list.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace fx {
namespace {

TEST(TitleList, RegistersTheNameOnceAndKeepsEveryLine) {
  struct Case {
    const char* rule;
    std::optional<std::string> before;
    std::string package;
    std::string after;
  } cases[] = {
      {"no file", std::nullopt, "P", "P\r\n"},
      {"already listed: only the line ends change", "A\nP\nB", "P", "A\r\nP\r\nB\r\n"},
      {"other case and blanks do not match", "p\n P\nP \n", "P", "p\r\n P\r\nP \r\nP\r\n"},
      {"an empty line stays in place", "A\r\n\r\n", "P", "A\r\n\r\nP\r\n"},
      {"duplicates stay", "A\nA\n", "P", "A\r\nA\r\nP\r\n"},
      {"the name is kept byte for byte", "x\n", " Pack \xB3\xF5 ", "x\r\n Pack \xB3\xF5 \r\n"},
      {"an empty file", "", "P", "P\r\n"},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    std::filesystem::remove(dir.Path() / "MovieTitle.txt");
    if (c.before) dir.Write("MovieTitle.txt", *c.before);
    TitleList titles;
    EXPECT_EQ(LoadTitleList(titles, dir.PathOf("MovieTitle.txt")).status,
              c.before ? platform::OpenStatus::kRead : platform::OpenStatus::kMissing);
    RegisterTitlePackage(titles, c.package);
    ASSERT_TRUE(SaveTitleList(titles, dir.PathOf("MovieTitle.txt")).ok);
    EXPECT_EQ(dir.Read("MovieTitle.txt"), c.after);
  }
}

TEST(TitleList, AFileThatCannotBeReadLeavesTheListEmpty) {
  test::TempDir dir;
  dir.Write("MovieTitle.txt", "A\n");
  test::FileHolder holder(dir.PathOf("MovieTitle.txt"));
  TitleList titles;
  const LoadResult load = LoadTitleList(titles, dir.PathOf("MovieTitle.txt"));
  EXPECT_EQ(load.status, platform::OpenStatus::kFailed);
  EXPECT_EQ(load.reason, "locked by another process");
  EXPECT_TRUE(titles.lines.empty());
}

}  // namespace
}  // namespace fx
