// "MovieTitle.txt": the registered title packages, one package name per line. Every line,
// empty or not, is an entry; lines are never trimmed, sorted, removed or merged.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_category.h"
#include "effects/effect_list.h"
#include "effects/text_store.h"

namespace fx {

inline constexpr char kTitleListFile[] = "MovieTitle.txt";
inline constexpr ChangeMask kTitleListBit = 0x20;
// The package section's line that registers a package as a title package: Dir=MovieTitle.
inline constexpr char kTitleKey[] = "Dir";
inline constexpr char kTitleValue[] = "MovieTitle";

// The lines of "MovieTitle.txt", each without its line end, in file order, and their bytes.
struct TitleList {
  std::vector<std::string_view> lines;
  TextStore text;
};

// Appends the lines of the file at path to titles, exactly as read. kMissing: no file, and
// titles unchanged; kFailed: the file exists but could not be read to its end, titles
// unchanged.
LoadResult LoadTitleList(TitleList& titles, const std::string& path);

// Writes titles to the file at path, each line followed by CR LF, the last included,
// replacing the file as a whole or not at all; with a queue, as SaveEffectList() does.
SaveResult SaveTitleList(const TitleList& titles, const std::string& path,
                         platform::ReplacementQueue* queue = nullptr);

enum class TitleOutcome {
  kAdded,          // the name was appended
  kAlreadyListed,  // a line equals the name; the list is unchanged
  kUnreadable,     // the file exists but could not be read: it is left alone
};

// Appends packageName to titles unless a line equals it exactly (kAdded or kAlreadyListed).
TitleOutcome RegisterTitlePackage(TitleList& titles, const std::string& packageName);

}  // namespace fx
