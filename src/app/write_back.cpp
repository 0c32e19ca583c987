#include "app/write_back.h"

#include "app/problems.h"
#include "effects/effect_list.h"
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

std::vector<std::string> WritableFileNames() {
  std::vector<std::string> names;
  for (const EffectCategory& category : kEffectCategories) names.emplace_back(category.listFile);
  names.emplace_back(kTitleListFile);
  return names;
}

void StagedWriteBack::WriteList(HostLists& lists, const EffectCategory& category) {
  EffectList& list = lists.categories[category.row].list;
  if (list.sections.empty()) return;
  const std::string path = platform::PathIn(directory_, category.listFile);
  Add(path, category.changeBit, SaveEffectList(list, path, &queue_));
  list = EffectList();
}

WriteBackResult StagedWriteBack::Finish(const HostLists& lists) {
  if (!lists.titles.lines.empty()) {
    const std::string path = platform::PathIn(directory_, kTitleListFile);
    Add(path, kTitleListBit, SaveTitleList(lists.titles, path, &queue_));
  }
  WriteBackResult result;
  result.mask = mask_;
  const std::vector<platform::ReplacementQueue::Outcome> outcomes = queue_.Commit();
  auto outcome = outcomes.begin();
  for (Written& file : written_) {
    if (file.queued && !outcome->ok) file.failure = outcome->reason;
    if (file.queued) ++outcome;
    if (!file.failure.empty())
      result.failures.push_back(problem::CannotWrite(file.path, file.failure));
  }
  written_.clear();
  mask_ = 0;
  return result;
}

void StagedWriteBack::Add(const std::string& path, ChangeMask bit, const SaveResult& saved) {
  written_.push_back({path, saved.ok, saved.ok ? std::string() : saved.reason});
  mask_ |= bit;
}

WriteBackResult WriteBack(HostLists& lists, const std::string& directory) {
  StagedWriteBack writeBack(directory);
  for (const EffectCategory& category : kEffectCategories) writeBack.WriteList(lists, category);
  return writeBack.Finish(lists);
}

}  // namespace fx
