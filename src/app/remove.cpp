#include "app/remove.h"

#include <exception>
#include <string_view>

#include "app/problems.h"
#include "app/write_back.h"
#include "effects/host_lists.h"
#include "effects/install_record.h"
#include "package/package_section.h"
#include "package/removal.h"
#include "platform/file.h"

namespace fx {
namespace {

constexpr std::string_view kFromConfig = "--from-config";

struct RemovalRun {
  std::string package;
  bool fromConfig = false;
  std::string directory;
  RunReport report;
  bool noRecord = false;
};

// Writes back what plan changed, reports what could not be read or written, and names the
// lines changed by hand (only list lines can be: a title line that is gone is undone already).
WriteBackResult WriteBackRemoval(const RemovalPlan& plan, const HostLists& lists, RemovalRun& run) {
  for (std::string& line : problem::FilesLeftUnread(lists, run.directory)) {
    run.report.Problem(std::move(line));
  }
  WriteBackResult written = WriteBack(PlanWriteBack(plan.changed), lists, run.directory);
  for (std::string& line : written.failures) run.report.Problem(std::move(line));
  for (const RemovalStep& step : plan.steps) {
    if (step.effect != RemovalStep::Effect::kChangedByHand) continue;
    run.report.Note(problem::ChangedByHand(platform::PathIn(run.directory, step.entry.list),
                                           step.entry.group, step.entry.line, step.currentLine));
  }
  return written;
}

ChangeMask RemoveRecorded(RemovalRun& run) {
  const std::string path = platform::PathIn(run.directory, kInstallRecordFile);
  InstallRecord record;
  const LoadResult loaded = LoadInstallRecord(record, path);
  if (loaded.status == platform::OpenStatus::kFailed) {
    run.report.Problem(problem::CannotRead(path, loaded.reason, problem::kNothingRemoved));
    return 0;
  }
  if (record.Find(run.package) == nullptr) {
    run.noRecord = true;
    run.report.Note(problem::NoRecord(run.package, path));
    return 0;
  }
  HostLists lists;
  const RemovalPlan plan = RemovePackage(record, run.package, run.directory, lists);
  const WriteBackResult written = WriteBackRemoval(plan, lists, run);
  // Last: what could not be undone stays, so that a later run finishes the job.
  UpdateRecordAfterRemoval(record, run.package, plan, written.written);
  const SaveResult saved = SaveInstallRecord(record, path);
  if (!saved.ok) run.report.Problem(problem::CannotWrite(path, saved.reason));
  return written.mask;
}

ChangeMask RemoveDeclaredInConfig(RemovalRun& run) {
  const std::string path = platform::PathIn(run.directory, kPackageConfigFile);
  const ConfigSections config = ReadEverySection(path);
  if (config.status == platform::OpenStatus::kFailed) {
    run.report.Problem(problem::CannotRead(path, config.reason, problem::kNothingRemoved));
    return 0;
  }
  std::vector<PackageDeclaration> others;
  const PackageTable* own = nullptr;
  for (const auto& [name, table] : config.sections) {
    if (name == run.package) {
      own = &table;
    } else {
      others.push_back(DeclarationOf(name, table));
    }
  }
  if (own == nullptr) {
    run.noRecord = true;
    run.report.Note(problem::NoSection(run.package, path));
    return 0;
  }
  run.report.Note(problem::CannotRestore(run.package));
  HostLists lists;
  const RemovalPlan plan =
      RemoveDeclared(DeclarationOf(run.package, *own), others, run.directory, lists);
  return WriteBackRemoval(plan, lists, run).mask;
}

void Run(RemovalRun& run, const InstallEnvironment& environment) {
  std::string reason;
  if (!FindAppDirectory(environment.executablePath, run.directory, reason)) {
    run.report.Problem(problem::NoAppDirectory(reason));
    return;
  }
  ChangeFilesInHostDirectory(run.directory, environment, run.report, [&] {
    return run.fromConfig ? RemoveDeclaredInConfig(run) : RemoveRecorded(run);
  });
}

}  // namespace

int RemoveEffects(int argc, char** argv, const InstallEnvironment& environment) {
  if (!environment.startUp()) {
    *environment.out << kStartUpFailedMessage << std::flush;
    return kExitStartUpFailed;
  }
  RemovalRun run;
  int next = 1;
  if (next < argc && argv[next] == kFromConfig) {
    run.fromConfig = true;
    ++next;
  }
  if (next != argc - 1 || argv[next][0] == '\0') {
    *environment.err << "usage: fxremove [--from-config] PackageName\n" << std::flush;
    return kExitNoRecord;
  }
  run.package = argv[next];
  try {
    Run(run, environment);
  } catch (const std::exception& error) {
    run.report.Problem(problem::Unexpected(error.what()));
  }
  for (const std::string& line : run.report.lines) *environment.err << "fxremove: " << line << '\n';
  environment.err->flush();
  if (run.report.failed) return kExitPartlyFailed;
  return run.noRecord ? kExitNoRecord : kExitDone;
}

}  // namespace fx
