#include "effects/title_list.h"

#include <algorithm>

#include "platform/text_file.h"

namespace fx {

TitleOutcome RegisterTitlePackage(RunState& state, const std::string& packageName) {
  TitleList& titles = state.titleList;
  if (titles.lines.empty()) {
    const std::string path = state.PathOf(kTitleListFile);
    platform::TextFileReader file;
    const platform::OpenStatus status = file.ReadAll(path);
    if (status == platform::OpenStatus::kFailed) {
      state.problems.push_back("cannot read " + path + ": " + file.Error() +
                               "; it is left unchanged");
      return TitleOutcome::kUnreadable;
    }
    std::string_view line;
    while (file.ReadLine(line)) titles.lines.push_back(line);
    titles.text.Adopt(file.TakeBytes());
  }
  if (std::find(titles.lines.begin(), titles.lines.end(), packageName) != titles.lines.end()) {
    return TitleOutcome::kAlreadyListed;
  }
  titles.lines.push_back(titles.text.Add(packageName));
  return TitleOutcome::kAdded;
}

SaveResult SaveTitleList(const RunState& state) {
  platform::TextFileWriter file;
  SaveResult result;
  if (file.Open(state.PathOf(kTitleListFile))) {
    for (const std::string_view line : state.titleList.lines) file.WriteLine(line);
    if (file.Commit()) return result;
  }
  result.ok = false;
  result.reason = file.Error();
  return result;
}

}  // namespace fx
