// Every sentence that the installer writes about a problem, in one place: one line each,
// naming the file (or the window), the reason and what the user can do.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "effects/host_lists.h"
#include "platform/host_window.h"

namespace fx {

// The lines a run writes on standard error, in order, and whether one of them is a problem
// that makes the exit code 2 (a note does not).
struct RunReport {
  std::vector<std::string> lines;
  bool failed = false;

  void Problem(std::string line) {
    lines.push_back(std::move(line));
    failed = true;
  }
  void Note(std::string line) { lines.push_back(std::move(line)); }
};

}  // namespace fx

namespace fx::problem {

// A file that exists but could not be read; consequence: what the run did about it.
std::string CannotRead(const std::string& path, const std::string& reason, const char* consequence);
inline constexpr char kLeftUnchanged[] = "it is left unchanged";
inline constexpr char kNothingInstalled[] = "nothing was installed";
inline constexpr char kNothingRemoved[] = "nothing was removed";

// One line for each list file that exists but could not be read, which the run left alone.
std::vector<std::string> FilesLeftUnread(const HostLists& lists, const std::string& directory);

std::string CannotWrite(const std::string& path, const std::string& reason);
// The installation record could not be read or written: the lists were installed all the same.
std::string CannotRecord(const std::string& path, const std::string& reason);
std::string NoAppDirectory(const std::string& reason);
std::string OtherInstallationRunning(const std::string& directory,
                                     std::chrono::milliseconds waited);
std::string CannotLock(const std::string& directory, const std::string& reason);
// The line for a host editor that is running but was not told, or nothing.
std::string HostNotTold(const platform::SendOutcome& outcome);
std::string Unexpected(const char* what);

// fxremove's lines.
std::string NoRecord(const std::string& package, const std::string& recordPath);
std::string NoSection(const std::string& package, const std::string& configPath);
std::string ChangedByHand(const std::string& path, const std::string& group,
                          const std::string& expected, const std::string& now);
std::string CannotRestore(const std::string& package);

}  // namespace fx::problem
