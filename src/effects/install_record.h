// The installation record "fxinstall-record.txt": what each installation changed in the lists,
// so that fxremove can undo exactly that.
//
// A text file in the app directory, in the system's code page like the lists, replaced as a
// whole like them. Every line ends in CR LF; blank lines and lines starting with "#" are
// comments. A package's block starts with a "package" line; its entries follow in the order in
// which they were made, one a line, fields separated by a TAB:
//
//   package     NAME
//   created     LIST  GROUP  LINE       section "+GROUP" created with LINE as its first line
//   appended    LIST  GROUP  LINE       LINE appended to the first section of GROUP
//   overwritten LIST  GROUP  OLD  NEW   the line OLD of that section overwritten with NEW
//   present     LIST  GROUP  LINE       LINE was there already (the package relies on it)
//   title       added | present         the package's line in "MovieTitle.txt"
//
// LIST is a list file's name (e.g. "TextInEffectList.txt"). In NAME, GROUP, LINE, OLD and NEW a
// backslash, TAB, CR and LF are written as "\\", "\t", "\r" and "\n"; every other byte is
// itself. Lines are found again by their text (and an overwritten one by its name), not by
// their position, which later installations and the host editor may change.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_category.h"
#include "effects/effect_list.h"

namespace fx {

inline constexpr char kInstallRecordFile[] = "fxinstall-record.txt";

enum class RecordKind { kCreated, kAppended, kOverwritten, kPresent, kTitleAdded, kTitlePresent };

struct RecordEntry {
  RecordKind kind = RecordKind::kPresent;
  std::string list;  // the list file's name; empty for the title
  std::string group;
  std::string line;     // the text the package left (NEW for kOverwritten)
  std::string oldLine;  // kOverwritten: the text it replaced

  bool operator==(const RecordEntry&) const = default;
};

struct PackageRecord {
  std::string name;
  std::vector<RecordEntry> entries;  // oldest first
};

struct InstallRecord {
  std::vector<PackageRecord> packages;  // in the order of their first installation

  PackageRecord* Find(std::string_view package);
};

// Reads the record at path into record. kMissing: no record yet (record unchanged). kFailed:
// the file cannot be read, or holds a line that is not of the format above (reason names it):
// it is never rewritten then.
LoadResult LoadInstallRecord(InstallRecord& record, const std::string& path);

// Writes record to path, replacing the file as a whole or not at all. Packages without entries
// are left out.
SaveResult SaveInstallRecord(const InstallRecord& record, const std::string& path);

// The record of one merged entry of category, or nothing when the merge changed nothing that
// anyone relies on (the entry was ignored or its list unreadable). An overwrite with the same
// text is a kPresent.
bool RecordOf(const EffectCategory& category, const EntryReport& report, RecordEntry& entry);

// Adds entries to package's block (made when missing), leaving out each one whose list, group
// and text the block holds already: installing a package again records nothing new.
void AddToRecord(InstallRecord& record, const std::string& package,
                 const std::vector<RecordEntry>& entries);

}  // namespace fx
