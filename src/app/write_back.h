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

// Every category list that holds a section, in table order, then the title list if it holds a
// line.
std::vector<PlannedWrite> PlanWriteBack(const HostLists& lists);

// The name of every file that a run may write: the seven lists and the title list.
std::vector<std::string> WritableFileNames();

struct WriteBackResult {
  ChangeMask mask = 0;                // the bits of the files whose write was attempted
  std::vector<std::string> failures;  // one line for each file that could not be written
};

// Writes the planned files back into directory while a run still works on the later ones:
// each category's list as soon as it is final (its entries merged), after which its memory is
// freed, and the title list at the end. Each file's new text goes to disk at once, and all of
// them take their places together in Finish(), in the planned order (platform/file.h,
// ReplacementQueue). A file that could not be written keeps its bit, and the later files are
// written all the same.
class StagedWriteBack {
 public:
  explicit StagedWriteBack(std::string directory) : directory_(std::move(directory)) {}

  // Writes the list of category if it holds a section, and empties the list; how it was read
  // (CategoryList::load) stays.
  void WriteList(HostLists& lists, const EffectCategory& category);

  // Writes the title list if it holds a line, and puts every file written in place, in order.
  WriteBackResult Finish(const HostLists& lists);

 private:
  struct Written {
    std::string path;
    bool queued = false;  // its text is in queue_; otherwise failure says why not
    std::string failure;
  };
  void Add(const std::string& path, ChangeMask bit, const SaveResult& saved);

  std::string directory_;
  platform::ReplacementQueue queue_;
  std::vector<Written> written_;
  ChangeMask mask_ = 0;
};

// Writes the planned files into directory, as StagedWriteBack does, emptying the lists.
WriteBackResult WriteBack(HostLists& lists, const std::string& directory);

}  // namespace fx
