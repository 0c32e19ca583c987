// Merging done the plain way, by scanning: the oracle against which the lookup tables that
// MergeEffectEntry uses are checked, in tests and by the merge fuzzer.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "effects/effect_category.h"
#include "effects/effect_list.h"

namespace fx::test {

// A list as plain text: each section's name and lines, the header line included.
using SectionTexts = std::vector<std::pair<std::string, std::vector<std::string>>>;

inline SectionTexts TextsOf(const EffectList& list) {
  SectionTexts texts;
  for (const EffectSection& section : list.sections) {
    texts.emplace_back(std::string(section.name),
                       std::vector<std::string>(section.lines.begin(), section.lines.end()));
  }
  return texts;
}

// The merge step by step: the first section of the group, then the first line that begins with
// name ":=" or equals the plain line, the header line included; a new "+group" section when
// there is none.
inline MergeOutcome ScanMerge(SectionTexts& list, std::string_view group, std::string_view name,
                              std::string_view line) {
  if (group.empty()) return MergeOutcome::kIgnoredNoGroup;
  if (line.empty()) return MergeOutcome::kIgnoredEmptyLine;
  for (auto& [sectionName, lines] : list) {
    if (sectionName != group) continue;
    for (std::string& present : lines) {
      if (name.empty() && present == line) return MergeOutcome::kAlreadyPresent;
      if (!name.empty() && present.starts_with(std::string(name) + ":=")) {
        present = line;
        return MergeOutcome::kLineOverwritten;
      }
    }
    lines.emplace_back(line);
    return MergeOutcome::kLineAppended;
  }
  list.push_back({std::string(group), {"+" + std::string(group), std::string(line)}});
  return MergeOutcome::kSectionCreated;
}

}  // namespace fx::test
