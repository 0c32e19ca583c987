#include "package/package_section.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace fx {
namespace {

using platform::OpenStatus;
using test::TempDir;

TEST(ReadPackageTable, FindsTheSectionAndItsKeys) {
  struct Case {
    const char* rule;
    std::string package;
    std::string config;
    bool found;
    PackageTable table;
  } cases[] = {
      {"blanks outside the brackets",
       "P",
       "[Q]\nTextIn=q\n  [P] \t\r\nTextIn=a\r\n",
       true,
       {{"TextIn", "a"}}},
      {"text after the bracket", "P", "[P] ; note\nTextIn=a\n", false, {}},
      {"other case", "P", "[p]\nTextIn=a\n", false, {}},
      {"commented header", "P", "#[P]\nTextIn=a\n", false, {}},
      {"blanks inside belong to the name",
       " P",
       "[P]\nTone=x\n[ P]\nTextIn=a\n",
       true,
       {{"TextIn", "a"}}},
      {"only the first section of the name",
       "P",
       "[P]\nTextIn=a\n[Q]\n[P]\nTextIn=b\nTone=c\n",
       true,
       {{"TextIn", "a"}}},
      {"the body ends at any line starting with [",
       "P",
       "[P]\nTextIn=a\n  [ broken\nTone=b\n",
       true,
       {{"TextIn", "a"}}},
      {"key and value trimmed, later = kept",
       "P",
       "[P]\n  TextIn \t=  G>n:=a=b  \n",
       true,
       {{"TextIn", "G>n:=a=b"}}},
      {"lines without effect",
       "P",
       "[P]\nTextIn\n\n = x\n#Tone=y\nScene=z",
       true,
       {{"#Tone", "y"}, {"Scene", "z"}}},
      {"the first line of a key counts, empty or not",
       "P",
       "[P]\nTextIn=\nTextIn=a\n",
       true,
       {{"TextIn", ""}}},
      {"no section at all", "P", "TextIn=a\n", false, {}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    dir.Write("ExEffConfig.ini", c.config);
    const PackageSection section = ReadPackageTable(dir.PathOf("ExEffConfig.ini"), c.package);
    EXPECT_EQ(section.status, OpenStatus::kRead);
    EXPECT_EQ(section.found, c.found);
    EXPECT_EQ(section.table, c.table);
  }
}

class ReadPackageSectionTest : public ::testing::Test {
 protected:
  ReadPackageSectionTest() { state.appDirectory = dir.Name(); }

  // The lines of one category's list, all sections together.
  std::vector<std::string> ListLines(size_t row) const {
    std::vector<std::string> lines;
    for (const EffectSection& section : state.lists[row].sections) {
      lines.insert(lines.end(), section.lines.begin(), section.lines.end());
    }
    return lines;
  }

  TempDir dir;
  RunState state;
};

TEST_F(ReadPackageSectionTest, HandsEveryItemToItsCategoryInOrder) {
  dir.Write("ExEffConfig.ini",
            "[P]\n"
            "TextIn= G>a ; G>b;;G>c ;\n"
            "Scene=;;;\n"
            "tone=G>x\n"
            "Style=S>n:=1;S>n:=2\n");
  ReadPackageSection(state, "P");
  EXPECT_EQ(ListLines(0), (std::vector<std::string>{"+G", "a", "b", "c"}));
  EXPECT_EQ(ListLines(3), (std::vector<std::string>{"+S", "n:=2"}));
  for (size_t row : {1, 2, 4, 5, 6}) EXPECT_TRUE(state.lists[row].sections.empty()) << row;
  EXPECT_TRUE(state.titleList.lines.empty());
  EXPECT_TRUE(state.problems.empty());
}

TEST_F(ReadPackageSectionTest, RegistersATitlePackageOnlyForDirMovieTitle) {
  struct Case {
    std::string dirLine;
    bool registers;
  } cases[] = {
      {"Dir=MovieTitle", true},  {"Dir = \t MovieTitle  ", true},
      {"Dir=movietitle", false}, {"Dir=MovieTitle2", false},
      {"Dir=", false},           {"dir=MovieTitle", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dirLine);
    RunState fresh;
    fresh.appDirectory = dir.Name();
    dir.Write("ExEffConfig.ini", "[P Q]\n" + c.dirLine + "\n");
    ReadPackageSection(fresh, "P Q");
    EXPECT_EQ(fresh.titleList.lines,
              c.registers ? std::vector<std::string_view>{"P Q"} : std::vector<std::string_view>{});
  }
}

TEST_F(ReadPackageSectionTest, DoesNothingWithoutAReadableConfig) {
  ReadPackageSection(state, "P");  // no file: nothing to do, nothing to report
  EXPECT_TRUE(state.problems.empty());

  dir.Write("ExEffConfig.ini", "[P]\nTextIn=G>a\nDir=MovieTitle\n");
  test::FileHolder holder(dir.PathOf("ExEffConfig.ini"));
  ReadPackageSection(state, "P");
  ASSERT_EQ(state.problems.size(), 1u);
  EXPECT_NE(state.problems[0].find("ExEffConfig.ini: locked by another process"),
            std::string::npos);
  EXPECT_TRUE(state.lists[0].sections.empty());
  EXPECT_TRUE(state.titleList.lines.empty());
}

}  // namespace
}  // namespace fx
