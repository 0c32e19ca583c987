#include "check/check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "app/install.h"
#include "support/in_process.h"
#include "support/temp_dir.h"

namespace fx {
namespace {

using Files = std::map<std::string, std::string>;

// A text of length bytes: head, then "x" up to length, then tail.
std::string Filled(std::size_t length, const std::string& head, const std::string& tail) {
  return head + std::string(length - head.size() - tail.size(), 'x') + tail;
}

class CheckTest : public ::testing::Test {
 protected:
  void Given(const Files& files) {
    for (const std::string& name : dir.List()) {
      // Windows refuses to delete a read-only file.
      std::error_code ignored;
      std::filesystem::permissions(dir.Path() / name, std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
      std::filesystem::remove_all(dir.Path() / name);
    }
    for (const auto& [name, bytes] : files) dir.Write(name, bytes);
  }

  int Check(const std::string& package, const std::string& configFile = "") {
    out.str("");
    return CheckPackage(dir.Name(), package, configFile, out);
  }

  // Every file's modification time set well into the past, so that a write shows.
  void AgeAllFiles() {
    aged.clear();
    for (const std::string& name : dir.List()) {
      const std::filesystem::path path = dir.Path() / name;
      std::filesystem::last_write_time(
          path, std::filesystem::last_write_time(path) - std::chrono::hours(24 * 365));
      aged[name] = std::filesystem::last_write_time(path);  // as the file system keeps it
    }
  }

  std::vector<std::string> FilesWrittenSinceAged() const {
    std::vector<std::string> written;
    for (const std::string& name : dir.List()) {
      const auto time = aged.find(name);
      if (time == aged.end() ||
          std::filesystem::last_write_time(dir.Path() / name) != time->second) {
        written.push_back(name);
      }
    }
    return written;
  }

  // Runs the installer on the directory: what it says goes to installErrors, the masks it sends
  // to masks.
  int Install(const std::string& packageName) {
    installErrors.str("");
    masks.clear();
    const platform::SendOutcome delivered{platform::Delivery::kDelivered};
    return test::RunProgram(
        InstallEffects, {packageName},
        test::InProcessEnvironment(dir, masks, delivered, installErrors, installErrors));
  }

  std::string Line(const std::string& prefix) const {
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(prefix, 0) == 0) return line;
    }
    return "<no line starting with " + prefix + ">";
  }

  test::TempDir dir;
  std::ostringstream out;
  std::ostringstream installErrors;
  std::vector<ChangeMask> masks;
  std::map<std::string, std::filesystem::file_time_type> aged;
};

TEST_F(CheckTest, TellsWhatAnInstallationWouldDo) {
  struct Case {
    const char* rule;
    Files files;
    std::string package;
    std::string plan;
    int exitCode;
  } cases[] = {
      {"no config file",
       {},
       "P",
       "error: no " + dir.PathOf("ExEffConfig.ini") + "\n",
       kCheckFailed},
      {"a section in other case, and one commented out",
       {{"ExEffConfig.ini", "[p]\nTextIn=G>a\n# [P]\n"}},
       "P",
       "error: no section [P] in ExEffConfig.ini\n"
       "error:   line 1: [p] differs only in letter case\n"
       "error:   line 3: # [P] is commented out\n",
       kCheckFailed},
      {"body lines without effect",
       {{"ExEffConfig.ini",
         "[P]\n# my pack\nTextin=G>a\nTone=G>a\nTone=G>b\nScene\n=x\nStyle=\nAdjst=A>a\n"
         "Dir=movietitle\n"}},
       "P",
       "package [P]: ExEffConfig.ini line 1\n"
       "  line 2: # my pack: a comment\n"
       "warning:   line 3: Textin=G>a: no effect: key \"Textin\" differs from \"TextIn\" only in "
       "letter case\n"
       "warning:   line 5: Tone=G>b: no effect: key \"Tone\" is repeated; line 4 counts\n"
       "warning:   line 6: Scene: no effect: no \"=\"\n"
       "warning:   line 7: =x: no effect: no key before \"=\"\n"
       "warning:   line 8: Style=: no effect: no entries\n"
       "warning:   line 9: Adjst=A>a: no effect: unknown key \"Adjst\" (did you mean "
       "\"Adjust\"?)\n"
       "warning:   line 10: Dir=movietitle: no effect: \"movietitle\" differs from "
       "\"MovieTitle\" only in letter case\n"
       "Tone: ToneList.txt (missing: would be created)\n"
       "  \"G>a\": adds section \"+G\" with \"a\"\n"
       "would write: ToneList.txt\n"
       "the host editor would receive 0x80 (Tone 0x80)\n",
       kCheckWarnings},
      {"every kind of entry",
       {{"ExEffConfig.ini",
         "[P]\nTextIn=G>n:=2;G>p;G>n:=2;G>q;no arrow; >x;G> ;Fade>f;g >m;G>k "
         ":=1\nDir=MovieTitle\n"},
        {"TextInEffectList.txt", "+G\nn:=1\np\n\n+fade\nx\n"},
        {"MovieTitle.txt", "P\n"}},
       "P",
       "package [P]: ExEffConfig.ini line 1\n"
       "TextIn: TextInEffectList.txt (exists)\n"
       "  \"G>n:=2\": overwrites line 2 of section \"G\": \"n:=1\" -> \"n:=2\"\n"
       "  \"G>p\": already present: line 3 of section \"G\"\n"
       "  \"G>n:=2\": already present: line 2 of section \"G\"\n"
       "  \"G>q\": appends \"q\" to section \"G\"\n"
       "warning:   \"no arrow\": ignored: no \">\"\n"
       "warning:   \" >x\": ignored: no group before \">\"\n"
       "warning:   \"G> \": ignored: nothing after \">\"\n"
       "  \"Fade>f\": adds section \"+Fade\" with \"f\"\n"
       "warning:   section \"fade\" exists; it differs from \"Fade\" only in letter case or "
       "blanks\n"
       "  \"g >m\": adds section \"+g\" with \"m\"\n"
       "warning:   section \"G\" exists; it differs from \"g\" only in letter case or blanks\n"
       "  \"G>k :=1\": appends \"k :=1\" to section \"G\"\n"
       "warning:   the name \"k \" ends in blanks before \":=\"; they are part of the name\n"
       "title: \"P\" is already listed in MovieTitle.txt\n"
       "would write: TextInEffectList.txt, MovieTitle.txt\n"
       "the host editor would receive 0x22 (TextIn 0x2 | MovieTitle 0x20)\n",
       kCheckWarnings},
      {"what a setup may have spoilt: \"?\" for lost characters, a cut value",
       {{"ExEffConfig.ini",
         "[P]\nTextIn=?\?>Night snow;x?\nScene=" + Filled(1023, "S>", ";S>cut") + "\nDir=Title\n"}},
       "P",
       "package [P]: ExEffConfig.ini line 1\n"
       "warning:   line 3: Scene: the value is 1023 bytes long: an installer may have cut it (an "
       "NSIS string holds 1,023 characters); its last entry is \"S>cut\"\n"
       "warning:   line 4: Dir=Title: no effect: only \"MovieTitle\" registers a title package\n"
       "TextIn: TextInEffectList.txt (missing: would be created)\n"
       "  \"?\?>Night snow\": adds section \"+?\?\" with \"Night snow\"\n"
       "warning:   line 2: \"?\" in \"?\?>Night snow\": characters may have been lost in a "
       "code-page conversion\n"
       "warning:   \"x?\": ignored: no \">\"\n"
       "warning:   line 2: \"?\" in \"x?\": characters may have been lost in a code-page "
       "conversion\n"
       "Scene: SceneList.txt (missing: would be created)\n"
       "  \"" +
           Filled(1017, "S>", "") + "\": adds section \"+S\" with \"" + Filled(1015, "", "") +
           "\"\n"
           "  \"S>cut\": appends \"cut\" to section \"S\"\n"
           "would write: TextInEffectList.txt, SceneList.txt\n"
           "the host editor would receive 0x102 (TextIn 0x2 | Scene 0x100)\n",
       kCheckWarnings},
      {"a value one byte shorter is whole",
       {{"ExEffConfig.ini", "[P]\nScene=" + Filled(1022, "S>", "") + "\n"}},
       "P",
       "package [P]: ExEffConfig.ini line 1\n"
       "Scene: SceneList.txt (missing: would be created)\n"
       "  \"" +
           Filled(1022, "S>", "") + "\": adds section \"+S\" with \"" + Filled(1020, "", "") +
           "\"\n"
           "would write: SceneList.txt\n"
           "the host editor would receive 0x100 (Scene 0x100)\n",
       kCheckAllApplied},
      {"lines in no named section",
       {{"ExEffConfig.ini", "[P]\nAdjust=A>a\n"}, {"AdjustList.txt", "loose\nlines\n"}},
       "P",
       "package [P]: ExEffConfig.ini line 1\n"
       "Adjust: AdjustList.txt (exists)\n"
       "  \"A>a\": adds section \"+A\" with \"a\"\n"
       "warning:   AdjustList.txt has 2 lines in no named section (kept as they are)\n"
       "would write: AdjustList.txt\n"
       "the host editor would receive 0x40 (Adjust 0x40)\n",
       kCheckWarnings},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    Given(c.files);
    EXPECT_EQ(Check(c.package), c.exitCode);
    EXPECT_EQ(out.str(), c.plan);
  }
}

TEST(CheckArgumentsTest, ReadsTheCommandLine) {
  struct Case {
    std::vector<const char*> args;  // after the program's name
    bool fits;
    std::string configFile;
    std::string package;
    std::optional<std::string> directory;
  } cases[] = {
      {{"P"}, true, "", "P", std::nullopt},
      {{"P", "D"}, true, "", "P", "D"},
      {{"--config", "F", "P"}, true, "F", "P", std::nullopt},
      {{"--config", "F", "P", "D"}, true, "F", "P", "D"},
      {{"--config", "P"}, false, "", "", std::nullopt},
      {{"--config", "", "P"}, false, "", "", std::nullopt},
      {{}, false, "", "", std::nullopt},
      {{""}, false, "", "", std::nullopt},
      {{"P", ""}, false, "", "", std::nullopt},
      {{"P", "C:\\Program", "Files\\Vaskel"}, false, "", "", std::nullopt},
      {{"P", "D", "--config", "F"}, false, "", "", std::nullopt},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"fxcheck"};
    std::string line;
    for (const char* arg : c.args) {
      argv.push_back(arg);
      line += std::string(" [") + arg + "]";
    }
    SCOPED_TRACE(line);
    CheckArguments arguments;
    ASSERT_EQ(ParseCheckArguments(static_cast<int>(argv.size()), argv.data(), arguments), c.fits);
    if (!c.fits) continue;
    EXPECT_EQ(arguments.configFile, c.configFile);
    EXPECT_EQ(arguments.packageName, c.package);
    EXPECT_EQ(arguments.hostDirectory, c.directory);
  }
}

// --config: the section comes from the author's file, the lists from the host directory.
TEST_F(CheckTest, ReadsTheSectionFromAnotherFile) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=Host>h\n"},
         {"my.ini", "# mine\n[p]\n[P]\nScene=S>s\n"},
         {"SceneList.txt", "+S\nr\n"}});
  const std::string mine = dir.PathOf("my.ini");
  EXPECT_EQ(Check("P", mine), kCheckWarnings);
  EXPECT_EQ(out.str(), "package [P]: " + mine +
                           " line 3\n"
                           "warning:   line 2: [p] differs only in letter case\n"
                           "Scene: SceneList.txt (exists)\n"
                           "  \"S>s\": appends \"s\" to section \"S\"\n"
                           "would write: SceneList.txt\n"
                           "the host editor would receive 0x100 (Scene 0x100)\n");

  EXPECT_EQ(Check("Q", mine), kCheckFailed);
  EXPECT_EQ(out.str(), "error: no section [Q] in " + mine + "\n");
  const std::string none = dir.PathOf("none.ini");
  EXPECT_EQ(Check("P", none), kCheckFailed);
  EXPECT_EQ(out.str(), "error: no " + none + "\n");
}

// text in UTF-16, each byte of it with a NUL before it (big-endian) or after it.
std::string Utf16(const std::string& text, bool bigEndian) {
  std::string wide;
  for (const char c : text) wide += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return wide;
}

// The installer takes the config file byte for byte, so any other encoding spoils it: a UTF-8
// byte-order mark the first line, UTF-16 every line.
TEST_F(CheckTest, TellsOfAConfigFileNotInTheCodePage) {
  using namespace std::string_literals;
  const std::string mustBe = ": the file must be in the system's code page\n";
  const std::string utf8Mark =
      "ExEffConfig.ini starts with a UTF-8 byte-order mark (EF BB BF), "
      "which becomes part of line 1" +
      mustBe;
  const std::string toneWouldBeWritten =
      "Tone: ToneList.txt (missing: would be created)\n"
      "  \"G>a\": adds section \"+G\" with \"a\"\n"
      "would write: ToneList.txt\n"
      "the host editor would receive 0x80 (Tone 0x80)\n";
  struct Case {
    const char* rule;
    std::string config;
    std::string plan;
    int exitCode;
  } cases[] = {
      {"a UTF-8 mark before the header", "\xEF\xBB\xBF[P]\r\nTone=G>a\r\n",
       "error: " + utf8Mark +
           "error: no section [P] in ExEffConfig.ini\n"
           "error:   line 1: [P] follows the byte-order mark\n",
       kCheckFailed},
      {"a UTF-8 mark before another line", "\xEF\xBB\xBF# packages\r\n[P]\r\nTone=G>a\r\n",
       "warning: " + utf8Mark + "package [P]: ExEffConfig.ini line 2\n" + toneWouldBeWritten,
       kCheckWarnings},
      {"UTF-16 with its mark", "\xFF\xFE" + Utf16("[P]\r\nTone=G>a\r\n", false),
       "error: ExEffConfig.ini is in UTF-16 (it starts with the byte-order mark FF FE)" + mustBe +
           "error: no section [P] in ExEffConfig.ini\n",
       kCheckFailed},
      {"UTF-16 without a mark", Utf16("[P]\r\nTone=G>\xB3\xC7\r\n", true),
       "error: ExEffConfig.ini is in UTF-16 (a NUL byte in every other byte)" + mustBe +
           "error: no section [P] in ExEffConfig.ini\n",
       kCheckFailed},
      {"a UTF-16 mark before text in the code page", "\xFE\xFF\r\n[P]\r\nTone=G>a\r\n",
       "error: ExEffConfig.ini is in UTF-16 (it starts with the byte-order mark FE FF)" + mustBe +
           "package [P]: ExEffConfig.ini line 2\n" + toneWouldBeWritten,
       kCheckFailed},
      {"a NUL byte here and there is no UTF-16", "[P]\r\nTone=G>a\r\n#\0\0\r\n"s,
       "package [P]: ExEffConfig.ini line 1\n"
       "  line 3: #\0\0: a comment\n"s +
           toneWouldBeWritten,
       kCheckAllApplied},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    Given({{"ExEffConfig.ini", c.config}});
    EXPECT_EQ(Check("P"), c.exitCode);
    EXPECT_EQ(out.str(), c.plan);
  }
}

// A list held by another process fails already at reading, which takes the same exclusive lock
// as writing, so the checker never gets as far as asking whether it could be written.
TEST_F(CheckTest, AFileThatCannotBeReadIsAnError) {
  Given({{"ExEffConfig.ini", "[P]\nTextIn=G>a\n"}, {"TextInEffectList.txt", "+G\n"}});
  test::FileHolder holder(dir.PathOf("TextInEffectList.txt"));
  ASSERT_TRUE(holder.Holding());
  EXPECT_EQ(Check("P"), kCheckFailed);
  EXPECT_EQ(Line("error: cannot"), "error: cannot read " + dir.PathOf("TextInEffectList.txt") +
                                       ": locked by another process; it is left unchanged");
  EXPECT_EQ(Line("TextIn"), "TextIn: TextInEffectList.txt (cannot be read)");
  EXPECT_EQ(Line("error:   \"G>a\""), "error:   \"G>a\": dropped: the list file cannot be read");
  EXPECT_EQ(Line("would write"), "would write nothing");
}

// A list that the installer would fail to write is an error line naming the file and the reason,
// decided as the installer decides it: the installer then reports the same files for the same
// reasons and sends the same mask.
TEST_F(CheckTest, AListThatCannotBeWrittenIsAnError) {
  struct Case {
    const char* rule;
    Files files;
    std::function<void()> spoil;
    std::string plan;  // "@" stands for the directory
  } cases[] = {
      {"read-only files",
       {{"ExEffConfig.ini", "[P]\nScene=S>s\nTextIn=G>a\nDir=MovieTitle\n"},
        {"SceneList.txt", "+S\n"},
        {"MovieTitle.txt", "Q\n"}},
       [this] {
         for (const char* name : {"SceneList.txt", "MovieTitle.txt"}) {
           std::filesystem::permissions(dir.Path() / name, std::filesystem::perms::owner_read);
         }
       },
       "package [P]: ExEffConfig.ini line 1\n"
       "TextIn: TextInEffectList.txt (missing: would be created)\n"
       "  \"G>a\": adds section \"+G\" with \"a\"\n"
       "Scene: SceneList.txt (exists)\n"
       "  \"S>s\": appends \"s\" to section \"S\"\n"
       "title: \"P\" would be added to MovieTitle.txt\n"
       "error: cannot write @SceneList.txt: the file is read-only\n"
       "error: cannot write @MovieTitle.txt: the file is read-only\n"
       "would write: TextInEffectList.txt\n"
       "the host editor would receive 0x122 (TextIn 0x2 | MovieTitle 0x20 | Scene 0x100)\n"},
#ifndef _WIN32
      // Read as a missing file, but its directory cannot take the new one.
      {"a link into a missing directory",
       {{"ExEffConfig.ini", "[P]\nTone=G>a\n"}},
       [this] {
         std::filesystem::create_symlink(dir.Path() / "gone" / "ToneList.txt",
                                         dir.Path() / "ToneList.txt");
       },
       "package [P]: ExEffConfig.ini line 1\n"
       "Tone: ToneList.txt (missing: would be created)\n"
       "  \"G>a\": adds section \"+G\" with \"a\"\n"
       "error: cannot write @ToneList.txt: No such file or directory\n"
       "would write nothing\n"
       "the host editor would receive 0x80 (Tone 0x80)\n"},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    Given(c.files);
    c.spoil();
    const std::vector<std::string> before = dir.List();
    std::string plan = c.plan;
    for (std::size_t at; (at = plan.find('@')) != std::string::npos;) {
      plan.replace(at, 1, dir.PathOf(""));
    }
    EXPECT_EQ(Check("P"), kCheckFailed);
    EXPECT_EQ(out.str(), plan);
    EXPECT_EQ(dir.List(), before);  // no temporary file left behind

    std::string errors;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("error: ")) errors += "fxinstall: " + line.substr(7) + "\n";
    }
    const ChangeMask mask = static_cast<ChangeMask>(
        std::stoul(Line("the host").substr(std::string("the host editor would receive ").size()),
                   nullptr, 16));
    EXPECT_EQ(Install("P"), kExitPartlyFailed);
    EXPECT_EQ(installErrors.str(), errors);
    EXPECT_EQ(masks, std::vector<ChangeMask>{mask});
  }
}

// The checker changes nothing; the installer then writes exactly the files the checker named,
// and the host receives the mask it printed.
TEST_F(CheckTest, ThePlanIsWhatTheInstallerDoes) {
  Given({{"ExEffConfig.ini",
          "[P]\nScene=S>s:=2;S>new\nTextIn=T>t;x\nTone=;;\nStyle=G>a\nDir=MovieTitle\n"},
         {"SceneList.txt", "+S\ns:=1\n"},
         {"StyleList.txt", "+G\na\n"},
         {"ToneList.txt", "+T\n"}});
  AgeAllFiles();
  const Files before = {{"SceneList.txt", *dir.Read("SceneList.txt")},
                        {"StyleList.txt", *dir.Read("StyleList.txt")}};
  Check("P");
  EXPECT_EQ(FilesWrittenSinceAged(), std::vector<std::string>{});
  for (const auto& [name, bytes] : before) EXPECT_EQ(dir.Read(name), bytes);
  EXPECT_EQ(Line("would write"),
            "would write: TextInEffectList.txt, StyleList.txt, SceneList.txt, MovieTitle.txt");
  EXPECT_EQ(Line("the host"),
            "the host editor would receive 0x12A (TextIn 0x2 | Style 0x8 | MovieTitle 0x20 | "
            "Scene 0x100)");

  ASSERT_EQ(Install("P"), kExitDone);
  // The files the plan names, and the installation record beside them.
  EXPECT_EQ(FilesWrittenSinceAged(),
            (std::vector<std::string>{"MovieTitle.txt", "SceneList.txt", "StyleList.txt",
                                      "TextInEffectList.txt", "fxinstall-record.txt"}));
  EXPECT_EQ(masks, std::vector<ChangeMask>{0x12A});
}

}  // namespace
}  // namespace fx
