#include "effects/title_list.h"

#include <algorithm>

#include "effects/list_file.h"
#include "platform/text_file.h"

namespace fx {

LoadResult LoadTitleList(TitleList& titles, const std::string& path) {
  platform::TextFileReader file;
  LoadResult result = ReadWholeFile(file, path);
  if (result.status != platform::OpenStatus::kRead) return result;
  std::string_view line;
  while (file.ReadLine(line)) titles.lines.push_back(line);
  titles.text.Adopt(file.TakeBytes());
  return result;
}

SaveResult SaveTitleList(const TitleList& titles, const std::string& path,
                         platform::ReplacementQueue* queue) {
  return ReplaceWholeFile(
      path,
      [&](platform::TextFileWriter& file) {
        for (const std::string_view line : titles.lines) file.WriteLine(line);
      },
      queue);
}

TitleOutcome RegisterTitlePackage(TitleList& titles, const std::string& packageName) {
  if (std::find(titles.lines.begin(), titles.lines.end(), packageName) != titles.lines.end()) {
    return TitleOutcome::kAlreadyListed;
  }
  titles.lines.push_back(titles.text.Add(packageName));
  return TitleOutcome::kAdded;
}

}  // namespace fx
