#include "app/install.h"

#include <exception>
#include <iostream>
#include <vector>

#include "app/host_notification.h"
#include "app/problems.h"
#include "app/write_back.h"
#include "common/narrow_string.h"
#include "effects/host_lists.h"
#include "package/package_section.h"
#include "platform/directory_lock.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/stray_files.h"

namespace fx {

std::string AppDirectoryOf(const std::string& executablePath) {
  const size_t separator = platform::FindLastPathSeparator(executablePath);
  std::string directory = executablePath.substr(0, separator);
  TrimInPlace(directory);
  return directory;
}

bool FindAppDirectory(const ExecutablePathQuery& executablePath, std::string& directory,
                      std::string& reason) {
  std::string executable;
  if (!executablePath(executable, reason)) return false;
  directory = AppDirectoryOf(executable);
  return true;
}

namespace {

std::vector<std::string> PathsIn(const std::string& directory,
                                 const std::vector<std::string>& names) {
  std::vector<std::string> paths;
  for (const std::string& name : names) paths.push_back(platform::PathIn(directory, name));
  return paths;
}

// Everything between the lock taken and released: read, merge, write back. The mask of the
// files whose write was attempted.
ChangeMask InstallLocked(const std::string& packageName, const std::string& directory,
                         std::vector<std::string>& problems) {
  platform::CleanUpInterruptedReplacements(PathsIn(directory, WritableFileNames()));
  const std::string config = platform::PathIn(directory, kPackageConfigFile);
  const PackageSection section = ReadPackageSection(config, packageName);
  if (section.status == platform::OpenStatus::kFailed) {
    problems.push_back(problem::CannotRead(config, section.reason, problem::kNothingInstalled));
    return 0;
  }
  HostLists lists;
  // Each list is written as soon as it is final, so that the disk works while the next one is
  // merged, and only one list is held at a time.
  StagedWriteBack writeBack(directory);
  DispatchPackageSection(
      section, packageName, directory, lists,
      [&](const EffectCategory& category) { writeBack.WriteList(lists, category); });
  for (std::string& line : problem::FilesLeftUnread(lists, directory)) {
    problems.push_back(std::move(line));
  }
  WriteBackResult written = writeBack.Finish(lists);
  problems.insert(problems.end(), written.failures.begin(), written.failures.end());
  return written.mask;
}

int Run(const std::string& packageName, const InstallEnvironment& environment,
        std::vector<std::string>& problems) {
  std::string directory;
  std::string reason;
  if (!FindAppDirectory(environment.executablePath, directory, reason)) {
    problems.push_back(problem::NoAppDirectory(reason));
    return kExitPartlyFailed;
  }

  ChangeMask mask = 0;
  {
    platform::DirectoryLock lock;
    switch (lock.Acquire(directory, environment.lockTimeout, reason)) {
      case platform::LockStatus::kAcquired:
        mask = InstallLocked(packageName, directory, problems);
        break;
      case platform::LockStatus::kTimedOut:
        problems.push_back(problem::OtherInstallationRunning(directory, environment.lockTimeout));
        return kExitPartlyFailed;
      case platform::LockStatus::kFailed:
        problems.push_back(problem::CannotLock(directory, reason));
        return kExitPartlyFailed;
    }
  }

  // Every file is closed and the lock released: the next run need not wait for the editor.
  if (mask != 0) {
    const std::string notTold = problem::HostNotTold(environment.notifyHost(mask));
    if (!notTold.empty()) problems.push_back(notTold);
  }
  return problems.empty() ? kExitDone : kExitPartlyFailed;
}

}  // namespace

InstallEnvironment InstallEnvironment::Real() {
  return {platform::StartUp, platform::ExecutablePath, NotifyHost, kInstallLockTimeout, &std::cout,
          &std::cerr};
}

int InstallEffects(int argc, char** argv, const InstallEnvironment& environment) {
  if (!environment.startUp()) {
    *environment.out << kStartUpFailedMessage << std::flush;
    return kExitStartUpFailed;
  }
  if (argc < 2 || argv[1][0] == '\0') return kExitDone;
  const std::string packageName = argv[1];

  std::vector<std::string> problems;
  int exitCode = kExitPartlyFailed;
  try {
    exitCode = Run(packageName, environment, problems);
  } catch (const std::exception& error) {
    // Out of memory, or anything else that the run did not foresee: whatever was written by
    // then is complete, since every file is replaced as a whole.
    problems.push_back(problem::Unexpected(error.what()));
  }
  for (const std::string& line : problems) *environment.err << "fxinstall: " << line << '\n';
  environment.err->flush();
  return exitCode;
}

}  // namespace fx
