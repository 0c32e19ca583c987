// What FileReplacement and ReplacementQueue do alike on every system.
#include <utility>

#include "platform/file.h"
#include "platform/stray_files.h"

namespace fx::platform {

bool FileReplacement::Fail(std::string& reason, const std::string& why) {
  reason = why;
  Abandon();
  return false;
}

void FileReplacement::Abandon() {
  tempFile_.Close();
  if (!temp_.empty()) internal::Remove(temp_);
  temp_.clear();
  targetLock_.Close();
  inPlaceText_.clear();
  inPlaceText_.shrink_to_fit();
  inPlace_ = false;
}

std::vector<ReplacementQueue::Outcome> ReplacementQueue::Commit() {
  CommitPending();
  return std::exchange(outcomes_, {});
}

}  // namespace fx::platform
