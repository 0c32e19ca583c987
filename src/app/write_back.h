// The end of a run: which files are written back, in which order, with which change bits.
#pragma once

#include <string>
#include <vector>

#include "effects/effect_category.h"
#include "effects/run_state.h"

namespace fx {

struct PlannedWrite {
  std::string fileName;
  ChangeMask bit;
  const EffectCategory* category;  // null for the title list
};

// Every category list that holds a section, in table order, then the title list if it holds a
// line.
std::vector<PlannedWrite> PlanWriteBack(const RunState& state);

// The path of every file that a run may write: the seven lists and the title list.
std::vector<std::string> WritableFilePaths(const RunState& state);

// Writes the planned files and returns the mask of those whose write was attempted; a file
// that could not be written keeps its bit and is reported in state.problems.
ChangeMask WriteBack(RunState& state);

}  // namespace fx
