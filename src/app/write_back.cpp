#include "app/write_back.h"

#include "effects/effect_list.h"
#include "effects/title_list.h"

namespace fx {

std::vector<PlannedWrite> PlanWriteBack(const RunState& state) {
  std::vector<PlannedWrite> plan;
  for (const EffectCategory& category : kEffectCategories) {
    if (!state.lists[category.row].sections.empty()) {
      plan.push_back({std::string(category.listFile), category.changeBit, &category});
    }
  }
  if (!state.titleList.lines.empty()) plan.push_back({kTitleListFile, kTitleListBit, nullptr});
  return plan;
}

std::vector<std::string> WritableFilePaths(const RunState& state) {
  std::vector<std::string> paths;
  for (const EffectCategory& category : kEffectCategories) {
    paths.push_back(state.PathOf(category.listFile));
  }
  paths.push_back(state.PathOf(kTitleListFile));
  return paths;
}

ChangeMask WriteBack(RunState& state) {
  ChangeMask mask = 0;
  for (const PlannedWrite& write : PlanWriteBack(state)) {
    const SaveResult saved = write.category ? SaveEffectList(state.lists[write.category->row],
                                                             state.PathOf(write.fileName))
                                            : SaveTitleList(state);
    if (!saved.ok) {
      state.problems.push_back("cannot write " + state.PathOf(write.fileName) + ": " +
                               saved.reason);
    }
    mask |= write.bit;
  }
  return mask;
}

}  // namespace fx
