#include "platform/text_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace fx::platform {
namespace {

using test::TempDir;

std::vector<std::string> ReadAllLines(const std::string& path) {
  TextFileReader reader;
  EXPECT_EQ(reader.ReadAll(path), OpenStatus::kRead);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.ReadLine(line)) lines.emplace_back(line);
  return lines;
}

TEST(TextFileReader, SplitsLinesByTheTextModeRules) {
  // Lines that would cross the boundaries of a reader working in blocks of 256 KiB (as the
  // writer does): a long line, and a CR that would end one block with its LF starting the
  // next. The reader takes the whole file at once, and must stay indifferent to both.
  const size_t block = 256 * 1024;
  const std::string longLine(block * 2 + 17, 'x');
  const std::string beforeBoundary(block - 1, 'y');
  struct Case {
    const char* rule;
    std::string bytes;
    std::vector<std::string> lines;
  } cases[] = {
      {"LF ends a line", "a\nb\n", {"a", "b"}},
      {"CR LF ends a line", "a\r\nb\r\n", {"a", "b"}},
      {"a last line without LF counts", "a\nb", {"a", "b"}},
      {"empty lines are lines", "\n\na\n\n", {"", "", "a", ""}},
      {"only the CR right before LF goes", "a\r\r\n", {"a\r"}},
      {"a CR elsewhere stays", "a\rb\n", {"a\rb"}},
      {"a CR at the very end stays", "a\r", {"a\r"}},
      {"NUL bytes are data",
       std::string("a\0b\n\0", 5),
       {std::string("a\0b", 3), std::string(1, '\0')}},
      {"an empty file has no line", "", {}},
      {"a line longer than a read block", longLine + "\r\nz", {longLine, "z"}},
      {"CR and LF in different blocks", beforeBoundary + "\r\nz\n", {beforeBoundary, "z"}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    dir.Write("f.txt", c.bytes);
    EXPECT_EQ(ReadAllLines(dir.PathOf("f.txt")), c.lines);
  }
}

// The reader looks for LFs 64 bytes at a time: line ends at every offset of a block and at
// its edges (a CR ending one block, its LF starting the next), lines longer than a block, and
// a last line without LF after whole blocks read as any others.
TEST(TextFileReader, FindsLineEndsAtEveryPositionOfItsSearch) {
  std::string bytes;
  std::vector<std::string> lines;
  for (size_t length = 0; length < 200; ++length) {
    lines.emplace_back(length, static_cast<char>('a' + length % 26));
    bytes += lines.back() + (length % 3 == 0 ? "\r\n" : "\n");
  }
  lines.push_back(std::string(63 - bytes.size() % 64, 'c'));
  bytes += lines.back() + "\r\n";
  lines.push_back(std::string(128, 'n'));
  bytes += lines.back();
  TempDir dir;
  dir.Write("f.txt", bytes);
  EXPECT_EQ(ReadAllLines(dir.PathOf("f.txt")), lines);
}

TEST(TextFileReader, TellsMissingFromUnreadable) {
  TempDir dir;
  TextFileReader reader;
  EXPECT_EQ(reader.ReadAll(dir.PathOf("none.txt")), OpenStatus::kMissing);
  EXPECT_EQ(reader.ReadAll(dir.PathOf("no directory/none.txt")), OpenStatus::kMissing);

  std::filesystem::create_directory(dir.Path() / "sub");
  EXPECT_EQ(reader.ReadAll(dir.PathOf("sub")), OpenStatus::kFailed);
  EXPECT_FALSE(reader.Error().empty());

  dir.Write("held.txt", "a\n");
  test::FileHolder holder(dir.PathOf("held.txt"));
  ASSERT_TRUE(holder.Holding());
  EXPECT_EQ(reader.ReadAll(dir.PathOf("held.txt")), OpenStatus::kFailed);
  EXPECT_EQ(reader.Error(), "locked by another process");
}

std::string WriteAndRead(TempDir& dir, const std::vector<std::string>& pieces) {
  TextFileWriter writer;
  EXPECT_TRUE(writer.Open(dir.PathOf("out.txt"))) << writer.Error();
  for (const std::string& piece : pieces) writer.WriteString(piece);
  EXPECT_TRUE(writer.Commit()) << writer.Error();
  return dir.Read("out.txt").value_or("<missing>");
}

TEST(TextFileWriter, WritesEveryLfAsCrLfAndNothingElseChanged) {
  const std::string big(600000, 'q');
  struct Case {
    const char* rule;
    std::vector<std::string> pieces;
    std::string bytes;
  } cases[] = {
      {"LF becomes CR LF", {"a\nb"}, "a\r\nb"},
      {"LF alone", {"\n", "\n"}, "\r\n\r\n"},
      {"a CR before LF is kept and gains another", {"a\r\n"}, "a\r\r\n"},
      {"NUL and high bytes pass through",
       {std::string("\0\xB3\xF5\n", 4)},
       std::string("\0\xB3\xF5\r\n", 5)},
      {"nothing written gives an empty file", {}, ""},
      {"more than a block", {big, "\n", big}, big + "\r\n" + big},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    EXPECT_EQ(WriteAndRead(dir, c.pieces), c.bytes);
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.txt"});
}

TEST(TextFileWriter, WriteLineEndsEachLineWithCrLf) {
  TempDir dir;
  TextFileWriter writer;
  ASSERT_TRUE(writer.Open(dir.PathOf("out.txt")));
  for (const char* line : {"a", "", "x\ny", "z\r"}) writer.WriteLine(line);
  ASSERT_TRUE(writer.Commit());
  EXPECT_EQ(dir.Read("out.txt"), "a\r\n\r\nx\r\ny\r\nz\r\r\n");
}

TEST(TextFileWriter, LeavesTheOldFileWhenNotCommitted) {
  TempDir dir;
  dir.Write("out.txt", "old\r\n");
  {
    TextFileWriter writer;
    ASSERT_TRUE(writer.Open(dir.PathOf("out.txt")));
    writer.WriteString("new\n");
  }
  EXPECT_EQ(dir.Read("out.txt"), "old\r\n");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.txt"});
}

TEST(TextFileWriter, RefusesATargetThatCannotBeWritten) {
  TempDir dir;
  dir.Write("held.txt", "held\r\n");
  dir.Write("readonly.txt", "readonly\r\n");
  std::filesystem::permissions(dir.Path() / "readonly.txt", std::filesystem::perms::owner_read |
                                                                std::filesystem::perms::group_read);
  std::filesystem::create_directory(dir.Path() / "dir.txt");
  {
    test::FileHolder holder(dir.PathOf("held.txt"));
    ASSERT_TRUE(holder.Holding());
    for (const char* name : {"held.txt", "readonly.txt", "dir.txt"}) {
      SCOPED_TRACE(name);
      TextFileWriter writer;
      EXPECT_FALSE(writer.Open(dir.PathOf(name)));
      EXPECT_FALSE(writer.Error().empty());
    }
  }
  EXPECT_EQ(dir.Read("held.txt"), "held\r\n");
  EXPECT_EQ(dir.Read("readonly.txt"), "readonly\r\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"dir.txt", "held.txt", "readonly.txt"}));
}

#ifndef _WIN32
// A write that fails part-way (here: the file size limit, as a full disk would) leaves the old
// file as it was and no temporary file behind.
TEST(TextFileWriter, AFailedWriteLeavesTheOldFileWhole) {
  TempDir dir;
  const std::string old = "old\r\ncontent\r\n";
  dir.Write("out.txt", old);

  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 100000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

  TextFileWriter writer;
  const bool opened = writer.Open(dir.PathOf("out.txt"));
  writer.WriteString(std::string(1000000, 'n'));
  const bool committed = writer.Commit();

  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previousHandler);

  EXPECT_TRUE(opened);
  EXPECT_FALSE(committed);
  EXPECT_FALSE(writer.Error().empty());
  EXPECT_EQ(dir.Read("out.txt"), old);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.txt"});
}

TEST(TextFileWriter, KeepsLinksAndPermissions) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "real");
  dir.Write("real/list.txt", "old\r\n");
  std::filesystem::permissions(dir.Path() / "real/list.txt", std::filesystem::perms(0640));
  std::filesystem::create_symlink("real/list.txt", dir.Path() / "link.txt");

  TextFileWriter writer;
  ASSERT_TRUE(writer.Open(dir.PathOf("link.txt")));
  writer.WriteString("new\n");
  ASSERT_TRUE(writer.Commit()) << writer.Error();

  EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "link.txt"));
  EXPECT_EQ(dir.Read("real/list.txt"), "new\r\n");
  EXPECT_EQ(std::filesystem::status(dir.Path() / "real/list.txt").permissions(),
            std::filesystem::perms(0640));
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"link.txt", "real"}));
}

TEST(TextFileWriter, ANewFileGetsThePermissionsOfAnyNewFile) {
  TempDir dir;
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(WriteAndRead(dir, {"new\n"}), "new\r\n");
  EXPECT_EQ(std::filesystem::status(dir.Path() / "out.txt").permissions(),
            std::filesystem::perms(0666 & ~mask));
}
#endif

}  // namespace
}  // namespace fx::platform
