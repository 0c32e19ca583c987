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

// Every section of the config file at path, by name, each with its key table (the first
// section of a name counts, as for ReadPackageSection). kFailed: the file cannot be read.
struct ConfigSections {
  platform::OpenStatus status = platform::OpenStatus::kRead;
  std::string reason;
  std::vector<std::pair<std::string, PackageTable>> sections;
};
ConfigSections ReadEverySection(const std::string& path);

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

// Called with each category, in the order of kEffectCategories, once its entries are merged:
// its list is final then (the installer writes it back and frees it at once).
using CategoryDone = std::function<void(const EffectCategory&)>;

// Acts on a section that was read: the entries of each category key, in the order of
// kEffectCategories, go one by one to AddCategoryEntry with the list of lists and its file in
// appDirectory, and then the category, done, to categoryDone (when given); last, a "Dir" of
// "MovieTitle" registers the package in the title list, which is read from its file first. A
// title file that exists but cannot be read is left alone. The report copies what it needs:
// it stays valid when a list is freed.
DispatchReport DispatchPackageSection(const PackageSection& section, const std::string& packageName,
                                      const std::string& appDirectory, HostLists& lists,
                                      const CategoryDone& categoryDone = {});

}  // namespace fx
