// The list file of one effect category, and its model in memory.
//
// A list file is a sequence of sections. A section starts with a header line whose first
// character is "+" or "*"; the rest of that line is the section's name. The lines after it,
// up to the next header line, are the section's entry lines. Every line is trimmed when read,
// and lines that are blank after trimming are dropped. Lines before the first header line
// belong to the first section, ahead of its header. A header line that is the marker alone has
// an empty name and does not open a section of its own: the next named header line joins it.
//
// Saving writes every line of every section followed by CR LF, and one empty line (CR LF)
// after each section, so that loading what was saved gives the same sections again.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "effects/merge_index.h"
#include "effects/text_store.h"
#include "platform/file.h"

namespace fx {

// A section's name and lines are views into the text of the list that holds it.
struct EffectSection {
  std::string_view name;                // the header line without its marker
  std::vector<std::string_view> lines;  // file order, the header line included
};

// The sections of one list file, in file order, and the text they view. Sections are only
// ever appended (a deque: a section never moves); lines are only appended or overwritten.
struct EffectList {
  EffectList();
  ~EffectList();
  EffectList(EffectList&&) noexcept;
  EffectList& operator=(EffectList&&) noexcept;

  std::deque<EffectSection> sections;
  TextStore text;  // the bytes of the lines read and merged
  // The bytes of the file the list was read from (the last one, if several), kept in text.
  // The lines read from it are views into it and hold no LF; saving writes lines that follow
  // each other there, with a CR LF between, as one piece.
  std::string_view fileText;

  // The lookup tables through which merging finds sections and lines once the list, or a
  // section, has received this many entries (merge_index.h); before, it scans. Tests set 0 to
  // have the tables answer from the first entry. Changing sections other than through
  // MergeEffectEntry after the first merge makes the tables stale.
  std::uint32_t indexAfterMerges = kIndexAfterMerges;
  std::unique_ptr<MergeIndex> index;
};

// How a list file was read.
struct LoadResult {
  platform::OpenStatus status = platform::OpenStatus::kRead;
  std::string reason;  // why the file is missing or could not be read
};

// Appends the sections of the list file at path to list.
// - kRead: the whole file was read.
// - kMissing: there is no file; list is unchanged.
// - kFailed: the file exists but could not be opened (locked by another process, no access,
//   not a regular file) or a read error stopped it part-way; list is unchanged, so that a
//   caller never mistakes part of a file for all of it.
// Lines that end up in no named section (a file without a named header line, or lines after a
// last header that is a marker alone) are kept as a section with an empty name, at the end.
LoadResult LoadEffectList(EffectList& list, const std::string& path);

// How a list file was written.
struct SaveResult {
  bool ok = true;
  std::string reason;  // why the file could not be written; it is then unchanged
};

// Writes list to the file at path, replacing the file as a whole or not at all. With a queue,
// the new text is put in place later, with the queue's other files (platform/file.h); the
// result then tells whether it could be written.
SaveResult SaveEffectList(const EffectList& list, const std::string& path,
                          platform::ReplacementQueue* queue = nullptr);

}  // namespace fx
