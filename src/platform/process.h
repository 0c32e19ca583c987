// The process: start-up, its executable's path, and its standard output.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fx::platform {

// Prepares the process for the run (Windows: standard output passes bytes through unchanged,
// also when start-up then fails, and the module handle is there; Linux: freed heap memory is
// kept for reuse). False when the process cannot run.
bool StartUp();

// The full path of the running executable, of any length. False, with reason, when the system
// cannot say.
bool ExecutablePath(std::string& path, std::string& reason);

// The index of the last path separator in path, or npos. On Windows a backslash byte that is
// the second byte of a double-byte character of the ANSI code page is not a separator.
std::size_t FindLastPathSeparator(std::string_view path);

// The same search for a code page whose lead bytes isLeadByte names, so that it can be tested
// on any system.
std::size_t FindLastSeparator(std::string_view path, char separator,
                              bool (*isLeadByte)(unsigned char));

}  // namespace fx::platform
