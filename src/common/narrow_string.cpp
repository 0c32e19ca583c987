#include "common/narrow_string.h"

namespace fx {

std::string_view Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

void TrimInPlace(std::string& text) {
  const std::string_view trimmed = Trim(text);
  const size_t begin = static_cast<size_t>(trimmed.data() - text.data());
  text.erase(begin + trimmed.size());
  text.erase(0, begin);
}

}  // namespace fx
