// Any entries into any list: merging keeps every line that was there, in place, except named
// lines overwritten by a line of the same name; sections are never removed or moved, new ones
// come at the end; and a list that answers from its lookup tables ends exactly like one that
// is scanned.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_category.h"
#include "effects/effect_list.h"
#include "effects/merge_index.h"
#include "fuzz_support.h"
#include "package/split.h"

namespace {

using Snapshot = std::vector<std::pair<std::string, std::vector<std::string>>>;

Snapshot Take(const fx::EffectList& list) {
  Snapshot snapshot;
  for (const fx::EffectSection& section : list.sections) {
    snapshot.emplace_back(std::string(section.name),
                          std::vector<std::string>(section.lines.begin(), section.lines.end()));
  }
  return snapshot;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fx;
  // The first line holds the entries, separated by ";"; the rest is the list file.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lf = input.find('\n');
  if (lf == std::string_view::npos) return 0;
  std::vector<std::string> entries;
  SplitByDelimiter(input.substr(0, lf), ";", entries);
  const std::string path = fuzz::WriteScratchFile("list.txt", input.substr(lf + 1));

  EffectList scanned;
  EffectList indexed;
  LoadEffectList(scanned, path);
  LoadEffectList(indexed, path);
  const Snapshot before = Take(scanned);
  // The indexed list builds its tables at its first merge.
  indexed.index = std::make_unique<MergeIndex>();
  indexed.index->merges = kIndexAfterMerges - 1;
  for (std::uint32_t i = 0; i < indexed.sections.size(); ++i) {
    indexed.index->mergesIntoSection[i] = kIndexAfterMerges - 1;
  }

  for (const std::string& entry : entries) {
    const ParsedEntry parsed = ParseEffectEntry(entry);
    const MergeOutcome outcome = MergeEffectEntry(scanned, parsed.group, parsed.name, parsed.line);
    FX_FUZZ_CHECK(MergeEffectEntry(indexed, parsed.group, parsed.name, parsed.line) == outcome);
  }
  const Snapshot after = Take(scanned);
  FX_FUZZ_CHECK(Take(indexed) == after);

  FX_FUZZ_CHECK(after.size() >= before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    FX_FUZZ_CHECK(after[i].first == before[i].first);
    const std::vector<std::string>& old = before[i].second;
    const std::vector<std::string>& now = after[i].second;
    FX_FUZZ_CHECK(now.size() >= old.size());
    for (std::size_t j = 0; j < old.size(); ++j) {
      if (now[j] == old[j]) continue;
      FX_FUZZ_CHECK(!NameOfLine(old[j]).empty() && NameOfLine(now[j]) == NameOfLine(old[j]));
    }
  }
  // A new section starts with "+" and its group; a later entry may only have overwritten that
  // header with a line of the same name.
  for (std::size_t i = before.size(); i < after.size(); ++i) {
    const std::vector<std::string>& lines = after[i].second;
    const std::string header = "+" + after[i].first;
    FX_FUZZ_CHECK(lines.size() >= 2);
    FX_FUZZ_CHECK(lines[0] == header ||
                  (!NameOfLine(header).empty() && NameOfLine(lines[0]) == NameOfLine(header)));
  }
  return 0;
}
