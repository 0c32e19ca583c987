#include "app/problems.h"

#include "app/host_notification.h"
#include "platform/file.h"

namespace fx::problem {

std::string CannotRead(const std::string& path, const std::string& reason,
                       const char* consequence) {
  return "cannot read " + path + ": " + reason + "; " + consequence;
}

std::vector<std::string> FilesLeftUnread(const HostLists& lists, const std::string& directory) {
  std::vector<std::string> lines;
  for (const EffectCategory& category : kEffectCategories) {
    const CategoryList& list = lists.categories[category.row];
    if (!list.Unreadable()) continue;
    lines.push_back(CannotRead(platform::PathIn(directory, category.listFile), list.load->reason,
                               kLeftUnchanged));
  }
  if (lists.titlesLoad && lists.titlesLoad->status == platform::OpenStatus::kFailed) {
    lines.push_back(CannotRead(platform::PathIn(directory, kTitleListFile),
                               lists.titlesLoad->reason, kLeftUnchanged));
  }
  return lines;
}

std::string CannotWrite(const std::string& path, const std::string& reason) {
  return "cannot write " + path + ": " + reason;
}

std::string CannotRecord(const std::string& path, const std::string& reason) {
  return "cannot record the installation in " + path + ": " + reason +
         "; fxremove cannot undo it exactly";
}

std::string NoAppDirectory(const std::string& reason) {
  return "cannot find the program's own directory: " + reason + "; nothing was installed";
}

std::string OtherInstallationRunning(const std::string& directory,
                                     std::chrono::milliseconds waited) {
  return "another installation in " + directory + " did not finish within " +
         std::to_string((waited.count() + 999) / 1000) +
         " s; nothing was installed: run the setup again once it has finished";
}

std::string CannotLock(const std::string& directory, const std::string& reason) {
  return "cannot lock " + directory + " against other installations: " + reason +
         "; nothing was installed";
}

std::string HostNotTold(const platform::SendOutcome& outcome) {
  const std::string editor = std::string("the host editor (window \"") + kHostWindowTitle + "\")";
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

std::string Unexpected(const char* what) {
  return std::string("stopped by an unexpected error: ") + what;
}

std::string NoRecord(const std::string& package, const std::string& recordPath) {
  return "no record of the package " + package + " in " + recordPath +
         "; nothing was changed: for a package installed before records were kept, run "
         "fxremove --from-config " +
         package;
}

std::string NoSection(const std::string& package, const std::string& configPath) {
  return "no section [" + package + "] in " + configPath + "; nothing was changed";
}

std::string ChangedByHand(const std::string& path, const std::string& group,
                          const std::string& expected, const std::string& now) {
  return path + ": the line \"" + expected + "\" of section \"" + group +
         "\" was changed since it was installed" +
         (now.empty() ? std::string(" (it is gone)") : " (it reads \"" + now + "\")") +
         "; it is left as it is";
}

std::string CannotRestore(const std::string& package) {
  return "the lines that " + package +
         " overwrote are not known without a record and cannot be restored";
}

}  // namespace fx::problem
