// "MovieTitle.txt": the registered title packages, one package name per line. Every line,
// empty or not, is an entry; lines are never trimmed, sorted, removed or merged.
#pragma once

#include <string>

#include "effects/effect_list.h"
#include "effects/run_state.h"

namespace fx {

inline constexpr char kTitleListFile[] = "MovieTitle.txt";
inline constexpr ChangeMask kTitleListBit = 0x20;

enum class TitleOutcome {
  kAdded,          // the name was appended
  kAlreadyListed,  // a line equals the name; the list is unchanged
  kUnreadable,     // the file exists but could not be read: it is left alone
};

// Loads "MovieTitle.txt" into state.titleList while it holds no line (a missing file gives an
// empty list), then appends packageName unless a line equals it exactly. A file that exists
// but cannot be read is reported and left alone: the list stays empty and is not written.
TitleOutcome RegisterTitlePackage(RunState& state, const std::string& packageName);

// Writes state.titleList to "MovieTitle.txt", each line followed by CR LF, the last included.
SaveResult SaveTitleList(const RunState& state);

}  // namespace fx
