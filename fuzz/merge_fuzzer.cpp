// Any entries into any list: merging keeps every line that was there, in place, except named
// lines overwritten by a line of the same name; sections are never removed or moved, new ones
// come at the end; and merging through the lookup tables ends exactly like the scanning
// oracle.
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
#include "support/merge_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fx;
  // The first line holds the entries, separated by ";"; the rest is the list file.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lf = input.find('\n');
  if (lf == std::string_view::npos) return 0;
  std::vector<std::string> entries;
  SplitByDelimiter(input.substr(0, lf), ";", entries);
  const std::string path = fuzz::WriteScratchFile("list.txt", input.substr(lf + 1));

  // The tables answer from the first entry here, so that they are checked on every input.
  EffectList list;
  list.indexAfterMerges = 0;
  LoadEffectList(list, path);
  const test::SectionTexts before = test::TextsOf(list);
  test::SectionTexts scanned = before;

  for (const std::string& entry : entries) {
    const ParsedEntry parsed = ParseEffectEntry(entry);
    const MergeOutcome outcome = test::ScanMerge(scanned, parsed.group, parsed.name, parsed.line);
    FX_FUZZ_CHECK(MergeEffectEntry(list, parsed.group, parsed.name, parsed.line).outcome ==
                  outcome);
  }
  const test::SectionTexts after = test::TextsOf(list);
  FX_FUZZ_CHECK(scanned == after);

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
