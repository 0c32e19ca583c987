#include "package/package_section.h"

#include <algorithm>
#include <vector>

#include "common/narrow_string.h"
#include "effects/effect_category.h"
#include "effects/title_list.h"
#include "package/split.h"
#include "platform/text_file.h"

namespace fx {

std::string SectionHeaderOf(const std::string& packageName) {
  return "[" + packageName + "]";
}

PackageSection ReadPackageSection(const std::string& path, const std::string& packageName) {
  PackageSection section;
  platform::TextFileReader file;
  section.status = file.ReadAll(path);
  if (section.status != platform::OpenStatus::kRead) {
    section.reason = file.Error();
    return section;
  }

  const std::string header = SectionHeaderOf(packageName);
  std::string_view line;
  std::size_t number = 0;
  // A comment can never equal the header, which starts with "[".
  while (!section.found && file.ReadLine(line)) {
    ++number;
    section.found = Trim(line) == header;
  }
  section.headerLine = section.found ? number : 0;
  while (section.found && file.ReadLine(line)) {
    const std::string_view trimmed = Trim(line);
    if (!trimmed.empty() && trimmed[0] == '[') break;
    BodyLine& body = section.body.emplace_back();
    body.number = ++number;
    body.text = trimmed;
    const size_t equals = trimmed.find('=');
    const std::string_view key =
        equals == std::string_view::npos ? std::string_view() : Trim(trimmed.substr(0, equals));
    // A comment with "=" gives a key starting with "#", which no rule looks up.
    const bool firstOfKey =
        !key.empty() &&
        section.table.try_emplace(std::string(key), Trim(trimmed.substr(equals + 1))).second;
    if (trimmed.empty()) {
      body.effect = BodyLine::Effect::kBlank;
    } else if (trimmed[0] == '#') {
      body.effect = BodyLine::Effect::kComment;
    } else if (equals == std::string_view::npos) {
      body.effect = BodyLine::Effect::kNoEquals;
    } else if (key.empty()) {
      body.effect = BodyLine::Effect::kEmptyKey;
    } else {
      body.key = key;
      body.effect = firstOfKey ? BodyLine::Effect::kKey : BodyLine::Effect::kRepeatedKey;
    }
  }
  return section;
}

ConfigSections ReadEverySection(const std::string& path) {
  ConfigSections config;
  platform::TextFileReader file;
  config.status = file.ReadAll(path);
  if (config.status != platform::OpenStatus::kRead) {
    config.reason = file.Error();
    return config;
  }
  PackageTable* open = nullptr;  // the table of the section being read, if any
  std::string_view line;
  while (file.ReadLine(line)) {
    const std::string_view trimmed = Trim(line);
    if (!trimmed.empty() && trimmed[0] == '[') {
      open = nullptr;
      if (trimmed.size() < 2 || trimmed.back() != ']') continue;
      const std::string name(trimmed.substr(1, trimmed.size() - 2));
      const bool known = std::any_of(config.sections.begin(), config.sections.end(),
                                     [&](const auto& section) { return section.first == name; });
      if (!known) open = &config.sections.emplace_back(name, PackageTable()).second;
      continue;
    }
    const size_t equals = trimmed.find('=');
    if (open == nullptr || equals == std::string_view::npos) continue;
    const std::string_view key = Trim(trimmed.substr(0, equals));
    if (!key.empty()) open->try_emplace(std::string(key), Trim(trimmed.substr(equals + 1)));
  }
  return config;
}

DispatchReport DispatchPackageSection(const PackageSection& section, const std::string& packageName,
                                      const std::string& appDirectory, HostLists& lists,
                                      const CategoryDone& categoryDone) {
  DispatchReport report;
  std::vector<std::string> items;
  for (const EffectCategory& category : kEffectCategories) {
    const auto value = section.table.find(std::string(category.key));
    if (value != section.table.end() && !value->second.empty()) {
      SplitByDelimiter(value->second, ";", items);
      const std::string path = platform::PathIn(appDirectory, category.listFile);
      for (std::string& item : items) {
        EntryReport entry = AddCategoryEntry(lists.categories[category.row], path, item);
        report.items.push_back({&category, std::move(item), std::move(entry)});
      }
    }
    if (categoryDone) categoryDone(category);
  }

  const auto dir = section.table.find(kTitleKey);
  if (dir != section.table.end() && dir->second == kTitleValue) {
    if (!lists.titlesLoad) {
      lists.titlesLoad =
          LoadTitleList(lists.titles, platform::PathIn(appDirectory, kTitleListFile));
    }
    report.title = lists.titlesLoad->status == platform::OpenStatus::kFailed
                       ? TitleOutcome::kUnreadable
                       : RegisterTitlePackage(lists.titles, packageName);
  }
  return report;
}

}  // namespace fx
