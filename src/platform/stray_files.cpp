#include "platform/stray_files.h"

#include <map>
#include <set>

#include "platform/file.h"

namespace fx::platform {
namespace {

bool IsDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The stray files of one file: by replacement id, the temporary and the backup file's paths.
struct Strays {
  std::string path;
  std::map<std::string, std::pair<std::string, std::string>, std::less<>> byId;
};

// The path of stray when its maker is gone, otherwise empty.
std::string Abandoned(const std::string& stray) {
  return !stray.empty() && internal::MakerIsGone(stray) ? stray : std::string();
}

void CleanUp(const Strays& strays) {
  std::vector<std::string> abandoned;
  std::string recovery;  // what takes the missing file's place
  for (const auto& [id, files] : strays.byId) {
    const std::string temp = Abandoned(files.first);
    const std::string backup = Abandoned(files.second);
    if (!backup.empty()) recovery = temp.empty() ? backup : temp;
    abandoned.push_back(temp);
    abandoned.push_back(backup);
  }
  if (!recovery.empty() && !internal::Exists(strays.path)) {
    internal::MoveInPlace(recovery, strays.path);
  }
  for (const std::string& stray : abandoned) {
    if (!stray.empty() && internal::Exists(stray)) internal::Remove(stray);
  }
}

}  // namespace

bool ParseStrayName(std::string_view name, StrayName& stray) {
  const size_t marker = name.rfind(".~fx");
  if (marker == std::string_view::npos || name.size() < marker + 8) return false;
  const std::string_view suffix = name.substr(name.size() - 4);
  if (suffix != ".tmp" && suffix != ".old") return false;
  const std::string_view id = name.substr(marker + 4, name.size() - 4 - marker - 4);
  const size_t dash = id.find('-');
  if (dash == std::string_view::npos || !IsDigits(id.substr(0, dash)) ||
      !IsDigits(id.substr(dash + 1))) {
    return false;
  }
  stray.file = name.substr(0, marker);
  stray.id = id;
  stray.backup = suffix == ".old";
  return !stray.file.empty();
}

void CleanUpInterruptedReplacements(const std::vector<std::string>& paths) {
  using namespace internal;
  // The files to look after, by directory and name, so that each directory is listed once.
  std::map<std::string, std::map<std::string, Strays, std::less<>>> files;
  for (const std::string& path : paths) {
    const std::string resolved = ResolvePath(path);
    if (resolved.empty()) continue;
    const std::string name = resolved.substr(resolved.rfind(kPathSeparator) + 1);
    files[DirectoryOf(resolved)][name].path = resolved;
  }
  for (auto& [directory, byName] : files) {
    for (const std::string& name : NamesIn(directory)) {
      StrayName stray;
      if (!ParseStrayName(name, stray)) continue;
      const auto file = byName.find(stray.file);
      if (file == byName.end()) continue;
      auto& pair = file->second.byId[std::string(stray.id)];
      (stray.backup ? pair.second : pair.first) = directory + kPathSeparator + name;
    }
    for (const auto& [name, strays] : byName) CleanUp(strays);
  }
}

}  // namespace fx::platform
