#include "effects/effect_list.h"

#include <utility>

#include "common/narrow_string.h"
#include "platform/text_file.h"

namespace fx {
namespace {

bool IsHeaderLine(const std::string& trimmed) {
  return !trimmed.empty() && (trimmed[0] == '+' || trimmed[0] == '*');
}

}  // namespace

LoadResult LoadEffectList(EffectList& list, const std::string& path) {
  platform::TextFileReader file;
  LoadResult result;
  result.status = file.Open(path);
  if (result.status != platform::OpenStatus::kOpened) {
    result.reason = file.Error();
    return result;
  }

  std::vector<EffectSection> read;
  EffectSection open;
  std::string line;
  while (file.ReadLine(line)) {
    TrimInPlace(line);
    if (line.empty()) continue;
    if (IsHeaderLine(line) && !open.name.empty()) {
      read.push_back(std::move(open));
      open = EffectSection();
    }
    if (IsHeaderLine(line) && open.name.empty()) open.name = line.substr(1);
    open.lines.push_back(std::move(line));
  }
  if (file.Failed()) {
    result.status = platform::OpenStatus::kFailed;
    result.reason = file.Error();
    return result;
  }
  if (!open.lines.empty()) read.push_back(std::move(open));

  for (EffectSection& section : read) list.sections.push_back(std::move(section));
  return result;
}

SaveResult SaveEffectList(const EffectList& list, const std::string& path) {
  platform::TextFileWriter file;
  SaveResult result;
  if (file.Open(path)) {
    for (const EffectSection& section : list.sections) {
      for (const std::string& line : section.lines) {
        file.WriteString(line);
        file.WriteString("\n");
      }
      file.WriteString("\n");
    }
    if (file.Commit()) return result;
  }
  result.ok = false;
  result.reason = file.Error();
  return result;
}

}  // namespace fx
