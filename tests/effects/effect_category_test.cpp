#include "effects/effect_category.h"

#include <gtest/gtest.h>

#include <random>

#include "effects/merge_index.h"
#include "support/merge_oracle.h"
#include "support/temp_dir.h"

namespace fx {
namespace {

TEST(EffectCategory, TableHasTheKeysFilesAndBitsInDispatchOrder) {
  const std::vector<std::tuple<std::string, std::string, ChangeMask>> expected = {
      {"TextIn", "TextInEffectList.txt", 0x2},   {"TextStay", "TextStayEffectList.txt", 0x10},
      {"TextOut", "TextOutEffectList.txt", 0x4}, {"Style", "StyleList.txt", 0x8},
      {"Adjust", "AdjustList.txt", 0x40},        {"Tone", "ToneList.txt", 0x80},
      {"Scene", "SceneList.txt", 0x100},
  };
  ASSERT_EQ(kEffectCategories.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(kEffectCategories[i].row, i);
    EXPECT_EQ(std::string(kEffectCategories[i].key), std::get<0>(expected[i]));
    EXPECT_EQ(std::string(kEffectCategories[i].listFile), std::get<1>(expected[i]));
    EXPECT_EQ(kEffectCategories[i].changeBit, std::get<2>(expected[i]));
  }
}

TEST(ParseEffectEntry, CutsGroupNameAndLine) {
  struct Case {
    const char* entry;
    const char* group;
    const char* name;
    const char* line;
  } cases[] = {
      {"G>n:=1,2", "G", "n", "n:=1,2"},
      {" \tG \t>  plain line \r", "G", "", "plain line"},
      {"no arrow", "", "", "no arrow"},
      {">x", "", "", "x"},
      {"  >x", "", "", "x"},
      {"G>   ", "G", "", ""},
      {"G>a>b:=c", "G", "a>b", "a>b:=c"},
      {"G>n:=a:=b", "G", "n", "n:=a:=b"},
      {"G>:=x", "G", "", ":=x"},
      {"G>n :=x", "G", "n ", "n :=x"},
      {"My Group>A B", "My Group", "", "A B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const ParsedEntry parsed = ParseEffectEntry(c.entry);
    EXPECT_EQ(parsed.group, c.group);
    EXPECT_EQ(parsed.name, c.name);
    EXPECT_EQ(parsed.line, c.line);
  }
}

using test::SectionTexts;

EffectList MakeList(const SectionTexts& sections) {
  EffectList list;
  for (const auto& [name, lines] : sections) {
    EffectSection section{list.text.Add(name), {}};
    for (const std::string& line : lines) section.lines.push_back(list.text.Add(line));
    list.sections.push_back(std::move(section));
  }
  return list;
}

// Every section as "[name]" followed by its lines.
std::vector<std::string> Lines(const EffectList& list) {
  std::vector<std::string> all;
  for (const EffectSection& section : list.sections) {
    all.push_back("[" + std::string(section.name) + "]");
    all.insert(all.end(), section.lines.begin(), section.lines.end());
  }
  return all;
}

MergeOutcome Merge(EffectList& list, std::string_view entry) {
  const ParsedEntry parsed = ParseEffectEntry(entry);
  return MergeEffectEntry(list, parsed.group, parsed.name, parsed.line).outcome;
}

TEST(MergeEffectEntry, PutsEachEntryInTheFirstSectionOfItsGroup) {
  const SectionTexts start = {
      {"A", {"+A", "n:=1", "p", "n:=2", "nn:=3"}},
      {"A", {"*A", "n:=9"}},
      {"X:=old", {"+X:=old", "q"}},
  };
  const std::vector<std::string> unchanged = {"[A]", "+A", "n:=1", "p",        "n:=2",    "nn:=3",
                                              "[A]", "*A", "n:=9", "[X:=old]", "+X:=old", "q"};
  auto WithSections = [&](const std::vector<std::string>& added) {
    std::vector<std::string> lines = unchanged;
    lines.insert(lines.end(), added.begin(), added.end());
    return lines;
  };
  struct Case {
    const char* rule;
    const char* entry;
    MergeOutcome outcome;
    std::vector<std::string> lines;
  } cases[] = {
      {"a named line overwrites only the first of its name",
       "A>n:=new",
       MergeOutcome::kLineOverwritten,
       {"[A]", "+A", "n:=new", "p", "n:=2", "nn:=3", "[A]", "*A", "n:=9", "[X:=old]", "+X:=old",
        "q"}},
      {"a name is matched up to its :=",
       "A>nn:=4",
       MergeOutcome::kLineOverwritten,
       {"[A]", "+A", "n:=1", "p", "n:=2", "nn:=4", "[A]", "*A", "n:=9", "[X:=old]", "+X:=old",
        "q"}},
      {"overwriting with the same text changes nothing", "A>n:=1", MergeOutcome::kLineOverwritten,
       unchanged},
      {"a new name is appended to the first section",
       "A>m:=0",
       MergeOutcome::kLineAppended,
       {"[A]", "+A", "n:=1", "p", "n:=2", "nn:=3", "m:=0", "[A]", "*A", "n:=9", "[X:=old]",
        "+X:=old", "q"}},
      {"a present plain line is not added again", "A>p", MergeOutcome::kAlreadyPresent, unchanged},
      {"a plain line equal to the header is present", "A>+A", MergeOutcome::kAlreadyPresent,
       unchanged},
      {"the first of a name is overwritten even if a later one is equal",
       "A>n:=2",
       MergeOutcome::kLineOverwritten,
       {"[A]", "+A", "n:=2", "p", "n:=2", "nn:=3", "[A]", "*A", "n:=9", "[X:=old]", "+X:=old",
        "q"}},
      {"a name can overwrite the header line",
       "X:=old>+X:=new",
       MergeOutcome::kLineOverwritten,
       {"[A]", "+A", "n:=1", "p", "n:=2", "nn:=3", "[A]", "*A", "n:=9", "[X:=old]", "+X:=new",
        "q"}},
      {"groups differ by case", "a>p", MergeOutcome::kSectionCreated,
       WithSections({"[a]", "+a", "p"})},
      {"a new group gets a + header and the line unchecked", "New Group>+New Group",
       MergeOutcome::kSectionCreated, WithSections({"[New Group]", "+New Group", "+New Group"})},
      {"blanks before := are part of the name",
       "A>n :=x",
       MergeOutcome::kLineAppended,
       {"[A]", "+A", "n:=1", "p", "n:=2", "nn:=3", "n :=x", "[A]", "*A", "n:=9", "[X:=old]",
        "+X:=old", "q"}},
      {"no group: ignored", "p", MergeOutcome::kIgnoredNoGroup, unchanged},
      {"no line: ignored, no section made", "New> ", MergeOutcome::kIgnoredEmptyLine, unchanged},
  };
  // The same answers by scanning, from the lookup tables, and from the scanning oracle.
  for (const std::uint32_t indexAfter : {kIndexAfterMerges, 0u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.rule) + (indexAfter == 0 ? ", indexed" : ", scanning"));
      EffectList list = MakeList(start);
      list.indexAfterMerges = indexAfter;
      EXPECT_EQ(Merge(list, c.entry), c.outcome);
      EXPECT_EQ(Lines(list), c.lines);
      SectionTexts scanned = start;
      const ParsedEntry parsed = ParseEffectEntry(c.entry);
      EXPECT_EQ(test::ScanMerge(scanned, parsed.group, parsed.name, parsed.line), c.outcome);
      EXPECT_EQ(Lines(MakeList(scanned)), c.lines);
    }
  }
}

// Long random runs of entries over lines that share names and texts: a list that answers from
// its lookup tables, from the first entry or from some entry on, ends exactly like the
// scanning oracle.
TEST(MergeEffectEntry, LookupTablesGiveTheSameResultAsScanning) {
  const char* groups[] = {"A", "B", "A:=1", "a"};
  const char* names[] = {"n", "n ", "nn", "+A", "*A", "A:", "a>b"};
  std::mt19937 random(12345);
  auto pick = [&](auto& options) { return std::string(options[random() % std::size(options)]); };
  auto entry = [&] {
    const std::string group = pick(groups);
    switch (random() % 4) {
      case 0:
        return group + ">" + pick(names) + ":=" + std::to_string(random() % 3);
      case 1:
        return group + ">plain " + std::to_string(random() % 5);
      case 2:
        return group + ">+" + group;
      default:
        return group + ">" + pick(names) + "::=" + std::to_string(random() % 2);
    }
  };
  for (int round = 0; round < 50; ++round) {
    const std::uint32_t indexAfter = round % 2 == 0 ? 0 : static_cast<std::uint32_t>(random() % 20);
    const SectionTexts start = {{"A", {"+A", "n:=0", "plain 1", "n:=0", "+A:=x"}},
                                {"A:=1", {"*A:=1", "A::=0"}},
                                {"A", {"+A", "nn:=1"}}};
    SectionTexts scanned = start;
    EffectList indexed = MakeList(start);
    indexed.indexAfterMerges = indexAfter;
    for (int i = 0; i < 200; ++i) {
      const std::string e = entry();
      const ParsedEntry parsed = ParseEffectEntry(e);
      ASSERT_EQ(test::ScanMerge(scanned, parsed.group, parsed.name, parsed.line), Merge(indexed, e))
          << e;
    }
    ASSERT_EQ(Lines(MakeList(scanned)), Lines(indexed));
  }
}

TEST(MergeEffectEntry, LaterEntriesSeeWhatEarlierOnesDid) {
  EffectList list;
  for (const char* entry : {"G>n:=1", "G>n:=2", "G>p", "G>p", "G>m:=1"}) Merge(list, entry);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"[G]", "+G", "n:=2", "p", "m:=1"}));
}

TEST(AddCategoryEntry, LoadsTheListFileAtTheFirstEntry) {
  test::TempDir dir;
  CategoryList style;
  const std::string path = dir.PathOf("StyleList.txt");

  // The first entry loads the file even though the merge ignores it.
  dir.Write("StyleList.txt", "+S\ns1\n");
  EXPECT_EQ(AddCategoryEntry(style, path, "no arrow").merge.outcome, MergeOutcome::kIgnoredNoGroup);
  EXPECT_EQ(Lines(style.list), (std::vector<std::string>{"[S]", "+S", "s1"}));

  // Once loaded, the list is not read again.
  dir.Write("StyleList.txt", "+Changed\n");
  const EntryReport report = AddCategoryEntry(style, path, "S>s2");
  EXPECT_EQ(report.merge.outcome, MergeOutcome::kLineAppended);
  EXPECT_EQ(report.merge.line, 2u);
  EXPECT_EQ(report.entry.group, "S");
  EXPECT_EQ(Lines(style.list), (std::vector<std::string>{"[S]", "+S", "s1", "s2"}));
  EXPECT_FALSE(style.Unreadable());
}

TEST(AddCategoryEntry, DropsEntriesForAListFileThatCannotBeRead) {
  test::TempDir dir;
  dir.Write("ToneList.txt", "+T\n");
  test::FileHolder holder(dir.PathOf("ToneList.txt"));
  CategoryList tone;

  for (const char* entry : {"T>t1", "U>u1"}) {
    EXPECT_EQ(AddCategoryEntry(tone, dir.PathOf("ToneList.txt"), entry).merge.outcome,
              MergeOutcome::kListUnreadable);
  }
  EXPECT_TRUE(tone.list.sections.empty());
  ASSERT_TRUE(tone.Unreadable());
  EXPECT_EQ(tone.load->reason, "locked by another process");
}

}  // namespace
}  // namespace fx
