#include "package/split.h"

namespace fx {

void SplitByDelimiter(std::string_view text, std::string_view delimiter,
                      std::vector<std::string>& items) {
  items.clear();
  if (text.empty()) return;
  if (delimiter.empty()) {
    items.emplace_back(text);
    return;
  }
  size_t start = 0;
  for (;;) {
    const size_t found = text.find(delimiter, start);
    const size_t end = found == std::string_view::npos ? text.size() : found;
    if (end > start) items.emplace_back(text.substr(start, end - start));
    if (found == std::string_view::npos) return;
    start = found + delimiter.size();
  }
}

}  // namespace fx
