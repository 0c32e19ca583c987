// What interrupted file replacements (see file.h) leave behind, and its clean-up.
//
// A replacement of "<name>" makes "<name>.~fx<id>.tmp", the new text, and on Windows moves the
// old file aside as "<name>.~fx<id>.old" for the moment of the swap; id is "<process id>-<n>".
// A process killed part-way, or a machine that stops, can leave either behind, and on Windows
// can leave "<name>" itself missing, its old text in the ".old" file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fx::platform {

// The parts of a stray file's name; false for any other name.
struct StrayName {
  std::string_view file;  // the name of the file it was made for
  std::string_view id;
  bool backup = false;  // ".old": the old file moved aside
};
bool ParseStrayName(std::string_view name, StrayName& stray);

// Cleans up beside each of the files at paths (links followed): only stray files of the
// pattern above, and only those whose maker is gone (POSIX: no process holds the lock that it
// takes on its temporary file; Windows: no process holds them open).
// - A file that exists: its stray files are removed.
// - A file that is missing while a backup of it exists is recovered: from the temporary file of
//   the same replacement when there is one, since that is complete (the old file is moved aside
//   only after the new text was written whole and flushed), otherwise from the backup. Then the
//   remaining stray files are removed.
// - A missing file without a backup: its temporary files were about to create it and may be
//   incomplete; they are removed.
// Failures are not reported: what cannot be removed now is removed by a later run.
void CleanUpInterruptedReplacements(const std::vector<std::string>& paths);

namespace internal {

// What the clean-up needs of each system; file_posix.cpp and file_win32.cpp implement it.
std::string ResolvePath(const std::string& path);  // links followed; empty on failure
std::string DirectoryOf(const std::string& path);
std::vector<std::string> NamesIn(const std::string& directory);
bool Exists(const std::string& path);
bool MakerIsGone(const std::string& stray);  // a regular file that nobody holds
bool MoveInPlace(const std::string& from, const std::string& to);
void Remove(const std::string& path);

}  // namespace internal
}  // namespace fx::platform
