#include "app/install.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/directory_lock.h"
#include "support/in_process.h"
#include "support/temp_dir.h"

namespace fx {
namespace {

using Files = std::map<std::string, std::optional<std::string>>;  // nullopt: no such file

// Runs whole installations in-process on a temporary app directory, with the host editor
// replaced by a recorder of the masks it would receive, which answers with hostOutcome.
class InstallTest : public ::testing::Test {
 protected:
  // Runs the installer with args after its own name.
  int Run(std::vector<std::string> args) {
    return test::RunProgram(InstallEffects, std::move(args), environment);
  }

  int Install(const std::string& package) { return Run({package}); }

  void Given(const Files& files) {
    for (const auto& [name, bytes] : files) {
      if (bytes) dir.Write(name, *bytes);
    }
  }

  void ExpectFiles(const Files& files) {
    for (const auto& [name, bytes] : files) EXPECT_EQ(dir.Read(name), bytes) << name;
  }

  test::TempDir dir;
  std::vector<ChangeMask> masks;
  platform::SendOutcome hostOutcome{platform::Delivery::kDelivered};
  std::ostringstream out;
  std::ostringstream err;
  InstallEnvironment environment = test::InProcessEnvironment(dir, masks, hostOutcome, out, err);
};

TEST_F(InstallTest, WritesBackEveryListThatHoldsASection) {
  struct Case {
    const char* rule;
    Files before;
    Files after;
    std::vector<ChangeMask> masks;
  } cases[] = {
      {"TextIn and Scene, one new file and one merged",
       {{"ExEffConfig.ini", "[P]\nScene=S>s:=2\nTextIn=T>t1;T>t2\n"},
        {"SceneList.txt", "+S\ns:=1\nx\n"}},
       {{"TextInEffectList.txt", "+T\r\nt1\r\nt2\r\n\r\n"},
        {"SceneList.txt", "+S\r\ns:=2\r\nx\r\n\r\n"}},
       {0x102}},
      {"a category without entries is neither read nor written",
       {{"ExEffConfig.ini", "[P]\nTone=;;\nStyle=\nTextStay=G>a\n"},
        {"ToneList.txt", "+T\nodd   \n"},
        {"StyleList.txt", "+S\n"}},
       {{"ToneList.txt", "+T\nodd   \n"},
        {"StyleList.txt", "+S\n"},
        {"TextStayEffectList.txt", "+G\r\na\r\n\r\n"}},
       {0x10}},
      {"a missing list whose entries are all rejected is not created",
       {{"ExEffConfig.ini", "[P]\nAdjust=no arrow;G> ;>x\n"}},
       {{"AdjustList.txt", std::nullopt}},
       {}},
      {"a list that held sections is rewritten and flagged though nothing changed",
       {{"ExEffConfig.ini", "[P]\nAdjust=A>a;no arrow\nTextOut=G>g:=1\n"},
        {"AdjustList.txt", "  +A\na\n\n\n"},
        {"TextOutEffectList.txt", "+G\r\ng:=1\r\n\r\n"}},
       {{"AdjustList.txt", "+A\r\na\r\n\r\n"}, {"TextOutEffectList.txt", "+G\r\ng:=1\r\n\r\n"}},
       {0x44}},
      {"no section for the package",
       {{"ExEffConfig.ini", "[Q]\nTextIn=G>a\n"}},
       {{"TextInEffectList.txt", std::nullopt}},
       {}},
      {"no config file", {}, {{"TextInEffectList.txt", std::nullopt}}, {}},
      {"every category and the title list",
       {{"ExEffConfig.ini",
         "[P]\nTextIn=G>a\nTextStay=G>a\nTextOut=G>a\nStyle=G>a\nAdjust=G>a\nTone=G>a\n"
         "Scene=G>a\nDir=MovieTitle\n"}},
       {{"StyleList.txt", "+G\r\na\r\n\r\n"}, {"MovieTitle.txt", "P\r\n"}},
       {0x1FE}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    for (const std::string& name : dir.List()) std::filesystem::remove(dir.Path() / name);
    masks.clear();
    Given(c.before);
    EXPECT_EQ(Install("P"), kExitDone);
    ExpectFiles(c.after);
    EXPECT_EQ(masks, c.masks);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "");
  }
}

TEST_F(InstallTest, TakesOnlyTheFirstArgumentExactlyAsGiven) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>p\n[ P ]\nTextIn=G>spaced\n"}});
  EXPECT_EQ(Run({" P ", "P", "more"}), kExitDone);
  ExpectFiles({{"TextInEffectList.txt", "+G\r\nspaced\r\n\r\n"}});
  EXPECT_EQ(masks, std::vector<ChangeMask>{0x2});
}

TEST_F(InstallTest, DoesNothingWithoutAPackageName) {
  Given({{"ExEffConfig.ini", "[]\nTextIn=G>a\n"}});
  bool askedForPath = false;
  environment.executablePath = [&](std::string&, std::string&) { return askedForPath = true; };
  EXPECT_EQ(Run({}), kExitDone);
  EXPECT_EQ(Run({""}), kExitDone);
  EXPECT_FALSE(askedForPath);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"ExEffConfig.ini"});
  EXPECT_TRUE(masks.empty());
  EXPECT_EQ(out.str() + err.str(), "");
}

TEST_F(InstallTest, AFailedStartUpPrintsItsMessageOnly) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\n"}});
  environment.startUp = [] { return false; };
  EXPECT_EQ(Install("P"), kExitStartUpFailed);
  EXPECT_EQ(out.str(),
            "\xD6\xC2\xC3\xFC\xB4\xED\xCE\xF3\x3A\x20\x4D\x46\x43\x20\xB3\xF5"
            "\xCA\xBC\xBB\xAF\xCA\xA7\xB0\xDC\x0A");
  EXPECT_EQ(out.str().size(), 25u);
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"ExEffConfig.ini"});
  EXPECT_TRUE(masks.empty());
}

TEST_F(InstallTest, AListThatCannotBeReadIsLeftAloneAndReported) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\nTone=G>a\n"}, {"ToneList.txt", "+Old\n"}});
  {
    test::FileHolder holder(dir.PathOf("ToneList.txt"));
    EXPECT_EQ(Install("P"), kExitPartlyFailed);
  }
  ExpectFiles({{"ToneList.txt", "+Old\n"}, {"TextInEffectList.txt", "+G\r\na\r\n\r\n"}});
  EXPECT_EQ(masks, std::vector<ChangeMask>{0x2});
  EXPECT_EQ(err.str(), "fxinstall: cannot read " + dir.PathOf("ToneList.txt") +
                           ": locked by another process; it is left unchanged\n");
  EXPECT_EQ(out.str(), "");
}

TEST_F(InstallTest, AListThatCannotBeWrittenKeepsItsBitAndTheOthersAreWritten) {
  Given({{"ExEffConfig.ini", "[P]\nScene=G>a\nTextIn=G>a\nTone=G>a\n"},
         {"TextInEffectList.txt", "+T\n"},
         {"SceneList.txt", "+S\n"}});
  for (const char* name : {"TextInEffectList.txt", "SceneList.txt"}) {
    std::filesystem::permissions(dir.Path() / name, std::filesystem::perms::owner_read);
  }
  EXPECT_EQ(Install("P"), kExitPartlyFailed);
  ExpectFiles({{"TextInEffectList.txt", "+T\n"},
               {"SceneList.txt", "+S\n"},
               {"ToneList.txt", "+G\r\na\r\n\r\n"}});
  EXPECT_EQ(masks, std::vector<ChangeMask>{0x182});
  // One line per file, in the order of writing.
  EXPECT_EQ(err.str(), "fxinstall: cannot write " + dir.PathOf("TextInEffectList.txt") +
                           ": the file is read-only\n"
                           "fxinstall: cannot write " +
                           dir.PathOf("SceneList.txt") + ": the file is read-only\n");
}

// The lists are replaced one after the other in table order; a failure at one does not stop
// the later ones, nor undo the earlier ones.
TEST_F(InstallTest, AFailureAtTheSecondListLeavesTheFirstReplacedAndTheLaterOnesWritten) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\nTextStay=G>a\nScene=G>a\n"},
         {"TextInEffectList.txt", "+T\n"},
         {"TextStayEffectList.txt", "+S\n"}});
  std::filesystem::permissions(dir.Path() / "TextStayEffectList.txt",
                               std::filesystem::perms::owner_read);
  EXPECT_EQ(Install("P"), kExitPartlyFailed);
  ExpectFiles({{"TextInEffectList.txt", "+T\r\n\r\n+G\r\na\r\n\r\n"},
               {"TextStayEffectList.txt", "+S\n"},
               {"SceneList.txt", "+G\r\na\r\n\r\n"}});
  EXPECT_EQ(masks, std::vector<ChangeMask>{0x112});
  EXPECT_EQ(err.str(), "fxinstall: cannot write " + dir.PathOf("TextStayEffectList.txt") +
                           ": the file is read-only\n");
}

// TextIn is written before Tone is read; the lines still come as they always did: the lists
// that could not be read first, then those that could not be written.
TEST_F(InstallTest, ListsThatCannotBeReadAreReportedBeforeThoseThatCannotBeWritten) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\nTone=G>a\nScene=G>a\n"},
         {"TextInEffectList.txt", "+T\n"},
         {"ToneList.txt", "+Old\n"}});
  std::filesystem::permissions(dir.Path() / "TextInEffectList.txt",
                               std::filesystem::perms::owner_read);
  {
    test::FileHolder holder(dir.PathOf("ToneList.txt"));
    EXPECT_EQ(Install("P"), kExitPartlyFailed);
  }
  ExpectFiles({{"TextInEffectList.txt", "+T\n"},
               {"ToneList.txt", "+Old\n"},
               {"SceneList.txt", "+G\r\na\r\n\r\n"}});
  EXPECT_EQ(masks, std::vector<ChangeMask>{0x102});
  EXPECT_EQ(err.str(), "fxinstall: cannot read " + dir.PathOf("ToneList.txt") +
                           ": locked by another process; it is left unchanged\n"
                           "fxinstall: cannot write " +
                           dir.PathOf("TextInEffectList.txt") + ": the file is read-only\n");
}

// Another installation in the same directory holds the lock from another thread here, as
// another process would.
class HeldLock {
 public:
  HeldLock(const std::string& directory, std::chrono::milliseconds holdFor) {
    std::promise<void> taken;
    std::future<void> ready = taken.get_future();
    holder_ = std::thread([directory, holdFor, &taken] {
      platform::DirectoryLock lock;
      std::string reason;
      lock.Acquire(directory, std::chrono::milliseconds(0), reason);
      taken.set_value();
      std::this_thread::sleep_for(holdFor);
    });
    ready.wait();
  }
  ~HeldLock() { holder_.join(); }

 private:
  std::thread holder_;
};

TEST_F(InstallTest, ARunWaitsForAnotherInTheSameDirectory) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\n"}});
  {
    HeldLock other(dir.Name(), std::chrono::milliseconds(300));
    environment.lockTimeout = std::chrono::milliseconds(100);
    EXPECT_EQ(Install("P"), kExitPartlyFailed);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"ExEffConfig.ini"});
    EXPECT_TRUE(masks.empty());
    EXPECT_EQ(err.str(), "fxinstall: another installation in " + dir.Name() +
                             " did not finish within 1 s; nothing was installed: run the setup "
                             "again once it has finished\n");
  }
  err.str("");
  HeldLock other(dir.Name(), std::chrono::milliseconds(200));
  environment.lockTimeout = std::chrono::seconds(10);
  EXPECT_EQ(Install("P"), kExitDone);
  ExpectFiles({{"TextInEffectList.txt", "+G\r\na\r\n\r\n"}});
  EXPECT_EQ(err.str(), "");
}

TEST_F(InstallTest, AConfigThatCannotBeReadInstallsNothing) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\n"}});
  {
    test::FileHolder holder(dir.PathOf("ExEffConfig.ini"));
    EXPECT_EQ(Install("P"), kExitPartlyFailed);
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{"ExEffConfig.ini"});
  EXPECT_TRUE(masks.empty());
  EXPECT_EQ(err.str(), "fxinstall: cannot read " + dir.PathOf("ExEffConfig.ini") +
                           ": locked by another process; nothing was installed\n");
}

TEST_F(InstallTest, NoExecutablePathTouchesNothing) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\n"}});
  environment.executablePath = [](std::string&, std::string& reason) {
    reason = "no path";
    return false;
  };
  EXPECT_EQ(Install("P"), kExitPartlyFailed);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"ExEffConfig.ini"});
  EXPECT_EQ(err.str(),
            "fxinstall: cannot find the program's own directory: no path; nothing was "
            "installed\n");
}

TEST_F(InstallTest, ARunningHostEditorThatWasNotToldIsReported) {
  using platform::Delivery;
  const std::string editor = "fxinstall: the host editor (window \"Vaskel\") ";
  const std::string advice = "; restart the editor to see the new effects\n";
  struct Case {
    platform::SendOutcome outcome;
    int exitCode;
    std::string err;
  } cases[] = {
      {{Delivery::kDelivered}, kExitDone, ""},
      {{Delivery::kNoWindow}, kExitDone, ""},
      {{Delivery::kTimedOut},
       kExitPartlyFailed,
       editor + "did not answer in time and was not told which lists changed" + advice},
      {{Delivery::kWindowClosed},
       kExitPartlyFailed,
       editor + "closed before it was told which lists changed" + advice},
      {{Delivery::kRefused, 5},
       kExitPartlyFailed,
       editor + "could not be told which lists changed (Windows error 5)" + advice},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    for (const std::string& name : dir.List()) std::filesystem::remove(dir.Path() / name);
    masks.clear();
    err.str("");
    hostOutcome = c.outcome;
    Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\n"}});
    EXPECT_EQ(Install("P"), c.exitCode);
    // The lists are complete before the host is told, whatever becomes of the message.
    ExpectFiles({{"TextInEffectList.txt", "+G\r\na\r\n\r\n"}});
    EXPECT_EQ(masks, std::vector<ChangeMask>{0x2});
    EXPECT_EQ(err.str(), c.err);
    EXPECT_EQ(out.str(), "");
  }
}

TEST_F(InstallTest, AHostEditorNotToldIsReportedAfterTheFilesProblems) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\nTone=G>a\n"}, {"ToneList.txt", "+Old\n"}});
  hostOutcome = {platform::Delivery::kTimedOut};
  {
    test::FileHolder holder(dir.PathOf("ToneList.txt"));
    EXPECT_EQ(Install("P"), kExitPartlyFailed);
  }
  EXPECT_EQ(masks, std::vector<ChangeMask>{0x2});
  EXPECT_EQ(err.str(), "fxinstall: cannot read " + dir.PathOf("ToneList.txt") +
                           ": locked by another process; it is left unchanged\n"
                           "fxinstall: the host editor (window \"Vaskel\") did not answer in "
                           "time and was not told which lists changed; restart the editor to see "
                           "the new effects\n");
}

TEST_F(InstallTest, AnUnexpectedErrorEndsTheRunWithOneLine) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\n"}});
  environment.notifyHost = [](ChangeMask) -> platform::SendOutcome { throw std::bad_alloc(); };
  EXPECT_EQ(Install("P"), kExitPartlyFailed);
  ExpectFiles({{"TextInEffectList.txt", "+G\r\na\r\n\r\n"}});
  EXPECT_EQ(err.str(), "fxinstall: stopped by an unexpected error: std::bad_alloc\n");
}

TEST_F(InstallTest, TheAppDirectoryIsTheExecutablesTrimmedDirectory) {
  std::filesystem::create_directory(dir.Path() / "app");
  dir.Write("app/ExEffConfig.ini", "[P]\nTextIn=G>a\n");
  environment.executablePath = [this](std::string& path, std::string&) {
    path = "  " + dir.PathOf("app") + " \t" + platform::kPathSeparator + "fxinstall";
    return true;
  };
  EXPECT_EQ(Install("P"), kExitDone);
  EXPECT_EQ(dir.Read("app/TextInEffectList.txt"), "+G\r\na\r\n\r\n");
}

}  // namespace
}  // namespace fx
