// The real binary and what a list file is besides its text: its owner and permissions, its
// links, extended attributes and ACLs, the directory it lies in; and several installations at
// once in one directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "e2e/installer_process.h"

namespace fx {
namespace {

using FileIdentity = InstallerProcess;

struct stat StatOf(const std::filesystem::path& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

// The value of an extended attribute, or nothing when the file has none of that name.
std::optional<std::string> Attribute(const std::filesystem::path& path, const char* name) {
  char value[4096];
  const ssize_t size = getxattr(path.c_str(), name, value, sizeof value);
  if (size < 0) return std::nullopt;
  return std::string(value, static_cast<size_t>(size));
}

bool IsRoot() {
  return geteuid() == 0;
}

// The usual shape of a host under Program Files where an administrator granted write access
// on the list files only: the run cannot create a file beside them, so it writes them in place.
TEST_F(FileIdentity, AUserWhoMayWriteTheListsButNotTheDirectoryInstalls) {
  if (!IsRoot()) GTEST_SKIP() << "needs root to run the installer as another user";
  std::filesystem::permissions(dir.Path(), std::filesystem::perms(0755));
  dir.Write("ExEffConfig.ini", "[P]\nTextIn=G>new;G>n:=2\nDir=MovieTitle\n");
  dir.Write("TextInEffectList.txt", "+G\r\nold\r\nn:=1\r\n");
  dir.Write("MovieTitle.txt", "A\r\n");
  for (const char* name : {"TextInEffectList.txt", "MovieTitle.txt"}) {
    std::filesystem::permissions(dir.Path() / name, std::filesystem::perms(0666));
  }
  const ino_t inode = StatOf(dir.Path() / "TextInEffectList.txt").st_ino;
  launcher = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};

  // The installation record cannot be created there either: that is said, and the installation
  // stands.
  const Outcome outcome = Run({"P"});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "fxinstall: cannot record the installation in " +
                             dir.PathOf("fxinstall-record.txt") +
                             ": Permission denied; fxremove cannot undo it exactly\n");
  EXPECT_EQ(dir.Read("TextInEffectList.txt"), "+G\r\nold\r\nn:=2\r\nnew\r\n\r\n");
  EXPECT_EQ(dir.Read("MovieTitle.txt"), "A\r\nP\r\n");
  EXPECT_EQ(StatOf(dir.Path() / "TextInEffectList.txt").st_ino, inode);
  EXPECT_EQ(StatOf(dir.Path() / "TextInEffectList.txt").st_uid, 0u);

  // A list the user may not write is reported, and a new list cannot be created there.
  dir.Write("ExEffConfig.ini", "[Q]\nScene=G>s\n");
  const Outcome refused = Run({"Q"});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(refused.err,
            "fxinstall: cannot write " + dir.PathOf("SceneList.txt") + ": Permission denied\n");
}

TEST_F(FileIdentity, ListsKeepTheirLinksAttributesAndAcls) {
  namespace fs = std::filesystem;
  dir.Write("ExEffConfig.ini", "[P]\nTextIn=G>t\nStyle=G>s\nScene=G>c\nTone=G>o\nDir=MovieTitle\n");
  // A list with a second hard link elsewhere.
  fs::create_directory(dir.Path() / "other");
  dir.Write("other/TextIn.txt", "+G\r\nold\r\n");
  fs::create_hard_link(dir.Path() / "other/TextIn.txt", dir.Path() / "TextInEffectList.txt");
  // A live and a dangling symbolic link.
  fs::create_directory(dir.Path() / "real");
  dir.Write("real/SceneList.txt", "+G\r\nold\r\n");
  fs::create_symlink("real/SceneList.txt", dir.Path() / "SceneList.txt");
  fs::create_symlink("real/MovieTitle.txt", dir.Path() / "MovieTitle.txt");
  // Extended attributes: one of the user's, and an ACL entry.
  dir.Write("StyleList.txt", "+G\r\nold\r\n");
  dir.Write("ToneList.txt", "+G\r\nold\r\n");
  ASSERT_EQ(setxattr(dir.PathOf("StyleList.txt").c_str(), "user.origin", "editor", 6, 0), 0);
  const std::string setfacl = "setfacl -m u:nobody:rw " + dir.PathOf("ToneList.txt");
  if (std::system(setfacl.c_str()) != 0) GTEST_SKIP() << "setfacl (package acl) is missing";
  const std::optional<std::string> acl =
      Attribute(dir.Path() / "ToneList.txt", "system.posix_acl_access");
  ASSERT_TRUE(acl.has_value());
  const ino_t linked = StatOf(dir.Path() / "TextInEffectList.txt").st_ino;

  const Outcome outcome = Run({"P"});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(dir.Read("other/TextIn.txt"), "+G\r\nold\r\nt\r\n\r\n");
  EXPECT_EQ(StatOf(dir.Path() / "TextInEffectList.txt").st_ino, linked);
  EXPECT_EQ(StatOf(dir.Path() / "TextInEffectList.txt").st_nlink, 2u);
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "SceneList.txt"));
  EXPECT_EQ(dir.Read("real/SceneList.txt"), "+G\r\nold\r\nc\r\n\r\n");
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "MovieTitle.txt"));
  EXPECT_EQ(dir.Read("real/MovieTitle.txt"), "P\r\n");
  EXPECT_EQ(dir.Read("StyleList.txt"), "+G\r\nold\r\ns\r\n\r\n");
  EXPECT_EQ(Attribute(dir.Path() / "StyleList.txt", "user.origin"), "editor");
  EXPECT_EQ(dir.Read("ToneList.txt"), "+G\r\nold\r\no\r\n\r\n");
  EXPECT_EQ(Attribute(dir.Path() / "ToneList.txt", "system.posix_acl_access"), acl);
  EXPECT_EQ(dir.List(),
            (std::vector<std::string>{"ExEffConfig.ini", "MovieTitle.txt", "SceneList.txt",
                                      "StyleList.txt", "TextInEffectList.txt", "ToneList.txt",
                                      "fxinstall", "fxinstall-record.txt", "other", "real"}));
}

// Two package setups at once, or one started twice: the runs take turns, and each finds the
// lines that the one before it wrote.
TEST_F(FileIdentity, InstallationsAtTheSameTimeLoseNothing) {
  constexpr int kRuns = 8;
  std::string config;
  for (int i = 0; i < kRuns; ++i) {
    const std::string n = std::to_string(i);
    config += "[P" + n + "]\nTextIn=Shared>p" + n + ";Own" + n + ">x\nScene=Shared>n" + n +
              ":=" + n + "\nDir=MovieTitle\n";
  }
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    for (const char* name : {"TextInEffectList.txt", "SceneList.txt", "MovieTitle.txt"}) {
      std::filesystem::remove(dir.Path() / name);
    }
    dir.Write("ExEffConfig.ini", config);
    std::vector<pid_t> children;
    for (int i = 0; i < kRuns; ++i) {
      children.push_back(Start({"P" + std::to_string(i)}, 0, std::to_string(i)));
    }
    for (int i = 0; i < kRuns; ++i) {
      const Outcome outcome = Wait(children[i], std::to_string(i));
      EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
      EXPECT_EQ(outcome.err, "");
    }
    const std::string textIn = dir.Read("TextInEffectList.txt").value_or("");
    const std::string scene = dir.Read("SceneList.txt").value_or("");
    const std::string titles = dir.Read("MovieTitle.txt").value_or("");
    for (int i = 0; i < kRuns; ++i) {
      const std::string n = std::to_string(i);
      EXPECT_NE(textIn.find("\r\np" + n + "\r\n"), std::string::npos) << n;
      EXPECT_NE(textIn.find("+Own" + n + "\r\nx\r\n"), std::string::npos) << n;
      EXPECT_NE(scene.find("\r\nn" + n + ":=" + n + "\r\n"), std::string::npos) << n;
      EXPECT_NE(("\r\n" + titles).find("\r\nP" + n + "\r\n"), std::string::npos) << n;
    }
  }
}

}  // namespace
}  // namespace fx
