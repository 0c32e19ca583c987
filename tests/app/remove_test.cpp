#include "app/remove.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "check/check.h"
#include "support/in_process.h"
#include "support/temp_dir.h"

namespace fx {
namespace {

using Files = std::map<std::string, std::string>;

// Two packages that share lines: P1 overwrites a host line, appends one, creates a section,
// finds "Sunrise" present and appends "Dusk"; P2 shares "Shine" and "Dusk" with P1 and
// overwrites P1's "NewOne".
constexpr char kPackages[] =
    "\r\n[P1]\r\n"
    "TextIn=Fade>FadeLeaves:=0,99,9;Fade>NewOne:=1;Glow>Shine\r\n"
    "Scene=Nature>Sunrise;Nature>Dusk\r\n"
    "Dir=MovieTitle\r\n"
    "\r\n[P2]\r\n"
    "TextIn=Glow>Shine;Fade>NewOne:=2\r\n"
    "Scene=Nature>Dusk\r\n";

// Whole installations and removals in-process, in a copy of the example host directory.
class RemoveTest : public ::testing::Test {
 protected:
  RemoveTest() {
    for (const auto& entry : std::filesystem::directory_iterator(FX_EXAMPLE_HOST)) {
      std::filesystem::copy_file(entry.path(), dir.Path() / entry.path().filename());
    }
    dir.Write("ExEffConfig.ini", dir.Read("ExEffConfig.ini").value() + kPackages);
    original = Lists();
  }

  int Run(int (*program)(int, char**, const InstallEnvironment&), std::vector<std::string> args) {
    err.str("");
    return test::RunProgram(program, std::move(args), environment);
  }
  int Install(const std::string& package) { return Run(InstallEffects, {package}); }
  int Remove(std::vector<std::string> args) { return Run(RemoveEffects, std::move(args)); }

  // Every file of the directory but the config and the record.
  Files Lists() const {
    Files files;
    for (const std::string& name : dir.List()) {
      if (name != "ExEffConfig.ini" && name != "fxinstall-record.txt") {
        files[name] = dir.Read(name).value();
      }
    }
    return files;
  }

  std::string Lines(const std::string& file) const {
    std::string text = dir.Read(file).value_or("");
    std::erase(text, '\r');
    return text;
  }

  test::TempDir dir;
  Files original;
  std::vector<ChangeMask> masks;
  std::ostringstream out;
  std::ostringstream err;
  const platform::SendOutcome delivered{platform::Delivery::kDelivered};
  InstallEnvironment environment = test::InProcessEnvironment(dir, masks, delivered, out, err);
};

TEST_F(RemoveTest, RemovingBothPackagesInEitherOrderGivesBackTheHostsFiles) {
  EXPECT_EQ(Remove({"P1"}), kExitNoRecord);
  EXPECT_EQ(err.str(), "fxremove: no record of the package P1 in " +
                           dir.PathOf("fxinstall-record.txt") +
                           "; nothing was changed: for a package installed before records were "
                           "kept, run fxremove --from-config P1\n");
  EXPECT_EQ(Lists(), original);
  EXPECT_FALSE(dir.Read("fxinstall-record.txt").has_value());

  for (const bool p1First : {true, false}) {
    SCOPED_TRACE(p1First ? "P1 removed first" : "P2 removed first");
    ASSERT_EQ(Install("P1"), kExitDone);
    ASSERT_EQ(Install("P2"), kExitDone);
    const Files installed = Lists();
    masks.clear();

    ASSERT_EQ(Remove({p1First ? "P1" : "P2"}), kExitDone) << err.str();
    EXPECT_EQ(err.str(), "");
    if (p1First) {
      EXPECT_EQ(Lines("TextInEffectList.txt"),
                "+Fade\nFadeIn:=0,10,0\nFadeLeaves:=0,10,0\nNewOne:=2\n\n"
                "+\xBB\xAC\xB6\xAF\n\xD7\xF3\xBB\xAC:=1,5\n\n+Glow\nShine\n\n");
      EXPECT_EQ(Lines("SceneList.txt"),
                "+Nature\nSunrise\nDusk\n\n*\xB3\xC7\xCA\xD0\n\xD2\xB9\xBE\xB0\n\n");
      EXPECT_EQ(dir.Read("MovieTitle.txt"), original["MovieTitle.txt"]);
      EXPECT_EQ(masks, std::vector<ChangeMask>{0x22});
    } else {
      // P2 overwrote P1's line: P1's text is back; the shared lines stay for P1.
      EXPECT_EQ(Lines("TextInEffectList.txt"),
                "+Fade\nFadeIn:=0,10,0\nFadeLeaves:=0,99,9\nNewOne:=1\n\n"
                "+\xBB\xAC\xB6\xAF\n\xD7\xF3\xBB\xAC:=1,5\n\n+Glow\nShine\n\n");
      EXPECT_EQ(dir.Read("SceneList.txt"), installed.at("SceneList.txt"));
    }

    ASSERT_EQ(Remove({p1First ? "P2" : "P1"}), kExitDone) << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(Lists(), original);
    // Nothing is left to undo: the record holds no package.
    EXPECT_EQ(Lines("fxinstall-record.txt").find("package\t"), std::string::npos);
  }
}

TEST_F(RemoveTest, TheCheckerTellsWhatARemovalWouldDoAndChangesNothing) {
  ASSERT_EQ(Install("P1"), kExitDone);
  ASSERT_EQ(Install("P2"), kExitDone);
  const Files installed = Lists();
  const std::string record = dir.Read("fxinstall-record.txt").value();
  std::ostringstream plan;
  EXPECT_EQ(CheckRemoval(dir.Name(), "P1", plan), kCheckAllApplied);
  EXPECT_EQ(plan.str(),
            "package P1: 6 recorded changes, undone newest first\n"
            "title: \"P1\" would be removed from MovieTitle.txt\n"
            "  SceneList.txt, section \"Nature\": \"Dusk\" stays: P2 relies on it; its record "
            "takes it over\n"
            "  SceneList.txt, section \"Nature\": \"Sunrise\" was there before the package: it "
            "stays\n"
            "  TextInEffectList.txt, section \"Glow\": \"Shine\" stays: P2 relies on it; its "
            "record takes it over\n"
            "  TextInEffectList.txt, section \"Fade\": \"NewOne:=1\" was overwritten since by P2; "
            "its record takes it over\n"
            "  TextInEffectList.txt, section \"Fade\": restores \"FadeLeaves:=0,10,0\" in place of "
            "\"FadeLeaves:=0,99,9\"\n"
            "would write: TextInEffectList.txt, MovieTitle.txt\n"
            "the host editor would receive 0x22 (TextIn 0x2 | MovieTitle 0x20)\n");
  EXPECT_EQ(Lists(), installed);
  EXPECT_EQ(dir.Read("fxinstall-record.txt"), record);

  plan.str("");
  EXPECT_EQ(CheckRemoval(dir.Name(), "P3", plan), kCheckFailed);
  EXPECT_EQ(plan.str().rfind("error: no record of the package P3", 0), 0u) << plan.str();
}

TEST_F(RemoveTest, ALineChangedByHandIsLeftAndNamed) {
  ASSERT_EQ(Install("P1"), kExitDone);
  std::string textIn = dir.Read("TextInEffectList.txt").value();
  textIn.replace(textIn.find("FadeLeaves:=0,99,9"), 18, "FadeLeaves:=5,5,5");
  dir.Write("TextInEffectList.txt", textIn);

  EXPECT_EQ(Remove({"P1"}), kExitDone);
  EXPECT_EQ(Lines("TextInEffectList.txt"),
            "+Fade\nFadeIn:=0,10,0\nFadeLeaves:=5,5,5\n\n"
            "+\xBB\xAC\xB6\xAF\n\xD7\xF3\xBB\xAC:=1,5\n\n");
  EXPECT_EQ(err.str(), "fxremove: " + dir.PathOf("TextInEffectList.txt") +
                           ": the line \"FadeLeaves:=0,99,9\" of section \"Fade\" was changed "
                           "since it was installed (it reads \"FadeLeaves:=5,5,5\"); it is left "
                           "as it is\n");
  EXPECT_EQ(dir.Read("SceneList.txt"), original["SceneList.txt"]);
}

// A list that cannot be written keeps its entries in the record, and a later run finishes.
TEST_F(RemoveTest, WhatCouldNotBeUndoneStaysRecorded) {
  ASSERT_EQ(Install("P1"), kExitDone);
  const std::string scene = dir.Read("SceneList.txt").value();
  std::filesystem::permissions(dir.Path() / "SceneList.txt", std::filesystem::perms::owner_read);

  EXPECT_EQ(Remove({"P1"}), kExitPartlyFailed);
  EXPECT_EQ(err.str(),
            "fxremove: cannot write " + dir.PathOf("SceneList.txt") + ": the file is read-only\n");
  EXPECT_EQ(dir.Read("SceneList.txt"), scene);
  EXPECT_EQ(dir.Read("TextInEffectList.txt"), original["TextInEffectList.txt"]);
  EXPECT_NE(Lines("fxinstall-record.txt").find("appended\tSceneList.txt\tNature\tDusk"),
            std::string::npos);

  std::filesystem::permissions(
      dir.Path() / "SceneList.txt",
      std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(Remove({"P1"}), kExitDone) << err.str();
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(Lists(), original);
}

TEST_F(RemoveTest, FromConfigRemovesTheDeclaredLinesThatNoOtherSectionDeclares) {
  ASSERT_EQ(Install("P1"), kExitDone);
  ASSERT_EQ(Install("P2"), kExitDone);
  std::filesystem::remove(dir.Path() / "fxinstall-record.txt");  // installed without records

  EXPECT_EQ(Remove({"--from-config", "P2"}), kExitDone);
  EXPECT_EQ(err.str(),
            "fxremove: the lines that P2 overwrote are not known without a record and cannot be "
            "restored\n");
  // "Shine" and "Dusk" are P1's too; "NewOne:=2" is P2's alone.
  EXPECT_EQ(Lines("TextInEffectList.txt"),
            "+Fade\nFadeIn:=0,10,0\nFadeLeaves:=0,99,9\n\n"
            "+\xBB\xAC\xB6\xAF\n\xD7\xF3\xBB\xAC:=1,5\n\n+Glow\nShine\n\n");
  EXPECT_EQ(Lines("SceneList.txt"),
            "+Nature\nSunrise\nDusk\n\n*\xB3\xC7\xCA\xD0\n\xD2\xB9\xBE\xB0\n\n");

  EXPECT_EQ(Remove({"--from-config", "P9"}), kExitNoRecord);
  EXPECT_EQ(err.str(), "fxremove: no section [P9] in " + dir.PathOf("ExEffConfig.ini") +
                           "; nothing was changed\n");
}

}  // namespace
}  // namespace fx
