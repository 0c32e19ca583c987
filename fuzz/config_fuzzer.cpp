// Any config file and package name: the section reader and the dispatch of its entries into
// the lists (whose files are missing, so every list starts empty) never crash, and every list
// that holds a section is written and read back with all its lines, in order. (Not always in
// the same sections: an entry line that starts with "+" or "*" is a header line when read.)
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "effects/effect_list.h"
#include "effects/host_lists.h"
#include "fuzz_support.h"
#include "package/package_section.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fx;
  // The first line is the package name, the rest the config file.
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lf = input.find('\n');
  if (lf == std::string_view::npos || lf == 0) return 0;
  const std::string package(input.substr(0, lf));
  fuzz::WriteScratchFile("ExEffConfig.ini", input.substr(lf + 1));

  const PackageSection section =
      ReadPackageSection(fuzz::ScratchDirectory() + "/ExEffConfig.ini", package);
  FX_FUZZ_CHECK(section.status == platform::OpenStatus::kRead);
  HostLists lists;
  DispatchPackageSection(section, package, fuzz::ScratchDirectory(), lists);
  for (const CategoryList& category : lists.categories) {
    FX_FUZZ_CHECK(!category.Unreadable());
    const EffectList& list = category.list;
    if (list.sections.empty()) continue;
    const std::string path = fuzz::ScratchDirectory() + "/list.txt";
    FX_FUZZ_CHECK(SaveEffectList(list, path).ok);
    EffectList again;
    FX_FUZZ_CHECK(LoadEffectList(again, path).status == platform::OpenStatus::kRead);
    FX_FUZZ_CHECK(fuzz::AllLines(again) == fuzz::AllLines(list));
  }
  return 0;
}
