#include "effects/title_list.h"

#include <algorithm>

#include "platform/text_file.h"

namespace fx {

void RegisterTitlePackage(RunState& state, const std::string& packageName) {
  std::vector<std::string>& lines = state.titleList.lines;
  if (lines.empty()) {
    const std::string path = state.PathOf(kTitleListFile);
    platform::TextFileReader file;
    const platform::OpenStatus status = file.Open(path);
    if (status == platform::OpenStatus::kOpened) {
      std::string line;
      while (file.ReadLine(line)) lines.push_back(line);
    }
    if (status == platform::OpenStatus::kFailed || file.Failed()) {
      lines.clear();
      state.problems.push_back("cannot read " + path + ": " + file.Error() +
                               "; it is left unchanged");
      return;
    }
  }
  if (std::find(lines.begin(), lines.end(), packageName) == lines.end()) {
    lines.push_back(packageName);
  }
}

SaveResult SaveTitleList(const RunState& state) {
  platform::TextFileWriter file;
  SaveResult result;
  if (file.Open(state.PathOf(kTitleListFile))) {
    for (const std::string& line : state.titleList.lines) {
      file.WriteString(line);
      file.WriteString("\n");
    }
    if (file.Commit()) return result;
  }
  result.ok = false;
  result.reason = file.Error();
  return result;
}

}  // namespace fx
