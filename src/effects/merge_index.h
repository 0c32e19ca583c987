// The lookup tables through which merging finds sections and lines, so that an entry costs the
// same however long its list and its section are.
//
// Merging asks three questions: which is the first section of a group, which is the first
// line of a section that begins with name ":=", and does a section hold a line equal to a
// plain line. Scanning answers each in time proportional to the list or section; these tables
// answer them in constant time. A table costs a pass over what it indexes, hashing every line,
// about as much as a few dozen scans: so a list gets its table of first sections, and a
// section its table of lines, once it has received EffectList::indexAfterMerges entries
// (kIndexAfterMerges unless a test sets it). Small packages never pay for them.
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
// 8 bytes a line). It holds the first line of each name and every line without a name.
class SectionIndex {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  // Indexes every line of lines, which it keeps referring to: they must outlive the index,
  // and change only by overwriting a line with one of the same name, or by appending a line
  // and calling Appended().
  explicit SectionIndex(const std::vector<std::string_view>& lines);

  // The first line whose name is name; kNone when there is none.
  std::uint32_t FindNamed(std::string_view name) const { return Find(name, true); }
  // A line without a name whose text is line; kNone when there is none.
  std::uint32_t FindPlain(std::string_view line) const { return Find(line, false); }

  // Takes in the last line, just appended.
  void Appended();

 private:
  std::uint32_t Find(std::string_view key, bool named) const;
  void Add(std::uint32_t position);
  void Place(std::uint32_t position);
  void Grow(std::size_t count);

  const std::vector<std::string_view>& lines_;
  std::vector<std::uint32_t> slots_;  // position + 1, or 0 for an empty slot
  std::size_t used_ = 0;
};

// The tables of one list and the counts that decide when they are built. The sections must not
// move while it lives (EffectList keeps them in a deque, which never moves what it holds).
struct MergeIndex {
  std::uint32_t merges = 0;      // entries merged into the list, until the table is built
  bool sectionsIndexed = false;  // firstSectionOfName is built
  std::unordered_map<std::string_view, std::uint32_t> firstSectionOfName;
  std::unordered_map<std::uint32_t, std::uint32_t> mergesIntoSection;  // until its table is built
  std::unordered_map<std::uint32_t, SectionIndex> sections;            // by position
};

}  // namespace fx
