// One installation run: from the command line to the lists written and the host told.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "app/problems.h"
#include "effects/effect_category.h"
#include "platform/host_window.h"

namespace fx {

// Exit codes of the installer.
inline constexpr int kExitDone = 0;           // done, or nothing to do
inline constexpr int kExitStartUpFailed = 1;  // the process could not be started
inline constexpr int kExitPartlyFailed = 2;   // a file could not be read or written, or the
                                              // running host editor could not be told

// The one message on standard output: "致命错误: MFC 初始化失败" and LF in code page 936.
inline constexpr char kStartUpFailedMessage[] =
    "\xD6\xC2\xC3\xFC\xB4\xED\xCE\xF3: MFC \xB3\xF5\xCA\xBC\xBB\xAF\xCA\xA7\xB0\xDC\n";

using ExecutablePathQuery = std::function<bool(std::string& path, std::string& reason)>;

// What the run needs of the world outside its files. The defaults are the real ones; tests
// replace them.
struct InstallEnvironment {
  std::function<bool()> startUp;
  ExecutablePathQuery executablePath;
  std::function<platform::SendOutcome(ChangeMask)> notifyHost;
  // How long a run waits for another installation in the same directory to finish.
  std::chrono::milliseconds lockTimeout;
  std::ostream* out;  // standard output: only the start-up failure message
  std::ostream* err;  // one line per problem, naming the file and the reason

  static InstallEnvironment Real();
};

// The app directory of an executable: everything before the last path separator, trimmed.
std::string AppDirectoryOf(const std::string& executablePath);

// The app directory of the running program, asked of executablePath (the system's, or a
// test's). False, with reason, when the system cannot say where the program is.
bool FindAppDirectory(const ExecutablePathQuery& executablePath, std::string& directory,
                      std::string& reason);

// What installing and removing share: takes the directory's lock (waiting up to lockTimeout for
// another run), cleans up what killed runs left beside the files, runs change, which returns the
// mask of the files whose write it attempted, releases the lock and tells the host editor a
// non-zero mask. Problems go to report.
void ChangeFilesInHostDirectory(const std::string& directory, const InstallEnvironment& environment,
                                RunReport& report, const std::function<ChangeMask()>& change);

// How long a run waits by default for another one in its directory.
inline constexpr std::chrono::seconds kInstallLockTimeout{60};

// Runs the installation for the package named by argv[1]:
//   start-up (failure: the message on out, exit code 1); no or an empty package name: exit 0
//   with nothing touched; the app directory from the executable's path; the directory's
//   installation lock taken (waiting up to lockTimeout for another run); what killed runs left
//   beside the files cleaned up; the package section read and its entries merged; every category
//   list that holds a section written back in table order with its change bit, then the title list
//   with 0x20; the host notified of a non-zero mask after every file is closed and the lock
//   released.
// Returns 0, or 2 when a file could not be read or written, another run held the directory
// too long, or a running host editor did not take the message (each problem one line on err).
int InstallEffects(int argc, char** argv, const InstallEnvironment& environment);

}  // namespace fx
