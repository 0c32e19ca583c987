// The end of a run: which files are written back, in which order, with which change bits.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "effects/effect_category.h"
#include "effects/host_lists.h"
#include "platform/file.h"

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

// Writes files back into directory while a run still works on the later ones: each file's new
// text goes to disk at once, and all of them take their places together in Finish(), in the
// order they were written (platform/file.h, ReplacementQueue). A file that could not be written
// keeps its bit, and the later files are written all the same.
class StagedWriteBack {
 public:
  explicit StagedWriteBack(std::string directory) : directory_(std::move(directory)) {}

  // Writes the planned file from lists.
  void Write(const PlannedWrite& write, const HostLists& lists);

  // Writes the list of category if it holds a section, and empties it, so that an installation
  // holds one list at a time; how it was read (CategoryList::load) stays.
  void WriteList(HostLists& lists, const EffectCategory& category);

  // Writes the title list if it holds a line.
  void WriteTitleList(const HostLists& lists);

  // Puts every file written in place, in order.
  WriteBackResult Finish();

 private:
  struct Written {
    std::string path;
    ChangeMask bit = 0;
    bool queued = false;  // its text is in queue_; otherwise failure says why not
    std::string failure;
  };

  std::string directory_;
  platform::ReplacementQueue queue_;
  std::vector<Written> written_;
};

// Writes the planned files into directory, as StagedWriteBack does.
WriteBackResult WriteBack(const std::vector<PlannedWrite>& plan, const HostLists& lists,
                          const std::string& directory);

}  // namespace fx
