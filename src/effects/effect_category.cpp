#include "effects/effect_category.h"

#include "common/narrow_string.h"
#include "effects/merge_index.h"

namespace fx {
namespace {

constexpr std::uint32_t kNoSection = UINT32_MAX;

// The position of the first section named group, or kNoSection. Counts the merge, and once
// the list has received enough entries, answers from its table of first sections.
std::uint32_t FindSection(EffectList& list, std::string_view group) {
  MergeIndex& index = *list.index;
  if (!index.sectionsIndexed && index.merges++ >= list.indexAfterMerges) {
    for (std::uint32_t i = 0; i < list.sections.size(); ++i) {
      index.firstSectionOfName.try_emplace(list.sections[i].name, i);
    }
    index.sectionsIndexed = true;
  }
  if (index.sectionsIndexed) {
    const auto found = index.firstSectionOfName.find(group);
    return found == index.firstSectionOfName.end() ? kNoSection : found->second;
  }
  for (std::uint32_t i = 0; i < list.sections.size(); ++i) {
    if (list.sections[i].name == group) return i;
  }
  return kNoSection;
}

// The table of a section that has received enough entries, built then; null before.
SectionIndex* IndexOfSection(EffectList& list, std::uint32_t position) {
  MergeIndex& index = *list.index;
  const auto built = index.sections.find(position);
  if (built != index.sections.end()) return &built->second;
  if (index.mergesIntoSection[position]++ < list.indexAfterMerges) return nullptr;
  index.mergesIntoSection.erase(position);
  return &index.sections.try_emplace(position, list.sections[position].lines).first->second;
}

// The first line that equals line, by scanning.
std::uint32_t ScanForPlainLine(const std::vector<std::string_view>& lines, std::string_view line) {
  for (std::uint32_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == line) return i;
  }
  return SectionIndex::kNone;
}

// The first line that begins with name ":=", by scanning. n, the name's size, is at least 1: a
// parsed name is never empty.
std::uint32_t ScanForNamedLine(const std::vector<std::string_view>& lines, std::string_view name) {
  const std::size_t n = name.size();
  // The cheap half of the test: the name's last byte with ":=" right after it. It rules out
  // most lines of a section, whose names share long common beginnings. The three bytes are
  // tested together, not with a branch each: for lines whose names are as long as this one,
  // whether byte n is ':' is a coin toss that the processor cannot predict. A line too short
  // to hold them is tested against bytes that never match.
  const auto last = static_cast<unsigned char>(name[n - 1]);
  static constexpr unsigned char kNoMatch[3] = {0, 0, 0};
  for (std::uint32_t i = 0; i < lines.size(); ++i) {
    const std::string_view present = lines[i];
    const unsigned char* end = present.size() >= n + 2
                                   ? reinterpret_cast<const unsigned char*>(present.data()) + n - 1
                                   : kNoMatch;
    if (((end[0] ^ last) | (end[1] ^ ':') | (end[2] ^ '=')) == 0 &&
        present.compare(0, n, name) == 0) {
      return i;
    }
  }
  return SectionIndex::kNone;
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

MergeReport MergeEffectEntry(EffectList& list, std::string_view group, std::string_view name,
                             std::string_view line) {
  MergeReport report;
  if (group.empty()) return report;  // kIgnoredNoGroup
  if (line.empty()) {
    report.outcome = MergeOutcome::kIgnoredEmptyLine;
    return report;
  }
  if (!list.index) list.index = std::make_unique<MergeIndex>();

  const std::uint32_t position = FindSection(list, group);
  if (position == kNoSection) {
    std::string headerText = "+";
    headerText += group;
    const std::string_view header = list.text.Add(headerText);
    list.sections.push_back({header.substr(1), {header, list.text.Add(line)}});
    if (list.index->sectionsIndexed) {
      list.index->firstSectionOfName.try_emplace(header.substr(1), list.sections.size() - 1);
    }
    report.outcome = MergeOutcome::kSectionCreated;
    report.line = 1;
    return report;
  }

  std::vector<std::string_view>& lines = list.sections[position].lines;
  SectionIndex* table = IndexOfSection(list, position);
  const std::uint32_t present =
      table ? (name.empty() ? table->FindPlain(line) : table->FindNamed(name))
            : (name.empty() ? ScanForPlainLine(lines, line) : ScanForNamedLine(lines, name));
  if (present != SectionIndex::kNone) {
    report.line = present;
    if (name.empty()) {
      report.outcome = MergeOutcome::kAlreadyPresent;
    } else {
      report.outcome = MergeOutcome::kLineOverwritten;
      report.oldLine = lines[present];
      // The new line keeps the old one's name, so the table stays as it is.
      if (lines[present] != line) lines[present] = list.text.Add(line);
    }
    return report;
  }
  lines.push_back(list.text.Add(line));
  if (table) table->Appended();
  report.outcome = MergeOutcome::kLineAppended;
  report.line = lines.size() - 1;
  return report;
}

EntryReport AddCategoryEntry(CategoryList& category, const std::string& path,
                             std::string_view entry) {
  // The file is read once, at the category's first entry: the run holds the directory's
  // lock, so it cannot change meanwhile.
  if (!category.load) category.load = LoadEffectList(category.list, path);
  EntryReport report;
  report.entry = ParseEffectEntry(entry);
  if (category.Unreadable()) {
    report.merge.outcome = MergeOutcome::kListUnreadable;
    return report;
  }
  report.merge =
      MergeEffectEntry(category.list, report.entry.group, report.entry.name, report.entry.line);
  return report;
}

}  // namespace fx
