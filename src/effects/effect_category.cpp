#include "effects/effect_category.h"

#include "common/narrow_string.h"
#include "effects/merge_index.h"
#include "effects/run_state.h"

namespace fx {
namespace {

constexpr std::uint32_t kNoSection = UINT32_MAX;

// The position of the first section named group, or kNoSection. Counts the merge, and once
// the list has received enough entries, answers from a table of first sections.
std::uint32_t FindSection(EffectList& list, std::string_view group) {
  if (!list.index) list.index = std::make_unique<MergeIndex>();
  MergeIndex& index = *list.index;
  if (index.merges < kIndexAfterMerges && ++index.merges == kIndexAfterMerges) {
    for (std::uint32_t i = 0; i < list.sections.size(); ++i) {
      index.firstSectionOfName.try_emplace(list.sections[i].name, i);
    }
  }
  if (index.SectionsIndexed()) {
    const auto found = index.firstSectionOfName.find(group);
    return found == index.firstSectionOfName.end() ? kNoSection : found->second;
  }
  for (std::uint32_t i = 0; i < list.sections.size(); ++i) {
    if (list.sections[i].name == group) return i;
  }
  return kNoSection;
}

// The table of a section that has received enough entries, built on first use; null before.
SectionIndex* IndexOfSection(EffectList& list, std::uint32_t position) {
  MergeIndex& index = *list.index;
  const auto built = index.sections.find(position);
  if (built != index.sections.end()) return &built->second;
  if (++index.mergesIntoSection[position] < kIndexAfterMerges) return nullptr;
  index.mergesIntoSection.erase(position);
  return &index.sections.try_emplace(position, list.sections[position].lines).first->second;
}

// The position of the first line that equals line, or that begins with name ":=", by scanning.
std::uint32_t ScanForPlainLine(const std::vector<std::string_view>& lines, std::string_view line) {
  for (std::uint32_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == line) return i;
  }
  return SectionIndex::kNone;
}

std::uint32_t ScanForNamedLine(const std::vector<std::string_view>& lines, std::string_view name) {
  const std::size_t n = name.size();
  for (std::uint32_t i = 0; i < lines.size(); ++i) {
    // Whether ":=" stands right after the name's length is the cheap half of the test, and
    // rules out most lines of a section, whose names share long common beginnings.
    const std::string_view present = lines[i];
    if (present.size() >= n + 2 && present[n] == ':' && present[n + 1] == '=' &&
        present.compare(0, n, name) == 0) {
      return i;
    }
  }
  return SectionIndex::kNone;
}

// The merge itself; fills in where the line went.
MergeOutcome Merge(EffectList& list, std::string_view group, std::string_view name,
                   std::string_view line, MergeReport& report) {
  if (group.empty()) return MergeOutcome::kIgnoredNoGroup;
  if (line.empty()) return MergeOutcome::kIgnoredEmptyLine;

  const std::uint32_t position = FindSection(list, group);
  if (position == kNoSection) {
    std::string headerText = "+";
    headerText += group;
    const std::string_view header = list.text.Add(headerText);
    list.sections.push_back({header.substr(1), {header, list.text.Add(line)}});
    if (list.index->SectionsIndexed()) {
      list.index->firstSectionOfName.try_emplace(header.substr(1), list.sections.size() - 1);
    }
    report.section = list.sections.size() - 1;
    report.line = 1;
    return MergeOutcome::kSectionCreated;
  }

  report.section = position;
  std::vector<std::string_view>& lines = list.sections[position].lines;
  SectionIndex* index = IndexOfSection(list, position);
  if (name.empty()) {
    const std::uint32_t present =
        index ? index->Find(lines, line, false) : ScanForPlainLine(lines, line);
    if (present != SectionIndex::kNone) {
      report.line = present;
      return MergeOutcome::kAlreadyPresent;
    }
  } else {
    const std::uint32_t named =
        index ? index->Find(lines, name, true) : ScanForNamedLine(lines, name);
    if (named != SectionIndex::kNone) {
      report.line = named;
      report.oldLine = lines[named];
      // The new line keeps the old one's name, so the index stays as it is.
      if (lines[named] != line) lines[named] = list.text.Add(line);
      return MergeOutcome::kLineOverwritten;
    }
  }

  lines.push_back(list.text.Add(line));
  report.line = lines.size() - 1;
  if (index) index->Add(lines, static_cast<std::uint32_t>(lines.size() - 1));
  return MergeOutcome::kLineAppended;
}

}  // namespace

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

MergeOutcome MergeEffectEntry(EffectList& list, std::string_view group, std::string_view name,
                              std::string_view line, MergeReport* report) {
  MergeReport ignored;
  MergeReport& done = report ? *report : ignored;
  done.outcome = Merge(list, group, name, line, done);
  return done.outcome;
}

MergeOutcome AddCategoryEntry(RunState& state, const EffectCategory& category,
                              std::string_view entry, MergeReport* report) {
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
  MergeReport ignored;
  MergeReport& done = report ? *report : ignored;
  done.entry = ParseEffectEntry(entry);
  if (state.listUnreadable[category.row]) return done.outcome = MergeOutcome::kListUnreadable;
  return MergeEffectEntry(list, done.entry.group, done.entry.name, done.entry.line, &done);
}

}  // namespace fx
