#include "app/install.h"

#include <exception>
#include <iostream>

#include "app/host_notification.h"
#include "app/write_back.h"
#include "common/narrow_string.h"
#include "package/package_section.h"
#include "platform/directory_lock.h"
#include "platform/process.h"
#include "platform/stray_files.h"

namespace fx {

std::string AppDirectoryOf(const std::string& executablePath) {
  const size_t separator = platform::FindLastPathSeparator(executablePath);
  std::string directory = executablePath.substr(0, separator);
  TrimInPlace(directory);
  return directory;
}

namespace {

// The line for a host editor that is running but was not told, or nothing.
std::string HostProblem(const platform::SendOutcome& outcome) {
  const std::string editor = std::string("the host editor (window \"") + HostWindowTitle + "\")";
  const std::string advice = "; restart the editor to see the new effects";
  switch (outcome.delivery) {
    case platform::Delivery::kDelivered:
    case platform::Delivery::kNoWindow:
      return "";
    case platform::Delivery::kTimedOut:
      return editor + " did not answer in time and was not told which lists changed" + advice;
    case platform::Delivery::kWindowClosed:
      return editor + " closed before it was told which lists changed" + advice;
    case platform::Delivery::kRefused:
      return editor + " could not be told which lists changed (Windows error " +
             std::to_string(outcome.systemError) + ")" + advice;
  }
  return "";
}

int Run(const std::string& packageName, RunState& state, const InstallEnvironment& environment) {
  std::string executable;
  std::string reason;
  if (!environment.executablePath(executable, reason)) {
    state.problems.push_back("cannot find the program's own directory: " + reason +
                             "; nothing was installed");
    return kExitPartlyFailed;
  }
  state.appDirectory = AppDirectoryOf(executable);

  ChangeMask mask = 0;
  {
    platform::DirectoryLock lock;
    switch (lock.Acquire(state.appDirectory, environment.lockTimeout, reason)) {
      case platform::LockStatus::kAcquired:
        break;
      case platform::LockStatus::kTimedOut:
        state.problems.push_back(
            "another installation in " + state.appDirectory + " did not finish within " +
            std::to_string((environment.lockTimeout.count() + 999) / 1000) +
            " s; nothing was installed: run the setup again once it has finished");
        return kExitPartlyFailed;
      case platform::LockStatus::kFailed:
        state.problems.push_back("cannot lock " + state.appDirectory +
                                 " against other "
                                 "installations: " +
                                 reason + "; nothing was installed");
        return kExitPartlyFailed;
    }
    platform::CleanUpInterruptedReplacements(WritableFilePaths(state));
    ReadPackageSection(state, packageName);
    mask = WriteBack(state);
  }
  if (mask != 0) {
    const std::string problem = HostProblem(environment.notifyHost(mask));
    if (!problem.empty()) state.problems.push_back(problem);
  }
  return state.problems.empty() ? kExitDone : kExitPartlyFailed;
}

}  // namespace

InstallEnvironment InstallEnvironment::Real() {
  return {platform::StartUp, platform::ExecutablePath, NotifyHost, kInstallLockTimeout, &std::cout,
          &std::cerr};
}

int InstallEffects(int argc, char** argv, RunState& state, const InstallEnvironment& environment) {
  if (!environment.startUp()) {
    *environment.out << kStartUpFailedMessage << std::flush;
    return kExitStartUpFailed;
  }
  if (argc < 2 || argv[1][0] == '\0') return kExitDone;
  const std::string packageName = argv[1];

  int exitCode = kExitPartlyFailed;
  try {
    exitCode = Run(packageName, state, environment);
  } catch (const std::exception& error) {
    // Out of memory, or anything else that the run did not foresee: whatever was written by
    // then is complete, since every file is replaced as a whole.
    state.problems.push_back(std::string("stopped by an unexpected error: ") + error.what());
  }
  for (const std::string& problem : state.problems) {
    *environment.err << "fxinstall: " << problem << '\n';
  }
  environment.err->flush();
  return exitCode;
}

}  // namespace fx
