// The seven effect categories, and how one package entry is merged into a category's list.
//
// An entry is "group>line". The group names the section that receives the line; a line of the
// form "name:=parameters" is a named line and replaces the first line of that name in the
// section, any other line is a plain line and is added unless the section holds it already.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "effects/effect_list.h"
#include "platform/file.h"

namespace fx {

// One bit per list file whose write-back the run attempted; the host editor receives it.
using ChangeMask = std::uint32_t;

struct EffectCategory {
  std::size_t row;            // position in kEffectCategories
  std::string_view key;       // the key in the package section
  std::string_view listFile;  // the list file's name in the app directory
  ChangeMask changeBit;
};

inline constexpr std::size_t kCategoryCount = 7;

// In this order entries are dispatched and lists are written back. The bits do not follow it.
inline constexpr std::array<EffectCategory, kCategoryCount> kEffectCategories = {{
    {0, "TextIn", "TextInEffectList.txt", 0x2},
    {1, "TextStay", "TextStayEffectList.txt", 0x10},
    {2, "TextOut", "TextOutEffectList.txt", 0x4},
    {3, "Style", "StyleList.txt", 0x8},
    {4, "Adjust", "AdjustList.txt", 0x40},
    {5, "Tone", "ToneList.txt", 0x80},
    {6, "Scene", "SceneList.txt", 0x100},
}};

// What merging did with an entry.
enum class MergeOutcome {
  kIgnoredNoGroup,    // nothing before ">", or no ">" at all
  kIgnoredEmptyLine,  // nothing after ">"
  kSectionCreated,    // a new section "+group" holding the line, at the end of the list
  kLineAppended,      // the line added at the end of the group's section
  kLineOverwritten,   // the first line of the same name replaced in place
  kAlreadyPresent,    // the section holds the plain line already; nothing changed
  kListUnreadable,    // the list file could not be read, so the entry was dropped
};

struct ParsedEntry {
  std::string group;  // before the first ">", trimmed; empty without ">"
  std::string name;   // the line up to its first ":=" (not trimmed); empty for a plain line
  std::string line;   // after the first ">" (the whole entry without one), trimmed
};

ParsedEntry ParseEffectEntry(std::string_view entry);

// What merging did with an entry, and where.
struct MergeReport {
  MergeOutcome outcome = MergeOutcome::kIgnoredNoGroup;
  std::size_t line = 0;  // the line's position in its section (the header is 0)
  std::string oldLine;   // kLineOverwritten: the text that was replaced
};

// Merges one parsed entry into list: the first section named group receives it (a new one
// is appended when there is none); a named line overwrites the first line that begins with
// name ":=", the section's header line included; a plain line is appended unless a line of the
// section, the header included, equals it. An empty group or line changes nothing.
MergeReport MergeEffectEntry(EffectList& list, std::string_view group, std::string_view name,
                             std::string_view line);

// A category's list as a run holds it: read from its file at the category's first entry.
struct CategoryList {
  EffectList list;
  std::optional<LoadResult> load;  // how its file was read; nothing before the first entry

  bool Unreadable() const { return load && load->status == platform::OpenStatus::kFailed; }
};

// What became of one entry of a category.
struct EntryReport {
  ParsedEntry entry;
  MergeReport merge;
};

// Hands one entry to a category's list, reading the list file at path first when this is the
// category's first entry. A list file that exists but cannot be read is left alone for the
// rest of the run: its entries are dropped (kListUnreadable), so that the file is never
// rewritten with only the new sections.
EntryReport AddCategoryEntry(CategoryList& category, const std::string& path,
                             std::string_view entry);

}  // namespace fx
