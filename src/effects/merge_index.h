// Lookup tables that keep merging fast when a list or a section receives many entries.
//
// Merging asks three questions: which is the first section of a group, which is the first
// line of a section that begins with name ":=", and does a section hold a line equal to a
// plain line. Scanning answers each in time proportional to the list or section; these tables
// answer them in constant time. They are built only for a list, or a section, that has
// already received kIndexAfterMerges entries, so small packages never pay for them.
//
// Two facts make one small table per section enough:
// - A line begins with name ":=" (name holding no ":=", as every parsed name does) exactly
//   when the line's own name, its text before its first ":=", equals name.
// - A plain line has no name, so it can only equal a line without a name.
// So the table keys each line by its name, or by its whole text when it has none. Overwriting
// a line keeps its name, so only appending changes the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace fx {

inline constexpr std::uint32_t kIndexAfterMerges = 32;

// The name of a line: its text before the first ":=", or empty when the line has no ":=" or
// begins with it.
std::string_view NameOfLine(std::string_view line);

// The lines of one section by key, in an open-addressing hash table of 32-bit positions (about
// 8 bytes a line). It holds the first line of each name and every line without a name. The
// keys are read from the section's lines, which must be passed in as they are now.
class SectionIndex {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  // Indexes every line of a section.
  explicit SectionIndex(const std::vector<std::string_view>& lines);

  // The first line whose name is name (named), or a line without a name whose text is name
  // (!named); kNone when there is none.
  std::uint32_t Find(const std::vector<std::string_view>& lines, std::string_view key,
                     bool named) const;

  // Takes in lines[position], just appended.
  void Add(const std::vector<std::string_view>& lines, std::uint32_t position);

 private:
  void Place(const std::vector<std::string_view>& lines, std::uint32_t position);
  void Grow(const std::vector<std::string_view>& lines, std::size_t count);

  std::vector<std::uint32_t> slots_;  // position + 1, or 0 for an empty slot
  std::size_t used_ = 0;
};

// The tables of one list.
struct MergeIndex {
  std::uint32_t merges = 0;  // entries merged into the list so far, up to kIndexAfterMerges
  // firstSectionOfName is built, and kept, once the list has received enough entries.
  bool SectionsIndexed() const { return merges == kIndexAfterMerges; }
  std::unordered_map<std::string_view, std::uint32_t> firstSectionOfName;
  std::unordered_map<std::uint32_t, std::uint32_t> mergesIntoSection;
  std::unordered_map<std::uint32_t, SectionIndex> sections;
};

}  // namespace fx
