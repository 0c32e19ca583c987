// Everything one installation run reads, changes and writes, in one object that the caller
// owns: the app directory, the seven category lists, the title list and the problems met.
// Nothing of the run is kept anywhere else, so a test can run many installations in one
// process, each on a fresh RunState.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_category.h"
#include "effects/effect_list.h"
#include "effects/text_store.h"
#include "platform/file.h"

namespace fx {

// The lines of "MovieTitle.txt", each without its line end, in file order, and their bytes.
struct TitleList {
  std::vector<std::string_view> lines;
  TextStore text;
};

struct RunState {
  std::string appDirectory;  // no trailing separator

  std::array<EffectList, kCategoryCount> lists;  // indexed by EffectCategory::row
  // A list file that exists but could not be read; its list stays empty and is not written.
  std::array<bool, kCategoryCount> listUnreadable{};

  TitleList titleList;

  // One line for each file that could not be read or written (the file and the reason), and
  // one for a running host editor that was not told.
  std::vector<std::string> problems;

  // The full path of a file in the app directory.
  std::string PathOf(std::string_view fileName) const {
    std::string path = appDirectory;
    path += platform::kPathSeparator;
    path += fileName;
    return path;
  }
};

}  // namespace fx
