// fxcheck: what installing a package would do, told without changing a file.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace fx {

inline constexpr int kCheckAllApplied = 0;  // every entry would be added, overwritten or found
inline constexpr int kCheckWarnings = 1;    // something would be ignored, or a warning was printed
inline constexpr int kCheckFailed = 2;      // no package to install, or a file cannot be read
                                            // or written

inline constexpr char kCheckUsage[] =
    "usage: fxcheck [--config FILE | --remove] PackageName [HostDirectory]";

// The command line of fxcheck.
struct CheckArguments {
  std::string configFile;  // --config FILE: the section is read there; empty: ExEffConfig.ini
                           // in the host directory
  std::string packageName;
  std::optional<std::string> hostDirectory;  // none: the program's own directory
  bool remove = false;                       // --remove: what fxremove would do
};

// Reads argv[1..argc-1] as [--config FILE | --remove] PackageName [HostDirectory]. False when they
// do not fit: no or an empty package name, --config without a file, an argument too many.
bool ParseCheckArguments(int argc, const char* const* argv, CheckArguments& arguments);

// Reads what an installation of packageName in appDirectory would read, runs the same
// merge in memory, and prints the plan to out, one item per line. The package's section comes
// from configFile, or from ExEffConfig.ini in appDirectory when configFile is empty. Changes no
// file; whether the installer could write each planned file is decided by the installer's first
// step of writing it, undone at once (CanBeWritten in check.cpp says what that touches).
int CheckPackage(const std::string& appDirectory, const std::string& packageName,
                 const std::string& configFile, std::ostream& out);

// Prints what fxremove would do with packageName in appDirectory, step by step: the same
// removal, in memory. Exit codes as for CheckPackage (2: no record of the package).
int CheckRemoval(const std::string& appDirectory, const std::string& packageName,
                 std::ostream& out);

}  // namespace fx
