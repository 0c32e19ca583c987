// The real fxinstall binary, copied into a temporary app directory and run as a process.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/installer_process.h"

namespace fx {
namespace {

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
                                                  "fxinstall", "fxinstall-record.txt"}));
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
  EXPECT_EQ(dir.List(),
            (std::vector<std::string>{"ExEffConfig.ini", "SceneList.txt", "TextInEffectList.txt",
                                      "fxinstall", "fxinstall-record.txt"}));
}

}  // namespace
}  // namespace fx
