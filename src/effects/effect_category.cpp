#include "effects/effect_category.h"

#include "common/narrow_string.h"
#include "effects/run_state.h"

namespace fx {

ParsedEntry ParseEffectEntry(std::string_view entry) {
  ParsedEntry parsed;
  const size_t gt = entry.find('>');
  std::string_view line = entry;
  if (gt != std::string_view::npos) {
    parsed.group = Trim(entry.substr(0, gt));
    line = entry.substr(gt + 1);
  }
  parsed.line = Trim(line);
  const size_t assign = parsed.line.find(":=");
  if (assign != std::string::npos && assign >= 1) parsed.name = parsed.line.substr(0, assign);
  return parsed;
}

MergeOutcome MergeEffectEntry(EffectList& list, const std::string& group, const std::string& name,
                              const std::string& line) {
  if (group.empty()) return MergeOutcome::kIgnoredNoGroup;
  if (line.empty()) return MergeOutcome::kIgnoredEmptyLine;

  for (EffectSection& section : list.sections) {
    if (section.name != group) continue;
    if (name.empty()) {
      for (const std::string& present : section.lines) {
        if (present == line) return MergeOutcome::kAlreadyPresent;
      }
    } else {
      const std::string prefix = name + ":=";
      for (std::string& present : section.lines) {
        if (present.compare(0, prefix.size(), prefix) == 0) {
          present = line;
          return MergeOutcome::kLineOverwritten;
        }
      }
    }
    section.lines.push_back(line);
    return MergeOutcome::kLineAppended;
  }

  EffectSection created;
  created.name = group;
  created.lines = {"+" + group, line};
  list.sections.push_back(std::move(created));
  return MergeOutcome::kSectionCreated;
}

MergeOutcome AddCategoryEntry(RunState& state, const EffectCategory& category,
                              std::string_view entry) {
  EffectList& list = state.lists[category.row];
  if (list.sections.empty() && !state.listUnreadable[category.row]) {
    const std::string path = state.PathOf(category.listFile);
    const LoadResult loaded = LoadEffectList(list, path);
    if (loaded.status == platform::OpenStatus::kFailed) {
      state.listUnreadable[category.row] = true;
      state.problems.push_back("cannot read " + path + ": " + loaded.reason +
                               "; it is left unchanged");
    }
  }
  if (state.listUnreadable[category.row]) return MergeOutcome::kListUnreadable;
  const ParsedEntry parsed = ParseEffectEntry(entry);
  return MergeEffectEntry(list, parsed.group, parsed.name, parsed.line);
}

}  // namespace fx
