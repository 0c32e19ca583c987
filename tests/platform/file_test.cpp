#include "platform/file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "platform/stray_files.h"
#include "platform/text_file.h"
#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fx::platform {
namespace {

using test::TempDir;

bool Replace(FileReplacement& replacement, const std::string& text) {
  std::string reason;
  return replacement.Write(text.data(), text.size(), reason) && replacement.Commit(reason);
}

TEST(FileReplacement, HoldsTheOldFileUntilTheNewTextIsInPlace) {
  TempDir dir;
  dir.Write("list.txt", "old");
#ifdef _WIN32
  // Windows' ReplaceFileA keeps the attributes by itself; Wine's does not, and the replacement
  // puts them back.
  ASSERT_TRUE(SetFileAttributesA(dir.PathOf("list.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
#endif
  FileReplacement replacement;
  std::string reason;
  ASSERT_TRUE(replacement.Begin(dir.PathOf("list.txt"), reason)) << reason;
  EXPECT_FALSE(replacement.InPlace());
  EXPECT_FALSE(test::FileHolder(dir.PathOf("list.txt")).Holding());
  TextFileReader reader;
  EXPECT_EQ(reader.ReadAll(dir.PathOf("list.txt")), OpenStatus::kFailed);
  EXPECT_EQ(reader.Error(), "locked by another process");

  ASSERT_TRUE(Replace(replacement, "new")) << reason;
  EXPECT_TRUE(test::FileHolder(dir.PathOf("list.txt")).Holding());
  EXPECT_EQ(dir.Read("list.txt"), "new");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"list.txt"});
#ifdef _WIN32
  EXPECT_EQ(GetFileAttributesA(dir.PathOf("list.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN,
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
#endif
}

// Replacing one name of a file with two would split it from the other: it is written in place.
TEST(FileReplacement, WritesAFileWithASecondHardLinkInPlace) {
  TempDir dir;
  dir.Write("list.txt", "old text that is longer than the new one");
  std::filesystem::create_hard_link(dir.Path() / "list.txt", dir.Path() / "second.txt");
  FileReplacement replacement;
  std::string reason;
  ASSERT_TRUE(replacement.Begin(dir.PathOf("list.txt"), reason)) << reason;
  EXPECT_TRUE(replacement.InPlace());
  EXPECT_FALSE(test::FileHolder(dir.PathOf("second.txt")).Holding());
  ASSERT_TRUE(Replace(replacement, "new")) << reason;
  EXPECT_EQ(dir.Read("list.txt"), "new");
  EXPECT_EQ(dir.Read("second.txt"), "new");
#ifndef _WIN32
  // (mingw's std::filesystem always counts one link; the bytes above show the same there.)
  EXPECT_EQ(std::filesystem::hard_link_count(dir.Path() / "list.txt"), 2u);
#endif
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"list.txt", "second.txt"}));
}

TEST(StrayFiles, CleanUpRemovesWhatKilledRunsLeftAndRecoversAMissingFile) {
  using Files = std::map<std::string, std::string>;
  struct Case {
    const char* rule;
    Files before;
    Files after;
  } cases[] = {
      {"leftovers beside an existing file go",
       {{"A.txt", "a"}, {"A.txt.~fx12-0.tmp", "half"}, {"A.txt.~fx12-1.old", "older"}},
       {{"A.txt", "a"}}},
      {"a missing file comes back from the new text of a replacement that had begun",
       {{"A.txt.~fx7-0.tmp", "new"}, {"A.txt.~fx7-0.old", "old"}},
       {{"A.txt", "new"}}},
      {"a missing file comes back from its backup alone",
       {{"A.txt.~fx7-0.old", "old"}},
       {{"A.txt", "old"}}},
      {"a temporary file without its file was creating it and may be incomplete",
       {{"A.txt.~fx7-0.tmp", "ne"}},
       {}},
      {"names of other patterns and of other files stay",
       {{"A.txt", "a"},
        {"A.txt.~fx7.tmp", "1"},
        {"A.txt.~fxP-0.tmp", "2"},
        {"A.txt.tmp", "3"},
        {"B.txt.~fx7-0.tmp", "4"},
        {"A.txt.~fx7-0.tmp.bak", "5"}},
       {{"A.txt", "a"},
        {"A.txt.~fx7.tmp", "1"},
        {"A.txt.~fxP-0.tmp", "2"},
        {"A.txt.tmp", "3"},
        {"B.txt.~fx7-0.tmp", "4"},
        {"A.txt.~fx7-0.tmp.bak", "5"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    TempDir dir;
    for (const auto& [name, bytes] : c.before) dir.Write(name, bytes);
    CleanUpInterruptedReplacements({dir.PathOf("A.txt"), dir.PathOf("C.txt")});
    Files after;
    for (const std::string& name : dir.List()) after[name] = dir.Read(name).value();
    EXPECT_EQ(after, c.after);
  }
}

TEST(StrayFiles, TheFilesOfAReplacementUnderWayStay) {
  TempDir dir;
  dir.Write("A.txt", "old");
  FileReplacement replacement;
  std::string reason;
  ASSERT_TRUE(replacement.Begin(dir.PathOf("A.txt"), reason)) << reason;
  const std::vector<std::string> during = dir.List();
  ASSERT_EQ(during.size(), 2u);
  CleanUpInterruptedReplacements({dir.PathOf("A.txt")});
  EXPECT_EQ(dir.List(), during);
  ASSERT_TRUE(Replace(replacement, "new")) << reason;
  EXPECT_EQ(dir.List(), std::vector<std::string>{"A.txt"});
}

}  // namespace
}  // namespace fx::platform
