// The list files of one host directory as a run holds them: the seven category lists and the
// title list, each with how its file was read. Nothing is read before it is needed.
#pragma once

#include <array>
#include <optional>

#include "effects/effect_category.h"
#include "effects/title_list.h"

namespace fx {

struct HostLists {
  std::array<CategoryList, kCategoryCount> categories;  // by EffectCategory::row
  TitleList titles;
  std::optional<LoadResult> titlesLoad;  // how "MovieTitle.txt" was read, once it was
};

}  // namespace fx
