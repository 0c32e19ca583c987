#include "platform/text_file.h"

#include <cstring>

namespace fx::platform {
namespace {

// Files are read and written in blocks of at least this size, never a line at a time.
constexpr std::size_t kBlockSize = 256 * 1024;

}  // namespace

OpenStatus TextFileReader::ReadAll(const std::string& path) {
  bytes_.reset();
  size_ = next_ = 0;
  error_.clear();
  File file;
  const OpenStatus status = OpenForReading(path, file, error_);
  if (status != OpenStatus::kRead) return status;

  // One byte more than the reported size, so that the end is seen without growing; a file
  // that grows meanwhile is still read to its end.
  const std::int64_t reported = FileSize(file);
  std::size_t capacity = (reported > 0 ? static_cast<std::size_t>(reported) : 0) + 1;
  bytes_ = AllocateLargeBuffer(capacity);
  for (;;) {
    if (size_ == capacity) {
      const std::size_t grown = capacity + capacity / 2 + kBlockSize;
      LargeBuffer bigger = AllocateLargeBuffer(grown);
      std::memcpy(bigger.get(), bytes_.get(), size_);
      bytes_ = std::move(bigger);
      capacity = grown;
    }
    const std::int64_t got = ReadSome(file, bytes_.get() + size_, capacity - size_, error_);
    if (got == 0) return OpenStatus::kRead;
    if (got < 0) {
      bytes_.reset();
      size_ = 0;
      return OpenStatus::kFailed;
    }
    size_ += static_cast<std::size_t>(got);
  }
}

bool TextFileReader::ReadLine(std::string_view& line) {
  if (next_ >= size_) return false;
  const char* start = bytes_.get() + next_;
  const std::size_t rest = size_ - next_;
  const void* lf = std::memchr(start, '\n', rest);
  std::size_t length = rest;
  if (lf != nullptr) {
    length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
    next_ += length + 1;
    if (length > 0 && start[length - 1] == '\r') --length;
  } else {
    next_ = size_;
  }
  line = std::string_view(start, length);
  return true;
}

bool TextFileWriter::Open(const std::string& path) {
  buffer_.clear();
  failed_ = false;
  error_.clear();
  if (!replacement_->Begin(path, error_)) return false;
  buffer_.reserve(2 * kBlockSize);
  return true;
}

void TextFileWriter::WriteString(std::string_view text) {
  for (;;) {
    const std::size_t lf = text.find('\n');
    buffer_.append(text.substr(0, lf));
    if (lf == std::string_view::npos) break;
    buffer_.append("\r\n");
    text.remove_prefix(lf + 1);
  }
  if (buffer_.size() >= kBlockSize) Flush();
}

void TextFileWriter::WriteLine(std::string_view text) {
  if (text.find('\n') != std::string_view::npos) {
    WriteString(text);
  } else {
    buffer_.append(text);
  }
  buffer_.append("\r\n");
  if (buffer_.size() >= kBlockSize) Flush();
}

void TextFileWriter::WriteJoinedLines(std::string_view lines) {
  if (lines.size() < kBlockSize) {
    buffer_.append(lines);
  } else {
    // Large enough to go to the file straight from where it stands.
    Flush();
    if (!failed_ && !replacement_->Write(lines.data(), lines.size(), error_)) failed_ = true;
  }
  buffer_.append("\r\n");
  if (buffer_.size() >= kBlockSize) Flush();
}

void TextFileWriter::Flush() {
  if (!failed_ && !replacement_->Write(buffer_.data(), buffer_.size(), error_)) failed_ = true;
  buffer_.clear();
}

bool TextFileWriter::Finish() {
  Flush();
  if (failed_) replacement_->Abandon();
  return !failed_;
}

bool TextFileWriter::Commit() {
  return Finish() && replacement_->Commit(error_);
}

bool TextFileWriter::CommitLater(ReplacementQueue& queue) {
  if (!Finish()) return false;
  queue.Add(std::move(replacement_));
  replacement_ = std::make_unique<FileReplacement>();
  return true;
}

}  // namespace fx::platform
