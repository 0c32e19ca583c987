// The package configuration file "ExEffConfig.ini" and the reading of one package's section.
//
// The section of package P starts at the first line that is "[P]" once trimmed (P byte for
// byte, untrimmed, case-sensitive) and ends before the next line that starts with "[" once
// trimmed, or at the end of the file. Lines starting with "#" are comments. A body line is
// key "=" value, both trimmed, split at the first "="; the first line of a key counts.
#pragma once

#include <map>
#include <string>

#include "effects/run_state.h"
#include "platform/file.h"

namespace fx {

inline constexpr char kPackageConfigFile[] = "ExEffConfig.ini";

// The keys and values of one package section; a key keeps the value of its first line.
using PackageTable = std::map<std::string, std::string>;

struct PackageSection {
  platform::OpenStatus status = platform::OpenStatus::kOpened;  // of reading the config file
  std::string reason;   // why the file is missing or could not be read
  bool found = false;   // the package's header line was in the file
  PackageTable table;
};

// Reads the section of packageName from the config file at path. A file that cannot be read
// to its end gives kFailed and no table.
PackageSection ReadPackageTable(const std::string& path, const std::string& packageName);

// Reads the package's section from "ExEffConfig.ini" in state.appDirectory and acts on it:
// the entries of each category key, in the order of kEffectCategories, go one by one to
// AddCategoryEntry; last, a "Dir" of "MovieTitle" registers the package as a title package.
// A missing file or section does nothing. A file that exists but cannot be read is reported
// in state.problems and nothing is installed.
void ReadPackageSection(RunState& state, const std::string& packageName);

}  // namespace fx
