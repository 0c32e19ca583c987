#include "platform/text_file.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace fx::platform {
namespace {

// Files are read and written in blocks of at least this size, never a line at a time.
constexpr std::size_t kBlockSize = 256 * 1024;

}  // namespace

OpenStatus TextFileReader::ReadAll(const std::string& path) {
  bytes_.reset();
  size_ = next_ = searched_ = 0;
  lineFeeds_ = 0;
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

bool TextFileReader::FindLineFeeds() {
  const char* bytes = bytes_.get();
#ifdef __SSE2__
  // 64 bytes at a time, each LF a bit: a search per line would cost a call for every line.
  const __m128i lf = _mm_set1_epi8('\n');
  while (searched_ + 64 <= size_) {
    std::uint64_t found = 0;
    for (std::size_t i = 0; i < 64; i += 16) {
      const __m128i chunk =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + searched_ + i));
      found |=
          std::uint64_t{static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lf)))}
          << i;
    }
    block_ = searched_;
    searched_ += 64;
    if (found != 0) {
      lineFeeds_ = found;
      return true;
    }
  }
#endif
  // The rest (all of it without SSE2), one LF at a time.
  if (searched_ >= size_) return false;
  const void* found = std::memchr(bytes + searched_, '\n', size_ - searched_);
  if (found == nullptr) {
    searched_ = size_;
    return false;
  }
  block_ = static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
  searched_ = block_ + 1;
  lineFeeds_ = 1;
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
