// The end of a run: which files are written back, in which order, with which change bits.
#pragma once

#include <string>
#include <vector>

#include "effects/effect_category.h"
#include "effects/host_lists.h"

namespace fx {

struct PlannedWrite {
  std::string fileName;
  ChangeMask bit;
  const EffectCategory* category;  // null for the title list
};

// An installation's write-back: every category list that holds a section, in table order,
// then the title list if it holds a line.
std::vector<PlannedWrite> PlanWriteBack(const HostLists& lists);

// A removal's write-back: the files whose bits are in changed, in the same order, also a list
// that has no section left.
std::vector<PlannedWrite> PlanWriteBack(ChangeMask changed);

// The name of every file that a run may write: the seven lists, the title list and the
// installation record.
std::vector<std::string> WritableFileNames();

struct WriteBackResult {
  ChangeMask mask = 0;                // the bits of the files whose write was attempted
  ChangeMask written = 0;             // the bits of the files written
  std::vector<std::string> failures;  // one line for each file that could not be written
};

// Writes the planned files of lists into directory. A file that could not be written keeps its
// bit in mask, and the later files are written all the same.
WriteBackResult WriteBack(const std::vector<PlannedWrite>& plan, const HostLists& lists,
                          const std::string& directory);

}  // namespace fx
