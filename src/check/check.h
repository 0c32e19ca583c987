// fxcheck: what installing a package would do, told without changing a file.
#pragma once

#include <ostream>
#include <string>

namespace fx {

inline constexpr int kCheckAllApplied = 0;  // every entry would be added, overwritten or found
inline constexpr int kCheckWarnings = 1;    // something would be ignored, or a warning was printed
inline constexpr int kCheckFailed = 2;      // no package to install, or a file cannot be read

// Reads what an installation of packageName in appDirectory would read, runs the same
// merge in memory, and prints the plan to out, one item per line. Writes nothing.
int CheckPackage(const std::string& appDirectory, const std::string& packageName,
                 std::ostream& out);

}  // namespace fx
