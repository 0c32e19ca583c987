// The package configuration file "ExEffConfig.ini" and the reading of one package's section.
//
// The section of package P starts at the first line that is "[P]" once trimmed (P byte for
// byte, untrimmed, case-sensitive) and ends before the next line that starts with "[" once
// trimmed, or at the end of the file. Lines starting with "#" are comments. A body line is
// key "=" value, both trimmed, split at the first "="; the first line of a key counts.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_category.h"
#include "effects/host_lists.h"
#include "effects/title_list.h"
#include "platform/file.h"

namespace fx {

inline constexpr char kPackageConfigFile[] = "ExEffConfig.ini";

// The keys and values of one package section; a key keeps the value of its first line.
using PackageTable = std::map<std::string, std::string>;

// One line of the section's body and what it does, for a caller that explains a package.
struct BodyLine {
  enum class Effect {
    kKey,          // key = value, the first line of its key
    kRepeatedKey,  // a later line of a key: ignored
    kNoEquals,     // no "=": ignored
    kEmptyKey,     // nothing before "=": ignored
    kComment,      // starts with "#": ignored
    kBlank,
  };
  std::size_t number = 0;  // in the file, from 1
  std::string text;        // trimmed
  std::string key;         // kKey, kRepeatedKey
  Effect effect = Effect::kBlank;
};

struct PackageSection {
  platform::OpenStatus status = platform::OpenStatus::kRead;  // of reading the config file
  std::string reason;          // why the file is missing or could not be read
  bool found = false;          // the package's header line was in the file
  std::size_t headerLine = 0;  // its line number, from 1
  PackageTable table;
  std::vector<BodyLine> body;
};

// The header line that opens the section of packageName, once trimmed: "[" packageName "]".
std::string SectionHeaderOf(const std::string& packageName);

// Reads the section of packageName from the config file at path. A file that cannot be read
// to its end gives kFailed and no table.
PackageSection ReadPackageSection(const std::string& path, const std::string& packageName);

// What dispatching a package section did.
struct DispatchReport {
  struct Item {
    const EffectCategory* category;
    std::string item;  // as split from the value, untrimmed
    EntryReport report;
  };
  std::vector<Item> items;            // in dispatch order
  std::optional<TitleOutcome> title;  // when the section registers the package
};

// Acts on a section that was read: the entries of each category key, in the order of
// kEffectCategories, go one by one to AddCategoryEntry with the list of lists and its file in
// appDirectory; last, a "Dir" of "MovieTitle" registers the package in the title list, which is
// read from its file first. A title file that exists but cannot be read is left alone.
DispatchReport DispatchPackageSection(const PackageSection& section, const std::string& packageName,
                                      const std::string& appDirectory, HostLists& lists);

// Called with each category, in the order of kEffectCategories, once its entries are merged:
// its list is final then.
using CategoryDone = std::function<void(const EffectCategory&)>;

// Dispatches as above, handing each category to categoryDone once its entries are merged, and
// keeps no report (a few hundred bytes per entry, which the installer does not need).
void DispatchPackageSection(const PackageSection& section, const std::string& packageName,
                            const std::string& appDirectory, HostLists& lists,
                            const CategoryDone& categoryDone);

}  // namespace fx
