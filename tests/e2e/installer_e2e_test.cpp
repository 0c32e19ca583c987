// The real fxinstall binary, copied into a temporary app directory and run as a process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace fx {
namespace {

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class InstallerProcess : public ::testing::Test {
 protected:
  InstallerProcess() {
    std::filesystem::copy_file(FXINSTALL_PATH, dir.Path() / "fxinstall");
    std::filesystem::create_directory(io.Path() / "x");
  }

  // Runs the installer with args; fileSizeLimit > 0 limits the size of any file it writes.
  Outcome Run(const std::vector<std::string>& args, rlim_t fileSizeLimit = 0) {
    const std::string outPath = io.PathOf("out");
    const std::string errPath = io.PathOf("err");
    const pid_t child = fork();
    if (child == 0) {
      if (!freopen(outPath.c_str(), "w", stdout) || !freopen(errPath.c_str(), "w", stderr)) _exit(99);
      if (fileSizeLimit > 0) {
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      std::vector<char*> argv;
      const std::string program = dir.PathOf("fxinstall");
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(98);
    }
    int status = 0;
    waitpid(child, &status, 0);
    Outcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = io.Read("out").value_or("");
    outcome.err = io.Read("err").value_or("");
    return outcome;
  }

  test::TempDir dir;  // the app directory
  test::TempDir io;   // the installer's standard output and error
};

TEST_F(InstallerProcess, InstallsAPackageAndTouchesNothingElse) {
  dir.Write("ExEffConfig.ini",
            "# effects of the autumn pack\r\n[Autumn]\r\nTextIn=Fade>fade:=1,2;Fade>plain\r\n"
            "Dir=MovieTitle\r\n[Other]\r\nStyle=S>s\r\n");
  dir.Write("TextInEffectList.txt", "+Fade\r\nfade:=0\r\n\r\n+Zoom\r\nzoom:=1\r\n\r\n");
  dir.Write("StyleList.txt", "+S\nodd  \n");
  const auto styleTime = std::filesystem::last_write_time(dir.Path() / "StyleList.txt");

  const Outcome outcome = Run({"Autumn", "ignored"});
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(dir.Read("TextInEffectList.txt"),
            "+Fade\r\nfade:=1,2\r\nplain\r\n\r\n+Zoom\r\nzoom:=1\r\n\r\n");
  EXPECT_EQ(dir.Read("MovieTitle.txt"), "Autumn\r\n");
  EXPECT_EQ(dir.Read("StyleList.txt"), "+S\nodd  \n");
  EXPECT_EQ(std::filesystem::last_write_time(dir.Path() / "StyleList.txt"), styleTime);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"ExEffConfig.ini", "MovieTitle.txt",
                                                  "StyleList.txt", "TextInEffectList.txt",
                                                  "fxinstall"}));
}

TEST_F(InstallerProcess, NothingToDoIsSilentSuccess) {
  dir.Write("ExEffConfig.ini", "[P]\nTextIn=G>a\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {""}, {"Missing"}, {"p"}}) {
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out + outcome.err, "");
  }
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"ExEffConfig.ini", "fxinstall"}));
}

TEST_F(InstallerProcess, AListLockedByAnotherProcessIsLeftAlone) {
  dir.Write("ExEffConfig.ini", "[P]\nTextIn=G>a\nDir=MovieTitle\n");
  dir.Write("MovieTitle.txt", "A\n");
  test::FileHolder holder(dir.PathOf("MovieTitle.txt"));
  const Outcome outcome = Run({"P"});
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "fxinstall: cannot read " + dir.PathOf("MovieTitle.txt") +
                             ": locked by another process; it is left unchanged\n");
  EXPECT_EQ(dir.Read("MovieTitle.txt"), "A\n");
  EXPECT_EQ(dir.Read("TextInEffectList.txt"), "+G\r\na\r\n\r\n");
}

// A write that runs out of room part-way (the file size limit standing in for a full disk)
// leaves that file as it was and no temporary file; the other lists are written.
TEST_F(InstallerProcess, AWriteThatFailsPartWayLeavesTheOldFile) {
  std::string bigList = "+Big\r\n";
  while (bigList.size() < 200000) bigList += "an effect line of some length:=1,2,3\r\n";
  dir.Write("ExEffConfig.ini", "[P]\nTextIn=Big>new\nScene=S>s\n");
  dir.Write("TextInEffectList.txt", bigList);

  const Outcome outcome = Run({"P"}, 100000);
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err.rfind("fxinstall: cannot write " + dir.PathOf("TextInEffectList.txt") +
                                  ": File too large\n",
                              0),
            0u)
      << outcome.err;
  EXPECT_EQ(dir.Read("TextInEffectList.txt"), bigList);
  EXPECT_EQ(dir.Read("SceneList.txt"), "+S\r\ns\r\n\r\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"ExEffConfig.ini", "SceneList.txt",
                                                  "TextInEffectList.txt", "fxinstall"}));
}

}  // namespace
}  // namespace fx
