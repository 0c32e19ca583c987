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

void StagedWriteBack::Write(const PlannedWrite& write, const HostLists& lists) {
  const std::string path = platform::PathIn(directory_, write.fileName);
  const SaveResult saved =
      write.category ? SaveEffectList(lists.categories[write.category->row].list, path, &queue_)
                     : SaveTitleList(lists.titles, path, &queue_);
  written_.push_back({path, write.bit, saved.ok, saved.ok ? std::string() : saved.reason});
}

void StagedWriteBack::WriteList(HostLists& lists, const EffectCategory& category) {
  EffectList& list = lists.categories[category.row].list;
  if (list.sections.empty()) return;
  Write({std::string(category.listFile), category.changeBit, &category}, lists);
  list = EffectList();
}

void StagedWriteBack::WriteTitleList(const HostLists& lists) {
  if (!lists.titles.lines.empty()) Write({kTitleListFile, kTitleListBit, nullptr}, lists);
}

WriteBackResult StagedWriteBack::Finish() {
  WriteBackResult result;
  const std::vector<platform::ReplacementQueue::Outcome> outcomes = queue_.Commit();
  auto outcome = outcomes.begin();
  for (Written& file : written_) {
    if (file.queued && !outcome->ok) file.failure = outcome->reason;
    if (file.queued) ++outcome;
    result.mask |= file.bit;
    if (file.failure.empty()) {
      result.written |= file.bit;
    } else {
      result.failures.push_back(problem::CannotWrite(file.path, file.failure));
    }
  }
  written_.clear();
  return result;
}

WriteBackResult WriteBack(const std::vector<PlannedWrite>& plan, const HostLists& lists,
                          const std::string& directory) {
  StagedWriteBack writeBack(directory);
  for (const PlannedWrite& write : plan) writeBack.Write(write, lists);
  return writeBack.Finish();
}

}  // namespace fx
