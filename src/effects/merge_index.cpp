#include "effects/merge_index.h"

#include <functional>

namespace fx {
namespace {

// A line's key, and whether that key is its name.
std::string_view KeyOf(std::string_view line, bool& named) {
  const std::string_view name = NameOfLine(line);
  named = !name.empty();
  return named ? name : line;
}

std::size_t Hash(std::string_view key, bool named) {
  return std::hash<std::string_view>()(key) ^ (named ? 0x9e3779b97f4a7c15ull : 0);
}

}  // namespace

std::string_view NameOfLine(std::string_view line) {
  const std::size_t assign = line.find(":=");
  return assign == std::string_view::npos ? std::string_view() : line.substr(0, assign);
}

SectionIndex::SectionIndex(const std::vector<std::string_view>& lines) : lines_(lines) {
  Grow(lines_.size());
  for (std::uint32_t i = 0; i < lines_.size(); ++i) Add(i);
}

std::uint32_t SectionIndex::Find(std::string_view key, bool named) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = Hash(key, named) & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
    const std::uint32_t position = slots_[slot] - 1;
    bool lineNamed = false;
    if (KeyOf(lines_[position], lineNamed) == key && lineNamed == named) return position;
  }
  return kNone;
}

void SectionIndex::Appended() {
  Add(static_cast<std::uint32_t>(lines_.size() - 1));
}

void SectionIndex::Add(std::uint32_t position) {
  bool named = false;
  const std::string_view key = KeyOf(lines_[position], named);
  // Only the first line of a name can be asked for; a later one can never be the answer.
  if (named && Find(key, true) != kNone) return;
  if ((used_ + 1) * 4 > slots_.size() * 3) Grow(used_ + 1);
  Place(position);
}

void SectionIndex::Place(std::uint32_t position) {
  bool named = false;
  const std::string_view key = KeyOf(lines_[position], named);
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = Hash(key, named) & mask;
  while (slots_[slot] != 0) slot = (slot + 1) & mask;
  slots_[slot] = position + 1;
  ++used_;
}

void SectionIndex::Grow(std::size_t count) {
  // At most three quarters full, so that a probe always ends at an empty slot.
  std::size_t size = 16;
  while (size * 3 < count * 4) size *= 2;
  if (size <= slots_.size()) size = slots_.size() * 2;
  std::vector<std::uint32_t> old = std::move(slots_);
  slots_.assign(size, 0);
  used_ = 0;
  for (const std::uint32_t value : old) {
    if (value != 0) Place(value - 1);
  }
}

}  // namespace fx
