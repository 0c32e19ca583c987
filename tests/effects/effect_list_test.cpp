#include "effects/effect_list.h"

#include <gtest/gtest.h>

#include "effects/effect_category.h"
#include "support/temp_dir.h"

namespace fx {
namespace {

using platform::OpenStatus;
using test::TempDir;

// A list written as "name: line | line" per section, to keep the tables readable.
std::vector<std::string> Describe(const EffectList& list) {
  std::vector<std::string> sections;
  for (const EffectSection& section : list.sections) {
    std::string text = std::string(section.name) + ":";
    for (const std::string_view line : section.lines) {
      text += ' ';
      text += line;
      text += " |";
    }
    sections.push_back(text);
  }
  return sections;
}

TEST(LoadEffectList, ReadsSectionsFromTheFile) {
  struct Case {
    const char* rule;
    std::string bytes;
    std::vector<std::string> sections;
  } cases[] = {
      {"sections in file order",
       "+A\r\na1\r\n\r\n+B\r\nb1\r\nb2\r\n\r\n",
       {"A: +A | a1 |", "B: +B | b1 | b2 |"}},
      {"an empty file", "", {}},
      {"blank lines only", " \r\n\t\n\n", {}},
      {"lines are trimmed, blank ones dropped", "  +A \n\n \t a1\t\r\n", {"A: +A | a1 |"}},
      {"LF alone and no final line end", "+A\na1", {"A: +A | a1 |"}},
      {"a * header opens a section and keeps its marker",
       "*A\na1\n+B\n",
       {"A: *A | a1 |", "B: +B |"}},
      {"blanks after the marker belong to the name", "+ A\na1\n", {" A: + A | a1 |"}},
      {"lines before the first header go first", "x\ny\n+A\na1\n", {"A: x | y | +A | a1 |"}},
      {"two headers in a row", "+A\n+B\nb1\n", {"A: +A |", "B: +B | b1 |"}},
      {"a marker alone joins the next header",
       "+A\na1\n+\nm1\n+B\nb1\n",
       {"A: +A | a1 |", "B: + | m1 | +B | b1 |"}},
      {"two sections of one name are both kept",
       "+A\na1\n+A\na2\n",
       {"A: +A | a1 |", "A: +A | a2 |"}},
      {"lines without a named header are kept nameless", "x\ny\n", {": x | y |"}},
      {"lines after a last marker alone are kept nameless",
       "+A\na1\n*\nm1\n",
       {"A: +A | a1 |", ": * | m1 |"}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    dir.Write("list.txt", c.bytes);
    EffectList list;
    const LoadResult result = LoadEffectList(list, dir.PathOf("list.txt"));
    EXPECT_EQ(result.status, OpenStatus::kRead);
    EXPECT_EQ(Describe(list), c.sections);

    // Saving and loading again gives the same sections; saving that gives the same bytes.
    ASSERT_TRUE(SaveEffectList(list, dir.PathOf("saved.txt")).ok);
    EffectList again;
    LoadEffectList(again, dir.PathOf("saved.txt"));
    EXPECT_EQ(Describe(again), c.sections);
    const std::optional<std::string> saved = dir.Read("saved.txt");
    ASSERT_TRUE(SaveEffectList(again, dir.PathOf("saved.txt")).ok);
    EXPECT_EQ(dir.Read("saved.txt"), saved);
  }
}

TEST(LoadEffectList, AppendsAfterSectionsAlreadyHeld) {
  TempDir dir;
  dir.Write("list.txt", "+B\nb1\n");
  EffectList list;
  list.sections.push_back({"A", {"+A"}});
  LoadEffectList(list, dir.PathOf("list.txt"));
  EXPECT_EQ(Describe(list), (std::vector<std::string>{"A: +A |", "B: +B | b1 |"}));
}

TEST(LoadEffectList, LeavesTheListAloneWhenTheFileCannotBeRead) {
  TempDir dir;
  EffectList list;
  EXPECT_EQ(LoadEffectList(list, dir.PathOf("missing.txt")).status, OpenStatus::kMissing);

  dir.Write("held.txt", "+A\na1\n");
  test::FileHolder holder(dir.PathOf("held.txt"));
  const LoadResult held = LoadEffectList(list, dir.PathOf("held.txt"));
  EXPECT_EQ(held.status, OpenStatus::kFailed);
  EXPECT_EQ(held.reason, "locked by another process");
  EXPECT_TRUE(list.sections.empty());
}

TEST(SaveEffectList, WritesEachSectionWithOneEmptyLineAfterIt) {
  EffectList list;
  list.sections.push_back({"A", {"+A", "a1:=1"}});
  list.sections.push_back({"B", {"*B"}});
  list.sections.push_back({"", {"x"}});
  TempDir dir;
  dir.Write("list.txt", "old content that is replaced whole\n");
  ASSERT_TRUE(SaveEffectList(list, dir.PathOf("list.txt")).ok);
  EXPECT_EQ(dir.Read("list.txt"), "+A\r\na1:=1\r\n\r\n*B\r\n\r\nx\r\n\r\n");

  ASSERT_TRUE(SaveEffectList(EffectList(), dir.PathOf("empty.txt")).ok);
  EXPECT_EQ(dir.Read("empty.txt"), "");
}

// Most lines are written back as they stand in the file read, in runs (effect_list.cpp): the
// bytes must be those of writing each line by itself, whatever the file's line ends, blanks
// and merged lines in between.
TEST(SaveEffectList, WritesWhatItReadAndMergedAsLineByLine) {
  std::string big = "+Big\r\n";
  for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + ":=1,2,3\r\n";
  const std::string file =
      "  \r\nhead\r\n+A\r\na1\r\na2\n\na3\r\n  a4 \r\n\r\n\r\n+B\r\nb1:=1\r\nb\r2\r\n" + big +
      "\r\n+C\r\nc1:=1\r\nc2\r\nlast";
  TempDir dir;
  dir.Write("list.txt", file);
  EffectList list;
  ASSERT_EQ(LoadEffectList(list, dir.PathOf("list.txt")).status, OpenStatus::kRead);
  MergeEffectEntry(list, "A", "", "a1.5");
  MergeEffectEntry(list, "B", "b1", "b1:=2");
  MergeEffectEntry(list, "Big", "line 10000", "line 10000:=new");
  MergeEffectEntry(list, "C", "c1", "c1:=1");
  MergeEffectEntry(list, "C", "", "after last");
  MergeEffectEntry(list, "D", "", "d");

  std::string expected;
  for (const EffectSection& section : list.sections) {
    for (const std::string_view line : section.lines) expected += std::string(line) + "\r\n";
    expected += "\r\n";
  }
  ASSERT_TRUE(SaveEffectList(list, dir.PathOf("saved.txt")).ok);
  const std::optional<std::string> saved = dir.Read("saved.txt");
  ASSERT_TRUE(saved.has_value());
  EXPECT_TRUE(*saved == expected) << "saved " << saved->size() << " bytes, expected "
                                  << expected.size();
  const std::string start =
      "head\r\n+A\r\na1\r\na2\r\na3\r\na4\r\na1.5\r\n\r\n+B\r\nb1:=2\r\nb\r2\r\n\r\n";
  EXPECT_EQ(saved->substr(0, start.size()), start);
}

TEST(SaveEffectList, ReportsATargetThatCannotBeWrittenAndLeavesIt) {
  TempDir dir;
  dir.Write("list.txt", "+A\n");
  EffectList list;
  list.sections.push_back({"B", {"+B"}});
  SaveResult result;
  {
    test::FileHolder holder(dir.PathOf("list.txt"));
    result = SaveEffectList(list, dir.PathOf("list.txt"));
  }
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.reason, "locked by another process");
  EXPECT_EQ(dir.Read("list.txt"), "+A\n");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"list.txt"});
}

}  // namespace
}  // namespace fx
