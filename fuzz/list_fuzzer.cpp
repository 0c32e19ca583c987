// Any list file: loading keeps every non-blank line, trimmed, in file order; saving what was
// loaded and loading it again gives the same sections; the second save repeats the first's
// bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/narrow_string.h"
#include "effects/effect_list.h"
#include "fuzz_support.h"

namespace {

// The file's non-blank lines, trimmed, by the text-mode rules (written out again here, so that
// the loader is checked against an independent reading).
std::vector<std::string_view> ExpectedLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  while (!bytes.empty()) {
    const std::size_t lf = bytes.find('\n');
    std::string_view line = bytes.substr(0, lf);
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = fx::Trim(line);
    if (!line.empty()) lines.push_back(line);
    if (lf == std::string_view::npos) break;
    bytes.remove_prefix(lf + 1);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fx;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = fuzz::WriteScratchFile("list.txt", bytes);

  EffectList list;
  FX_FUZZ_CHECK(LoadEffectList(list, path).status == platform::OpenStatus::kRead);
  FX_FUZZ_CHECK(fuzz::AllLines(list) == ExpectedLines(bytes));

  FX_FUZZ_CHECK(SaveEffectList(list, path).ok);
  const std::string first = fuzz::ReadScratchFile("list.txt");
  EffectList again;
  FX_FUZZ_CHECK(LoadEffectList(again, path).status == platform::OpenStatus::kRead);
  FX_FUZZ_CHECK(again.sections.size() == list.sections.size());
  for (std::size_t i = 0; i < list.sections.size(); ++i) {
    FX_FUZZ_CHECK(again.sections[i].name == list.sections[i].name);
    FX_FUZZ_CHECK(again.sections[i].lines == list.sections[i].lines);
  }
  FX_FUZZ_CHECK(SaveEffectList(again, path).ok);
  FX_FUZZ_CHECK(fuzz::ReadScratchFile("list.txt") == first);
  return 0;
}
