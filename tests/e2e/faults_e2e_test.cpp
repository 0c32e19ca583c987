// The real binary under faults (a disk that fills up, the process killed part-way) and under
// input that no host directory should hold but that one may: nothing of the user's files is
// lost, and nothing crashes.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <thread>

#include "e2e/installer_process.h"

namespace fx {
namespace {

using Faults = InstallerProcess;

std::string Repeat(const std::string& piece, size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) text += piece;
  return text;
}

bool HasTemporaryFile(const std::filesystem::path& directory) {
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    if (entry.path().filename().string().find(".tmp") != std::string::npos) return true;
  }
  return false;
}

// A tmpfs mounted over a directory for the length of a test (needs root; skipped without).
class Tmpfs {
 public:
  explicit Tmpfs(const std::filesystem::path& where) : where_(where) {
    std::filesystem::create_directory(where_);
    mounted_ = mount("tmpfs", where_.c_str(), "tmpfs", 0, "size=64m") == 0;
  }
  ~Tmpfs() {
    if (mounted_) umount2(where_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  // Shrinks the file system to what it holds now plus room bytes.
  bool LeaveRoom(size_t room) const {
    struct statvfs fs;
    if (statvfs(where_.c_str(), &fs) != 0) return false;
    const size_t used = (fs.f_blocks - fs.f_bfree) * fs.f_frsize;
    const std::string options = "remount,size=" + std::to_string(used + room);
    return mount("tmpfs", where_.c_str(), "tmpfs", MS_REMOUNT, options.c_str() + 8) == 0;
  }

 private:
  std::filesystem::path where_;
  bool mounted_ = false;
};

TEST_F(Faults, ADiskThatFillsUpPartWayLeavesTheOldFile) {
  Tmpfs disk(dir.Path() / "disk");
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (not root?)";
  InstallIn(dir.Path() / "disk");
  const std::string bigList = "+Big\r\n" + Repeat("an effect line of some length:=1,2,3\r\n", 8000);
  dir.Write("disk/ExEffConfig.ini", "[P]\nTextIn=Big>new\nScene=S>s\n");
  dir.Write("disk/TextInEffectList.txt", bigList);
  ASSERT_TRUE(disk.LeaveRoom(bigList.size() / 2));

  const Outcome outcome = Run({"P"});
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "fxinstall: cannot write " + dir.PathOf("disk/TextInEffectList.txt") +
                             ": No space left on device\n");
  EXPECT_EQ(dir.Read("disk/TextInEffectList.txt"), bigList);
  EXPECT_EQ(dir.Read("disk/SceneList.txt"), "+S\r\ns\r\n\r\n");
  EXPECT_FALSE(HasTemporaryFile(dir.Path() / "disk"));
}

// Killed at random moments, over and over: every file is afterwards all old or all new, and
// a later run finishes the job whatever temporary files were left behind.
TEST_F(Faults, AKilledRunLeavesEveryFileWhole) {
  const char* lists[] = {"TextInEffectList.txt", "TextStayEffectList.txt", "TextOutEffectList.txt",
                         "StyleList.txt",        "AdjustList.txt",         "ToneList.txt",
                         "SceneList.txt",        "MovieTitle.txt"};
  std::map<std::string, std::string> old;
  std::string config = "[P]\nDir=MovieTitle\n";
  for (const char* key : {"TextIn", "TextStay", "TextOut", "Style", "Adjust", "Tone", "Scene"}) {
    config += std::string(key) + "=G>n:=new;G>plain;New>x\n";
  }
  for (const char* name : lists) {
    old[name] = "+G\r\n" + Repeat("n:=old\r\nsome effect:=1,2,3,4,5,6,7,8,9\r\n", 20000) + "\r\n";
  }
  old["MovieTitle.txt"] = Repeat("A title package\r\n", 50000);
  auto restore = [&] {
    for (const auto& [name, bytes] : old) dir.Write(name, bytes);
  };
  dir.Write("ExEffConfig.ini", config);

  // The result of a run that is left alone, and how long it takes.
  restore();
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(Run({"P"}).exitCode, 0);
  const auto runTime = std::chrono::steady_clock::now() - begin;
  std::map<std::string, std::string> fresh;
  for (const char* name : lists) fresh[name] = dir.Read(name).value();

  std::mt19937 random(2026);
  int mixed = 0;
  for (int round = 0; round < 40; ++round) {
    restore();
    const pid_t child = Start({"P"});
    std::this_thread::sleep_for(runTime * (random() % 1000) / 1000);
    kill(child, SIGKILL);
    Wait(child);
    int fresher = 0;
    for (const char* name : lists) {
      const std::string now = dir.Read(name).value_or("<missing>");
      ASSERT_TRUE(now == old[name] || now == fresh[name]) << name << " in round " << round;
      fresher += now == fresh[name];
    }
    mixed += fresher > 0 && fresher < 8;
  }
  RecordProperty("rounds killed during the write-back", mixed);

  // Killed runs leave temporary files beside the lists; the next run removes them.
  const Outcome finished = Run({"P"});
  EXPECT_EQ(finished.exitCode, 0);
  EXPECT_EQ(finished.err, "");
  for (const char* name : lists) EXPECT_EQ(dir.Read(name), fresh[name]) << name;
  std::vector<std::string> names = {"ExEffConfig.ini", "fxinstall", "fxinstall-record.txt"};
  names.insert(names.end(), std::begin(lists), std::end(lists));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(dir.List(), names);
}

// A removal killed at random moments: every file is afterwards as it was installed or as it
// was before, and a later removal finishes the job.
TEST_F(Faults, AKilledRemovalLeavesEveryFileWholeAndARerunFinishes) {
  const char* lists[] = {"TextInEffectList.txt", "TextStayEffectList.txt", "TextOutEffectList.txt",
                         "StyleList.txt",        "AdjustList.txt",         "ToneList.txt",
                         "SceneList.txt",        "MovieTitle.txt"};
  std::string config = "[P]\nDir=MovieTitle\n";
  for (const char* key : {"TextIn", "TextStay", "TextOut", "Style", "Adjust", "Tone", "Scene"}) {
    config += std::string(key) + "=G>n:=new;G>plain;New>x\n";
  }
  std::map<std::string, std::string> original;
  for (const char* name : lists) {
    original[name] =
        "+G\r\n" + Repeat("n:=old\r\nsome effect:=1,2,3,4,5,6,7,8,9\r\n", 20000) + "\r\n";
  }
  original["MovieTitle.txt"] = Repeat("A title package\r\n", 50000);
  dir.Write("ExEffConfig.ini", config);
  const std::string installer = program;
  const std::string remover = AddRemover();
  std::map<std::string, std::string> installed;
  auto install = [&] {
    for (const auto& [name, bytes] : original) dir.Write(name, bytes);
    std::filesystem::remove(dir.Path() / "fxinstall-record.txt");
    program = installer;
    ASSERT_EQ(Run({"P"}).exitCode, 0);
    for (const char* name : lists) installed[name] = dir.Read(name).value();
    program = remover;
  };

  install();
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(Run({"P"}).exitCode, 0);
  const auto runTime = std::chrono::steady_clock::now() - begin;
  for (const char* name : lists) ASSERT_EQ(dir.Read(name), original[name]) << name;

  std::mt19937 random(7);
  int rerunsWithWork = 0;
  for (int round = 0; round < 12; ++round) {
    install();
    const pid_t child = Start({"P"});
    std::this_thread::sleep_for(runTime * (random() % 1000) / 1000);
    kill(child, SIGKILL);
    Wait(child);
    for (const char* name : lists) {
      const std::string now = dir.Read(name).value_or("<missing>");
      ASSERT_TRUE(now == installed[name] || now == original[name]) << name << " in round " << round;
    }
    // Once the killed removal had updated the record, nothing is left for the rerun to do.
    const Outcome finished = Run({"P"});
    if (finished.exitCode == 1) {
      EXPECT_NE(finished.err.find("no record of the package P"), std::string::npos);
    } else {
      EXPECT_EQ(finished.exitCode, 0) << finished.err;
      EXPECT_EQ(finished.err, "");
      ++rerunsWithWork;
    }
    for (const char* name : lists) EXPECT_EQ(dir.Read(name), original[name]) << name;
    EXPECT_FALSE(HasTemporaryFile(dir.Path()));
  }
  RecordProperty("reruns that had work left", rerunsWithWork);
}

TEST_F(Faults, MalformedInputIsHandledWithoutACrash) {
  std::mt19937 random(99);
  std::string garbage;
  for (int i = 0; i < 200000; ++i) garbage += static_cast<char>(random() % 256);
  const std::string longLine(100 * 1024 * 1024, 'x');
  const std::string longName(10000, 'N');
  const std::string gbkBroken = "\x80\xFF\xA1 \xFE";

  struct Case {
    const char* rule;
    std::string package;
    std::map<std::string, std::string> before;
    std::map<std::string, std::string> after;  // files whose bytes are known afterwards
  } cases[] = {
      {"binary garbage and NUL bytes in every file",
       "P",
       {{"ExEffConfig.ini", garbage + "\n[P]\nTextIn=G>" + std::string("a\0b", 3) +
                                garbage.substr(0, 999) + "\nDir=MovieTitle\n" + garbage},
        {"TextInEffectList.txt", garbage},
        {"MovieTitle.txt", garbage}},
       {}},
      {"a single line of 100 MB",
       "P",
       {{"ExEffConfig.ini", "[P]\nScene=G>y\n"}, {"SceneList.txt", "+G\n" + longLine + "\n"}},
       {{"SceneList.txt", "+G\r\n" + longLine + "\r\ny\r\n\r\n"}}},
      {"a million tiny sections",
       "P",
       {{"ExEffConfig.ini", "[P]\nStyle=G>last;New>x\n"},
        {"StyleList.txt", Repeat("+S\r\nv\r\n\r\n", 1000000) + "+G\r\n"}},
       {{"StyleList.txt",
         Repeat("+S\r\nv\r\n\r\n", 1000000) + "+G\r\nlast\r\n\r\n+New\r\nx\r\n\r\n"}}},
      {"a package name of 10,000 bytes",
       longName,
       {{"ExEffConfig.ini", "[" + longName + "]\nTone=G>t\nDir=MovieTitle\n"}},
       {{"ToneList.txt", "+G\r\nt\r\n\r\n"}, {"MovieTitle.txt", longName + "\r\n"}}},
      {"bytes that are not valid in code page 936",
       gbkBroken,
       {{"ExEffConfig.ini",
         "[" + gbkBroken + "]\nAdjust=" + gbkBroken + ">" + gbkBroken + ":=\x80\n"},
        {"AdjustList.txt", "+" + gbkBroken + "\n" + gbkBroken + ":=0\n"}},
       {{"AdjustList.txt", "+" + gbkBroken + "\r\n" + gbkBroken + ":=\x80\r\n\r\n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    for (const std::string& name : dir.List()) {
      if (name != "fxinstall") std::filesystem::remove(dir.Path() / name);
    }
    for (const auto& [name, bytes] : c.before) dir.Write(name, bytes);
    const Outcome outcome = Run({c.package});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out + outcome.err, "");
    for (const auto& [name, bytes] : c.after) {
      const std::optional<std::string> now = dir.Read(name);
      ASSERT_TRUE(now.has_value()) << name;
      EXPECT_TRUE(*now == bytes) << name << " differs (" << now->size() << " bytes, expected "
                                 << bytes.size() << ")";
    }
    EXPECT_FALSE(HasTemporaryFile(dir.Path()));
  }
}

}  // namespace
}  // namespace fx
