// Shared by the fuzz targets: a private scratch directory and raw file writing.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_list.h"

namespace fx::fuzz {

// A directory of this process's own, made once and reused by every input.
inline const std::string& ScratchDirectory() {
  static const std::string directory = [] {
    // Memory-backed where there is one: every save flushes to disk, which a disk makes slow.
    std::string pattern =
        access("/dev/shm", W_OK) == 0 ? "/dev/shm/fxfuzz-XXXXXX" : "/tmp/fxfuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return directory;
}

inline std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
  const std::string path = ScratchDirectory() + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  return path;
}

inline std::string ReadScratchFile(const std::string& name) {
  std::string bytes;
  FILE* file = std::fopen((ScratchDirectory() + "/" + name).c_str(), "rb");
  if (file == nullptr) std::abort();
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

// Stops the run with a message when a property does not hold.
#define FX_FUZZ_CHECK(condition)                                                            \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

// Every line of a list, all sections together, in order; no section may be empty.
inline std::vector<std::string_view> AllLines(const EffectList& list) {
  std::vector<std::string_view> lines;
  for (const EffectSection& section : list.sections) {
    FX_FUZZ_CHECK(!section.lines.empty());
    lines.insert(lines.end(), section.lines.begin(), section.lines.end());
  }
  return lines;
}

}  // namespace fx::fuzz
