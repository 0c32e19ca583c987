// What every kind of list file shares when it is read or written whole: the effect lists, the
// title list and the installation record.
#pragma once

#include <string>

#include "effects/effect_list.h"
#include "platform/text_file.h"

namespace fx {

// Reads the whole file at path into file; the status says whether it is there to be parsed.
inline LoadResult ReadWholeFile(platform::TextFileReader& file, const std::string& path) {
  LoadResult result;
  result.status = file.ReadAll(path);
  if (result.status != platform::OpenStatus::kRead) result.reason = file.Error();
  return result;
}

// Replaces the file at path, as a whole or not at all, by what writeLines(writer) writes: at
// once, or, given a queue, when the queue commits (platform/file.h).
template <typename WriteLines>
SaveResult ReplaceWholeFile(const std::string& path, WriteLines writeLines,
                            platform::ReplacementQueue* queue = nullptr) {
  platform::TextFileWriter file;
  SaveResult result;
  if (file.Open(path)) {
    writeLines(file);
    if (queue ? file.CommitLater(*queue) : file.Commit()) return result;
  }
  result.ok = false;
  result.reason = file.Error();
  return result;
}

}  // namespace fx
