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
    const PackageSection section = ReadPackageSection(dir.PathOf("ExEffConfig.ini"), c.package);
    EXPECT_EQ(section.status, OpenStatus::kRead);
    EXPECT_EQ(section.found, c.found);
    EXPECT_EQ(section.table, c.table);
  }
}

class DispatchTest : public ::testing::Test {
 protected:
  // Reads the section of package from the config and dispatches it into lists.
  DispatchReport Dispatch(const std::string& package) {
    const PackageSection section = ReadPackageSection(dir.PathOf("ExEffConfig.ini"), package);
    EXPECT_EQ(section.status, OpenStatus::kRead);
    return DispatchPackageSection(section, package, dir.Name(), lists);
  }

  // The lines of one category's list, all sections together.
  std::vector<std::string> ListLines(size_t row) const {
    std::vector<std::string> lines;
    for (const EffectSection& section : lists.categories[row].list.sections) {
      lines.insert(lines.end(), section.lines.begin(), section.lines.end());
    }
    return lines;
  }

  TempDir dir;
  HostLists lists;
};

TEST_F(DispatchTest, HandsEveryItemToItsCategoryInOrder) {
  dir.Write("ExEffConfig.ini",
            "[P]\n"
            "TextIn= G>a ; G>b;;G>c ;\n"
            "Scene=;;;\n"
            "tone=G>x\n"
            "Style=S>n:=1;S>n:=2\n");
  const DispatchReport report = Dispatch("P");
  EXPECT_EQ(ListLines(0), (std::vector<std::string>{"+G", "a", "b", "c"}));
  EXPECT_EQ(ListLines(3), (std::vector<std::string>{"+S", "n:=2"}));
  for (size_t row : {1, 2, 4, 5, 6})
    EXPECT_TRUE(lists.categories[row].list.sections.empty()) << row;
  EXPECT_TRUE(lists.titles.lines.empty());
  // What became of each item, in the order they were handed over, untrimmed.
  std::vector<std::string> items;
  for (const DispatchReport::Item& item : report.items) {
    items.push_back(std::string(item.category->key) + ":" + item.item);
  }
  EXPECT_EQ(items, (std::vector<std::string>{"TextIn:G>a ", "TextIn: G>b", "TextIn:G>c ",
                                             "Style:S>n:=1", "Style:S>n:=2"}));
  EXPECT_EQ(report.items[4].report.merge.outcome, MergeOutcome::kLineOverwritten);
  EXPECT_EQ(report.items[4].report.merge.oldLine, "n:=1");
  EXPECT_FALSE(report.title.has_value());
}

// The installer writes a list back as soon as its category is done: by then every entry of
// the category must be merged, and nothing of a later one.
TEST_F(DispatchTest, TellsOfEachCategoryOnceItsEntriesAreMerged) {
  dir.Write("ExEffConfig.ini", "[P]\nScene=G>s\nTextIn=G>a;G>b\nDir=MovieTitle\n");
  const PackageSection section = ReadPackageSection(dir.PathOf("ExEffConfig.ini"), "P");
  std::vector<std::string> seen;
  DispatchPackageSection(section, "P", dir.Name(), lists, [&](const EffectCategory& category) {
    std::string lines;
    for (const std::string& line : ListLines(category.row)) lines += " " + line;
    seen.push_back(std::string(category.key) + ":" + lines);
    EXPECT_FALSE(lists.titlesLoad.has_value());
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"TextIn: +G a b", "TextStay:", "TextOut:", "Style:",
                                            "Adjust:", "Tone:", "Scene: +G s"}));
  EXPECT_EQ(lists.titles.lines, std::vector<std::string_view>{"P"});
}

TEST_F(DispatchTest, RegistersATitlePackageOnlyForDirMovieTitle) {
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
    lists = HostLists();
    dir.Write("ExEffConfig.ini", "[P Q]\n" + c.dirLine + "\n");
    const DispatchReport report = Dispatch("P Q");
    EXPECT_EQ(lists.titles.lines,
              c.registers ? std::vector<std::string_view>{"P Q"} : std::vector<std::string_view>{});
    EXPECT_EQ(report.title.has_value(), c.registers);
  }
}

TEST_F(DispatchTest, ATitleListThatCannotBeReadIsLeftAlone) {
  dir.Write("ExEffConfig.ini", "[P]\nDir=MovieTitle\n");
  dir.Write("MovieTitle.txt", "A\n");
  test::FileHolder holder(dir.PathOf("MovieTitle.txt"));
  EXPECT_EQ(Dispatch("P").title, TitleOutcome::kUnreadable);
  EXPECT_TRUE(lists.titles.lines.empty());
  ASSERT_TRUE(lists.titlesLoad.has_value());
  EXPECT_EQ(lists.titlesLoad->reason, "locked by another process");
}

TEST(ReadPackageSection, TellsAMissingConfigFromOneThatCannotBeRead) {
  TempDir dir;
  EXPECT_EQ(ReadPackageSection(dir.PathOf("ExEffConfig.ini"), "P").status, OpenStatus::kMissing);

  dir.Write("ExEffConfig.ini", "[P]\nTextIn=G>a\nDir=MovieTitle\n");
  test::FileHolder holder(dir.PathOf("ExEffConfig.ini"));
  const PackageSection section = ReadPackageSection(dir.PathOf("ExEffConfig.ini"), "P");
  EXPECT_EQ(section.status, OpenStatus::kFailed);
  EXPECT_EQ(section.reason, "locked by another process");
  EXPECT_TRUE(section.table.empty());
}

}  // namespace
}  // namespace fx
