// Text files in the host editor's text mode, the same bytes on every operating system.
//
// Reading: a line ends at a line feed (LF); one carriage return (CR) directly before the LF
// belongs to the line end; a last line without LF still counts; an empty line is a line and
// does not end the reading. Every other byte, NUL included, is part of the line.
// Writing: every LF written becomes CR LF; nothing else is changed.
//
// Both classes open files exclusively (see file.h). A TextFileWriter never writes into the
// file itself: it fills a temporary file and puts it in the file's place on Commit(), so the
// file is either left as it was or holds the whole new text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace fx::platform {

class TextFileReader {
 public:
  // Opens the file at path. On kMissing or kFailed, Error() says why.
  OpenStatus Open(const std::string& path);

  // Reads the next line, without its line end, into line. Returns false at the end of the
  // file and on a read error; Failed() tells the two apart.
  bool ReadLine(std::string& line);

  bool Failed() const { return failed_; }
  const std::string& Error() const { return error_; }
  void Close() { file_.Close(); }

 private:
  bool Refill();

  File file_;
  std::vector<char> buffer_;
  size_t begin_ = 0;  // the unread bytes of buffer_ are [begin_, end_)
  size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
  std::string error_;
};

class TextFileWriter {
 public:
  // Prepares to replace (or create) the file at path. False, with Error(), when the file
  // cannot be opened for writing.
  bool Open(const std::string& path);

  // Writes text, each LF as CR LF. Errors are kept and reported by Commit().
  void WriteString(std::string_view text);

  // Puts the text written in the file's place. False, with Error(), when anything failed
  // since Open(); the file is then as it was before.
  bool Commit();

  const std::string& Error() const { return error_; }

 private:
  void Flush();

  FileReplacement replacement_;
  std::string buffer_;
  bool failed_ = false;
  std::string error_;
};

}  // namespace fx::platform
