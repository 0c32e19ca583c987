#include "package/package_section.h"

#include <vector>

#include "common/narrow_string.h"
#include "effects/effect_category.h"
#include "effects/title_list.h"
#include "package/split.h"
#include "platform/text_file.h"

namespace fx {

PackageSection ReadPackageTable(const std::string& path, const std::string& packageName) {
  PackageSection section;
  platform::TextFileReader file;
  section.status = file.Open(path);
  if (section.status != platform::OpenStatus::kOpened) {
    section.reason = file.Error();
    return section;
  }

  const std::string header = "[" + packageName + "]";
  std::string_view line;
  // A comment can never equal the header, which starts with "[".
  while (!section.found && file.ReadLine(line)) section.found = Trim(line) == header;
  while (section.found && file.ReadLine(line)) {
    const std::string_view trimmed = Trim(line);
    if (!trimmed.empty() && trimmed[0] == '[') break;
    const size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = Trim(trimmed.substr(0, equals));
    if (key.empty()) continue;
    section.table.try_emplace(std::string(key), Trim(trimmed.substr(equals + 1)));
  }

  return section;
}

void ReadPackageSection(RunState& state, const std::string& packageName) {
  const std::string path = state.PathOf(kPackageConfigFile);
  const PackageSection section = ReadPackageTable(path, packageName);
  if (section.status == platform::OpenStatus::kFailed) {
    state.problems.push_back("cannot read " + path + ": " + section.reason +
                             "; nothing was installed");
    return;
  }

  std::vector<std::string> items;
  for (const EffectCategory& category : kEffectCategories) {
    const auto value = section.table.find(std::string(category.key));
    if (value == section.table.end() || value->second.empty()) continue;
    SplitByDelimiter(value->second, ";", items);
    for (const std::string& item : items) AddCategoryEntry(state, category, item);
  }

  const auto dir = section.table.find("Dir");
  if (dir != section.table.end() && dir->second == "MovieTitle") {
    RegisterTitlePackage(state, packageName);
  }
}

}  // namespace fx
