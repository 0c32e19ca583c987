#include "app/install.h"

#include <exception>
#include <iostream>
#include <vector>

#include "app/host_notification.h"
#include "app/problems.h"
#include "app/write_back.h"
#include "common/narrow_string.h"
#include "effects/host_lists.h"
#include "effects/install_record.h"
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

// What of the dispatch landed in files that were written, as record entries.
std::vector<RecordEntry> Landed(const DispatchReport& report, ChangeMask written) {
  std::vector<RecordEntry> landed;
  RecordEntry entry;
  for (const DispatchReport::Item& item : report.items) {
    if ((written & item.category->changeBit) && RecordOf(*item.category, item.report, entry)) {
      landed.push_back(entry);
    }
  }
  if (report.title && (written & kTitleListBit) && *report.title != TitleOutcome::kUnreadable) {
    entry = RecordEntry();
    entry.kind =
        *report.title == TitleOutcome::kAdded ? RecordKind::kTitleAdded : RecordKind::kTitlePresent;
    landed.push_back(entry);
  }
  return landed;
}

// Adds what landed to the installation record, which fxremove reads. A record that cannot be
// kept is a note: the lists were installed.
void Record(const std::string& packageName, const std::vector<RecordEntry>& landed,
            const std::string& directory, RunReport& report) {
  if (landed.empty()) return;
  const std::string path = platform::PathIn(directory, kInstallRecordFile);
  InstallRecord record;
  const LoadResult loaded = LoadInstallRecord(record, path);
  if (loaded.status == platform::OpenStatus::kFailed) {
    report.Note(problem::CannotRecord(path, loaded.reason));
    return;
  }
  const PackageRecord* before = record.Find(packageName);
  const std::size_t known = before ? before->entries.size() : 0;
  AddToRecord(record, packageName, landed);
  if (record.Find(packageName)->entries.size() == known) return;  // nothing new
  const SaveResult saved = SaveInstallRecord(record, path);
  if (!saved.ok) report.Note(problem::CannotRecord(path, saved.reason));
}

// Everything between the lock taken and released: read, merge, write back, record. The mask
// of the files whose write was attempted.
ChangeMask InstallLocked(const std::string& packageName, const std::string& directory,
                         RunReport& report) {
  const std::string config = platform::PathIn(directory, kPackageConfigFile);
  const PackageSection section = ReadPackageSection(config, packageName);
  if (section.status == platform::OpenStatus::kFailed) {
    report.Problem(problem::CannotRead(config, section.reason, problem::kNothingInstalled));
    return 0;
  }
  HostLists lists;
  // Each list is written as soon as it is final, so that the disk works while the next one is
  // merged, and only one list is held at a time.
  StagedWriteBack writeBack(directory);
  const DispatchReport dispatched = DispatchPackageSection(
      section, packageName, directory, lists,
      [&](const EffectCategory& category) { writeBack.WriteList(lists, category); });
  for (std::string& line : problem::FilesLeftUnread(lists, directory)) {
    report.Problem(std::move(line));
  }
  writeBack.WriteTitleList(lists);
  WriteBackResult written = writeBack.Finish();
  for (std::string& line : written.failures) report.Problem(std::move(line));
  Record(packageName, Landed(dispatched, written.written), directory, report);
  return written.mask;
}

void Run(const std::string& packageName, const InstallEnvironment& environment, RunReport& report) {
  std::string directory;
  std::string reason;
  if (!FindAppDirectory(environment.executablePath, directory, reason)) {
    report.Problem(problem::NoAppDirectory(reason));
    return;
  }
  ChangeFilesInHostDirectory(directory, environment, report,
                             [&] { return InstallLocked(packageName, directory, report); });
}

}  // namespace

void ChangeFilesInHostDirectory(const std::string& directory, const InstallEnvironment& environment,
                                RunReport& report, const std::function<ChangeMask()>& change) {
  ChangeMask mask = 0;
  {
    platform::DirectoryLock lock;
    std::string reason;
    switch (lock.Acquire(directory, environment.lockTimeout, reason)) {
      case platform::LockStatus::kAcquired:
        platform::CleanUpInterruptedReplacements(PathsIn(directory, WritableFileNames()));
        mask = change();
        break;
      case platform::LockStatus::kTimedOut:
        report.Problem(problem::OtherInstallationRunning(directory, environment.lockTimeout));
        return;
      case platform::LockStatus::kFailed:
        report.Problem(problem::CannotLock(directory, reason));
        return;
    }
  }
  // Every file is closed and the lock released: the next run need not wait for the editor.
  if (mask != 0) {
    const std::string notTold = problem::HostNotTold(environment.notifyHost(mask));
    if (!notTold.empty()) report.Problem(notTold);
  }
}

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

  RunReport report;
  try {
    Run(packageName, environment, report);
  } catch (const std::exception& error) {
    // Out of memory, or anything else that the run did not foresee: whatever was written by
    // then is complete, since every file is replaced as a whole.
    report.Problem(problem::Unexpected(error.what()));
  }
  for (const std::string& line : report.lines) *environment.err << "fxinstall: " << line << '\n';
  environment.err->flush();
  return report.failed ? kExitPartlyFailed : kExitDone;
}

}  // namespace fx
