#include "app/write_back.h"

#include "app/problems.h"
#include "effects/effect_list.h"
#include "effects/install_record.h"
#include "effects/title_list.h"
#include "platform/file.h"

namespace fx {

std::vector<PlannedWrite> PlanWriteBack(const HostLists& lists) {
  std::vector<PlannedWrite> plan;
  for (const EffectCategory& category : kEffectCategories) {
    if (!lists.categories[category.row].list.sections.empty()) {
      plan.push_back({std::string(category.listFile), category.changeBit, &category});
    }
  }
  if (!lists.titles.lines.empty()) plan.push_back({kTitleListFile, kTitleListBit, nullptr});
  return plan;
}

std::vector<PlannedWrite> PlanWriteBack(ChangeMask changed) {
  std::vector<PlannedWrite> plan;
  for (const EffectCategory& category : kEffectCategories) {
    if (changed & category.changeBit) {
      plan.push_back({std::string(category.listFile), category.changeBit, &category});
    }
  }
  if (changed & kTitleListBit) plan.push_back({kTitleListFile, kTitleListBit, nullptr});
  return plan;
}

std::vector<std::string> WritableFileNames() {
  std::vector<std::string> names;
  for (const EffectCategory& category : kEffectCategories) names.emplace_back(category.listFile);
  names.emplace_back(kTitleListFile);
  names.emplace_back(kInstallRecordFile);
  return names;
}

WriteBackResult WriteBack(const std::vector<PlannedWrite>& plan, const HostLists& lists,
                          const std::string& directory) {
  WriteBackResult result;
  for (const PlannedWrite& write : plan) {
    const std::string path = platform::PathIn(directory, write.fileName);
    const SaveResult saved = write.category
                                 ? SaveEffectList(lists.categories[write.category->row].list, path)
                                 : SaveTitleList(lists.titles, path);
    if (!saved.ok) result.failures.push_back(problem::CannotWrite(path, saved.reason));
    result.mask |= write.bit;
    if (saved.ok) result.written |= write.bit;
  }
  return result;
}

}  // namespace fx
