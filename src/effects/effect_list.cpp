#include "effects/effect_list.h"

#include <utility>

#include "common/narrow_string.h"
#include "effects/merge_index.h"
#include "platform/text_file.h"

namespace fx {
namespace {

bool IsHeaderLine(std::string_view trimmed) {
  return !trimmed.empty() && (trimmed[0] == '+' || trimmed[0] == '*');
}

}  // namespace

EffectList::EffectList() = default;
EffectList::~EffectList() = default;
EffectList::EffectList(EffectList&&) noexcept = default;
EffectList& EffectList::operator=(EffectList&&) noexcept = default;

LoadResult LoadEffectList(EffectList& list, const std::string& path) {
  platform::TextFileReader file;
  LoadResult result;
  result.status = file.ReadAll(path);
  if (result.status != platform::OpenStatus::kRead) {
    result.reason = file.Error();
    return result;
  }

  EffectSection open;
  std::string_view line;
  while (file.ReadLine(line)) {
    line = Trim(line);
    if (line.empty()) continue;
    if (IsHeaderLine(line)) {
      if (!open.name.empty()) {
        open.lines.shrink_to_fit();
        list.sections.push_back(std::move(open));
        open = EffectSection();
      }
      if (open.name.empty()) open.name = line.substr(1);
    }
    open.lines.push_back(line);
  }
  if (!open.lines.empty()) list.sections.push_back(std::move(open));
  list.text.Adopt(file.TakeBytes());
  return result;
}

SaveResult SaveEffectList(const EffectList& list, const std::string& path,
                          platform::ReplacementQueue* queue) {
  platform::TextFileWriter file;
  SaveResult result;
  if (file.Open(path)) {
    for (const EffectSection& section : list.sections) {
      for (const std::string_view line : section.lines) file.WriteLine(line);
      file.WriteLine("");
    }
    if (queue ? file.CommitLater(*queue) : file.Commit()) return result;
  }
  result.ok = false;
  result.reason = file.Error();
  return result;
}

}  // namespace fx
