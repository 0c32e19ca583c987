// Text files in the host editor's text mode, the same bytes on every operating system.
//
// Reading: a line ends at a line feed (LF); one carriage return (CR) directly before the LF
// belongs to the line end; a last line without LF still counts; an empty line is a line and
// does not end the reading. Every other byte, NUL included, is part of the line.
// Writing: every LF written becomes CR LF; nothing else is changed.
//
// Both classes open files exclusively (see file.h). A TextFileReader reads the whole file at
// once, in large blocks, and hands out its lines as views into those bytes. A TextFileWriter
// replaces the file through a FileReplacement (file.h): the file is either left as it was or
// holds the whole new text, except where it must be written in place.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/memory.h"

namespace fx::platform {

class TextFileReader {
 public:
  // Reads the whole file at path; the file is closed again before this returns. kRead: all of
  // it was read. kMissing: there is no file. kFailed: it exists but could not be opened or read to
  // its end (locked, no access, not a regular file, a read error part-way). Error() says why.
  OpenStatus ReadAll(const std::string& path);

  // The next line, without its line end; false after the last line. Inline, as it runs for
  // every line of every file.
  bool ReadLine(std::string_view& line) {
    if (next_ >= size_) return false;
    const char* start = bytes_.get() + next_;
    if (lineFeeds_ == 0 && !FindLineFeeds()) {
      line = std::string_view(start, size_ - next_);  // a last line without LF
      next_ = size_;
      return true;
    }
    const std::size_t lf = block_ + static_cast<std::size_t>(std::countr_zero(lineFeeds_));
    lineFeeds_ &= lineFeeds_ - 1;
    std::size_t length = lf - next_;
    if (length > 0 && start[length - 1] == '\r') --length;
    next_ = lf + 1;
    line = std::string_view(start, length);
    return true;
  }

  // The bytes read, which the lines are views into.
  std::string_view Text() const { return {bytes_.get(), size_}; }

  // Hands over the bytes that the lines are views into, so that they outlive the reader.
  LargeBuffer TakeBytes() { return std::move(bytes_); }

  const std::string& Error() const { return error_; }

 private:
  // Finds the next LFs after the bytes searched so far: lineFeeds_ gets a bit for each, bit i
  // standing for the byte at block_ + i. False when there is none.
  bool FindLineFeeds();

  LargeBuffer bytes_;
  std::size_t size_ = 0;
  std::size_t next_ = 0;      // where the next line starts
  std::size_t searched_ = 0;  // the bytes before this were searched for LFs
  std::size_t block_ = 0;
  std::uint64_t lineFeeds_ = 0;  // the LFs found and not passed yet
  std::string error_;
};

class TextFileWriter {
 public:
  // Prepares to replace (or create) the file at path. False, with Error(), when the file
  // cannot be opened for writing.
  bool Open(const std::string& path);

  // Writes text, each LF as CR LF. Errors are kept and reported by Commit().
  void WriteString(std::string_view text);

  // Writes text and a line end: the same as WriteString(text) and WriteString("\n").
  void WriteLine(std::string_view text);

  // Writes lines that stand one after the other with CR LF between them, and no other LF (bytes
  // of a file that was read), and a line end after the last: the same as WriteLine() for each
  // line, in one piece and without looking at the lines.
  void WriteJoinedLines(std::string_view lines);

  // Puts the text written in the file's place. False, with Error(), when anything failed
  // since Open(); the file is then as it was before.
  bool Commit();

  // Hands the text written to queue, which puts it in the file's place with the others
  // (ReplacementQueue::Commit()). False, with Error(), when anything failed since Open(); the
  // file is then as it was before, and queue does not hear of it.
  bool CommitLater(ReplacementQueue& queue);

  const std::string& Error() const { return error_; }

 private:
  void Flush();
  // Writes what is buffered; false when anything failed since Open().
  bool Finish();

  std::unique_ptr<FileReplacement> replacement_ = std::make_unique<FileReplacement>();
  std::string buffer_;
  bool failed_ = false;
  std::string error_;
};

}  // namespace fx::platform
