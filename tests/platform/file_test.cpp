#include "platform/file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
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

// A begun replacement of the file at path with text, ready for a queue.
std::unique_ptr<FileReplacement> Replacement(const std::string& path, const std::string& text) {
  auto replacement = std::make_unique<FileReplacement>();
  std::string reason;
  EXPECT_TRUE(replacement->Begin(path, reason)) << reason;
  EXPECT_TRUE(replacement->Write(text.data(), text.size(), reason)) << reason;
  return replacement;
}

TEST(ReplacementQueue, PutsEveryFileInPlaceAtCommitAndNotBefore) {
  TempDir dir;
  dir.Write("a.txt", "old a");
  ReplacementQueue queue;
  queue.Add(Replacement(dir.PathOf("a.txt"), "new a"));
  queue.Add(Replacement(dir.PathOf("b.txt"), "new b"));
  // Until then each target is as it was, and locked.
  EXPECT_EQ(dir.Read("a.txt"), "old a");
  EXPECT_EQ(dir.Read("b.txt"), std::nullopt);
  TextFileReader reader;
  EXPECT_EQ(reader.ReadAll(dir.PathOf("a.txt")), OpenStatus::kFailed);

  const std::vector<ReplacementQueue::Outcome> outcomes = queue.Commit();
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_TRUE(outcomes[0].ok) << outcomes[0].reason;
  EXPECT_TRUE(outcomes[1].ok) << outcomes[1].reason;
  EXPECT_EQ(dir.Read("a.txt"), "new a");
  EXPECT_EQ(dir.Read("b.txt"), "new b");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(reader.ReadAll(dir.PathOf("a.txt")), OpenStatus::kRead);
  EXPECT_TRUE(queue.Commit().empty());
}

TEST(ReplacementQueue, AQueueLeftUncommittedLeavesEveryFileAsItWas) {
  TempDir dir;
  dir.Write("a.txt", "old a");
  {
    ReplacementQueue queue;
    queue.Add(Replacement(dir.PathOf("a.txt"), "new a"));
    queue.Add(Replacement(dir.PathOf("b.txt"), "new b"));
  }
  EXPECT_EQ(dir.Read("a.txt"), "old a");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"a.txt"});
}

// Its text waits in memory until it is written, so it is not held back to the end; the files
// queued before it are replaced first, those after it at Commit().
TEST(ReplacementQueue, AFileWrittenInPlaceGoesInPlaceWhenQueued) {
  TempDir dir;
  dir.Write("a.txt", "old a");
  dir.Write("linked.txt", "old linked");
  dir.Write("c.txt", "old c");
  std::filesystem::create_hard_link(dir.Path() / "linked.txt", dir.Path() / "second.txt");
  ReplacementQueue queue;
  queue.Add(Replacement(dir.PathOf("a.txt"), "new a"));
  auto inPlace = Replacement(dir.PathOf("linked.txt"), "new linked");
  ASSERT_TRUE(inPlace->InPlace());
  queue.Add(std::move(inPlace));
  EXPECT_EQ(dir.Read("a.txt"), "new a");
  EXPECT_EQ(dir.Read("second.txt"), "new linked");
  queue.Add(Replacement(dir.PathOf("c.txt"), "new c"));
  EXPECT_EQ(dir.Read("c.txt"), "old c");

  const std::vector<ReplacementQueue::Outcome> outcomes = queue.Commit();
  ASSERT_EQ(outcomes.size(), 3u);
  for (const ReplacementQueue::Outcome& outcome : outcomes) EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(dir.Read("c.txt"), "new c");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.txt", "c.txt", "linked.txt", "second.txt"}));
}

#ifndef _WIN32
// The temporary file of the second replacement vanishes before Commit() (Windows would not let
// it go while it is open): that one file stays as it was, and the others are replaced.
TEST(ReplacementQueue, AFileThatCannotBePutInPlaceStopsNoOther) {
  TempDir dir;
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) dir.Write(name, "old");
  ReplacementQueue queue;
  queue.Add(Replacement(dir.PathOf("a.txt"), "new"));
  queue.Add(Replacement(dir.PathOf("b.txt"), "new"));
  for (const std::string& name : dir.List()) {
    if (name.starts_with("b.txt.~fx")) std::filesystem::remove(dir.Path() / name);
  }
  queue.Add(Replacement(dir.PathOf("c.txt"), "new"));

  const std::vector<ReplacementQueue::Outcome> outcomes = queue.Commit();
  ASSERT_EQ(outcomes.size(), 3u);
  EXPECT_TRUE(outcomes[0].ok);
  EXPECT_FALSE(outcomes[1].ok);
  EXPECT_EQ(outcomes[1].reason, "No such file or directory");
  EXPECT_TRUE(outcomes[2].ok);
  EXPECT_EQ(dir.Read("a.txt"), "new");
  EXPECT_EQ(dir.Read("b.txt"), "old");
  EXPECT_EQ(dir.Read("c.txt"), "new");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}
#endif

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
