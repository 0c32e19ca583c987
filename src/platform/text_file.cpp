#include "platform/text_file.h"

#include <cstring>

namespace fx::platform {
namespace {

// Files are read and written in blocks of this size, never a line or a byte at a time.
constexpr size_t kBlockSize = 256 * 1024;

}  // namespace

OpenStatus TextFileReader::Open(const std::string& path) {
  begin_ = end_ = 0;
  atEnd_ = failed_ = false;
  error_.clear();
  const OpenStatus status = OpenForReading(path, file_, error_);
  if (status == OpenStatus::kOpened) buffer_.resize(kBlockSize);
  return status;
}

bool TextFileReader::Refill() {
  if (atEnd_ || failed_ || !file_.IsOpen()) return false;
  const std::int64_t got = ReadSome(file_, buffer_.data(), buffer_.size(), error_);
  if (got <= 0) {
    atEnd_ = true;
    failed_ = got < 0;
    return false;
  }
  begin_ = 0;
  end_ = static_cast<size_t>(got);
  return true;
}

bool TextFileReader::ReadLine(std::string& line) {
  line.clear();
  bool readAny = false;
  for (;;) {
    if (begin_ == end_ && !Refill()) return readAny && !failed_;
    readAny = true;
    const char* start = buffer_.data() + begin_;
    const size_t available = end_ - begin_;
    const void* lf = std::memchr(start, '\n', available);
    if (lf == nullptr) {
      line.append(start, available);
      begin_ = end_;
      continue;
    }
    const size_t length = static_cast<size_t>(static_cast<const char*>(lf) - start);
    line.append(start, length);
    begin_ += length + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
}

bool TextFileWriter::Open(const std::string& path) {
  buffer_.clear();
  failed_ = false;
  error_.clear();
  if (!replacement_.Begin(path, error_)) return false;
  buffer_.reserve(kBlockSize + 2);
  return true;
}

void TextFileWriter::WriteString(std::string_view text) {
  while (!text.empty()) {
    const size_t lf = text.find('\n');
    const std::string_view piece = text.substr(0, lf);
    buffer_.append(piece);
    if (lf == std::string_view::npos) break;
    buffer_.append("\r\n");
    text.remove_prefix(lf + 1);
    if (buffer_.size() >= kBlockSize) Flush();
  }
  if (buffer_.size() >= kBlockSize) Flush();
}

void TextFileWriter::Flush() {
  if (!failed_ && !replacement_.Write(buffer_.data(), buffer_.size(), error_)) failed_ = true;
  buffer_.clear();
}

bool TextFileWriter::Commit() {
  Flush();
  if (failed_) {
    replacement_.Abandon();
    return false;
  }
  return replacement_.Commit(error_);
}

}  // namespace fx::platform
