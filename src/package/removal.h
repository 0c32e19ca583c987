// Undoing what one package's installation changed, as its record (install_record.h) says.
//
// The package's entries are undone newest first, each by the text it left:
// - A line it appended, or the first line of a section it created, is removed if its text is
//   still there. A created section left with its header alone goes too.
// - A line it overwrote gets its old text back if it still holds the package's text.
// - When another package relies on such a line (it found it present when it was installed),
//   the line stays and that package's record takes over what this one did, so that its own
//   removal takes the line out or gives the old text back. When another package overwrote the
//   line since, that package's record takes over the old text (or, for an appended line, the
//   appending), so that removing both, in either order, gives back what was there before.
// - A line that is not as the package left it, and that no other package's record explains,
//   was changed by hand: it is left as it is. An added line that is gone, or an overwritten
//   line that has its old text back, needs nothing more (a removal interrupted part-way).
// - Its title line is removed if the package added it; one registered before stays.
// - Entries of a line it found present need nothing undone.
#pragma once

#include <string>
#include <vector>

#include "effects/host_lists.h"
#include "effects/install_record.h"
#include "package/package_section.h"

namespace fx {

struct RemovalStep {
  enum class Effect {
    kLineRemoved,
    kSectionRemoved,  // the line and the section it was created with, left with its header
    kLineRestored,
    kHandedOver,     // another package's record takes it over (otherPackage)
    kChangedByHand,  // left as it is (currentLine: what it holds now; empty when gone)
    kAlreadyUndone,  // the line is gone, or has its old text back (an interrupted removal)
    kNothingToUndo,  // a line or title that was there before the package
    kTitleRemoved,
    kListUnreadable,  // its file cannot be read: the entry stays in the record
  };
  RecordEntry entry;
  Effect effect = Effect::kNothingToUndo;
  std::string otherPackage;
  std::string currentLine;

  // Internal: where the entry stands in the record, and what another package's entry becomes.
  std::size_t index = 0;
  std::size_t otherPackageIndex = 0;
  std::size_t otherEntryIndex = 0;
  RecordEntry otherEntry;
};

struct RemovalPlan {
  std::vector<RemovalStep> steps;  // newest entry first
  ChangeMask changed = 0;          // the lists (and 0x20: the title list) that were changed
};

// Undoes package's recorded entries in lists, loading each list file from directory at its
// first use. The record itself is left as it is: UpdateRecordAfterRemoval applies the plan.
RemovalPlan RemovePackage(const InstallRecord& record, const std::string& package,
                          const std::string& directory, HostLists& lists);

// Takes package's entries out of record and applies what other packages take over, except for
// the entries whose file is not in written (the bits of the files written back): those stay, so
// that a later removal finishes the job.
void UpdateRecordAfterRemoval(InstallRecord& record, const std::string& package,
                              const RemovalPlan& plan, ChangeMask written);

// For a package installed before records were kept: removes, from the first section of their
// group, the lines that its section in the config declares, where a line's text equals the
// declared line exactly, and its title line when it registers as a title package. A line that
// another section of the config declares too stays (kHandedOver, otherPackage naming that
// section). A declared line that is not there is kAlreadyUndone. Nothing can be restored: what
// the package overwrote is not known. The steps carry kAppended entries in declaration order.
struct PackageDeclaration {
  std::string name;
  std::vector<std::pair<const EffectCategory*, ParsedEntry>> entries;
  bool title = false;
};
PackageDeclaration DeclarationOf(const std::string& name, const PackageTable& table);
RemovalPlan RemoveDeclared(const PackageDeclaration& package,
                           const std::vector<PackageDeclaration>& others,
                           const std::string& directory, HostLists& lists);

// The bit of a record entry's file: its category's change bit, or 0x20 for the title.
ChangeMask BitOf(const RecordEntry& entry);

}  // namespace fx
