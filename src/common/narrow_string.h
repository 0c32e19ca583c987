// Narrow (8-bit) string helpers shared by every part of the installer.
//
// All text is handled as bytes in the system's ANSI code page: nothing here converts
// encodings, folds case or looks at locales. Comparisons are exact and byte-wise.
#pragma once

#include <string>
#include <string_view>

namespace fx {

// True for the six white-space bytes that trimming removes: space, tab, line feed,
// vertical tab, form feed and carriage return. No other byte counts as white space.
constexpr bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Returns text without its leading and trailing white space.
std::string_view Trim(std::string_view text);

// Trims text in place.
void TrimInPlace(std::string& text);

}  // namespace fx
