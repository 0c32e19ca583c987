// fxcheck [--config FILE | --remove] PackageName [HostDirectory]: shows what fxinstall (or
// fxremove) would do, changing nothing.
#include <exception>
#include <iostream>
#include <string>

#include "app/install.h"
#include "check/check.h"
#include "platform/directory_lock.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  fx::CheckArguments arguments;
  if (!fx::ParseCheckArguments(argc, argv, arguments)) {
    std::cerr << fx::kCheckUsage << '\n';
    return fx::kCheckFailed;
  }
  try {
    std::string directory;
    if (arguments.hostDirectory) {
      directory = *arguments.hostDirectory;
    } else {
      std::string reason;
      if (!fx::FindAppDirectory(fx::platform::ExecutablePath, directory, reason)) {
        std::cerr << "fxcheck: cannot find the program's own directory: " << reason << '\n';
        return fx::kCheckFailed;
      }
    }
    // Not while an installation or removal changes the files (and the check of whether a list
    // could be written takes the list's lock for a moment, which would disturb one).
    fx::platform::DirectoryLock lock;
    std::string reason;
    // A directory that cannot be locked (one that does not exist, say) has nothing to disturb.
    if (lock.Acquire(directory, fx::kInstallLockTimeout, reason) ==
        fx::platform::LockStatus::kTimedOut) {
      std::cout << "error: cannot check " << directory
                << " now: another installation there did not finish within a minute\n";
      return fx::kCheckFailed;
    }
    return arguments.remove ? fx::CheckRemoval(directory, arguments.packageName, std::cout)
                            : fx::CheckPackage(directory, arguments.packageName,
                                               arguments.configFile, std::cout);
  } catch (const std::exception& error) {
    std::cerr << "fxcheck: stopped by an unexpected error: " << error.what() << '\n';
    return fx::kCheckFailed;
  }
}
