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
    RunState state;
    state.appDirectory = dir.Name();
    RegisterTitlePackage(state, c.package);
    ASSERT_TRUE(SaveTitleList(state).ok);
    EXPECT_EQ(dir.Read("MovieTitle.txt"), c.after);
    EXPECT_TRUE(state.problems.empty());
  }
}

TEST(TitleList, AFileThatCannotBeReadIsLeftAlone) {
  test::TempDir dir;
  dir.Write("MovieTitle.txt", "A\n");
  test::FileHolder holder(dir.PathOf("MovieTitle.txt"));
  RunState state;
  state.appDirectory = dir.Name();
  RegisterTitlePackage(state, "P");
  EXPECT_TRUE(state.titleList.lines.empty());
  ASSERT_EQ(state.problems.size(), 1u);
  EXPECT_NE(state.problems[0].find("MovieTitle.txt: locked by another process"), std::string::npos);
}

}  // namespace
}  // namespace fx
