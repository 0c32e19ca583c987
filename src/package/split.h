#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fx {

// Replaces items with the non-empty pieces of text between occurrences of delimiter, in text
// order, white space kept. Matches are taken from the left and do not overlap; an empty
// delimiter gives the whole text as the one item; an empty text gives no item.
void SplitByDelimiter(std::string_view text, std::string_view delimiter,
                      std::vector<std::string>& items);

}  // namespace fx
