// Whole runs of the programs in-process: an environment whose program lies in a temporary
// directory and whose host editor records the masks it is sent, and a command line to run.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/install.h"
#include "support/temp_dir.h"

namespace fx::test {

// The program lies in dir; the host editor appends each mask to masks and answers with
// *hostOutcome, which the caller may change between runs.
inline InstallEnvironment InProcessEnvironment(const TempDir& dir, std::vector<ChangeMask>& masks,
                                               const platform::SendOutcome& hostOutcome,
                                               std::ostream& out, std::ostream& err) {
  return {[] { return true; },
          [&dir](std::string& path, std::string&) {
            path = dir.PathOf("fx");
            return true;
          },
          [&masks, &hostOutcome](ChangeMask mask) {
            masks.push_back(mask);
            return hostOutcome;
          },
          kInstallLockTimeout,
          &out,
          &err};
}

// Runs program with args after the program's own name (argv[0]).
inline int RunProgram(int (*program)(int, char**, const InstallEnvironment&),
                      std::vector<std::string> args, const InstallEnvironment& environment) {
  args.insert(args.begin(), "fx");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return program(static_cast<int>(args.size()), argv.data(), environment);
}

}  // namespace fx::test
