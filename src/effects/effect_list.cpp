#include "effects/effect_list.h"

#include <functional>
#include <utility>

#include "common/narrow_string.h"
#include "effects/list_file.h"
#include "effects/merge_index.h"
#include "platform/text_file.h"

namespace fx {
namespace {

bool IsHeaderLine(std::string_view trimmed) {
  return !trimmed.empty() && (trimmed[0] == '+' || trimmed[0] == '*');
}

// Writes the lines of a list, gathering those that stand one after the other in the list
// file's bytes, with a CR LF between, into runs written as one piece: most lines of a list
// come back as they were read, and are then copied once in bulk rather than one by one.
class LineWriter {
 public:
  LineWriter(platform::TextFileWriter& file, std::string_view fileText)
      : file_(file), begin_(fileText.data()), end_(fileText.data() + fileText.size()) {}
  ~LineWriter() { EndRun(); }

  void Write(std::string_view line) {
    const char* const start = line.data();
    const char* const stop = start + line.size();
    // The run goes on when line starts two bytes after it, within the file, and those bytes
    // are CR LF: they then lie within the file too.
    if (runEnd_ != nullptr && start == runEnd_ + 2 && Within(stop) && runEnd_[0] == '\r' &&
        runEnd_[1] == '\n') {
      runEnd_ = stop;
      return;
    }
    EndRun();
    if (!line.empty() && Within(start) && Within(stop)) {
      runStart_ = start;
      runEnd_ = stop;
    } else {
      file_.WriteLine(line);
    }
  }

  void EndRun() {
    if (runEnd_ == nullptr) return;
    file_.WriteJoinedLines(std::string_view(runStart_, static_cast<size_t>(runEnd_ - runStart_)));
    runStart_ = runEnd_ = nullptr;
  }

 private:
  // Whether at lies within the file's bytes or just after them (std::less_equal compares
  // pointers into different objects too).
  bool Within(const char* at) const {
    return std::less_equal<const char*>()(begin_, at) && std::less_equal<const char*>()(at, end_);
  }

  platform::TextFileWriter& file_;
  const char* begin_;
  const char* end_;
  const char* runStart_ = nullptr;
  const char* runEnd_ = nullptr;
};

}  // namespace

EffectList::EffectList() = default;
EffectList::~EffectList() = default;
EffectList::EffectList(EffectList&&) noexcept = default;
EffectList& EffectList::operator=(EffectList&&) noexcept = default;

LoadResult LoadEffectList(EffectList& list, const std::string& path) {
  platform::TextFileReader file;
  LoadResult result = ReadWholeFile(file, path);
  if (result.status != platform::OpenStatus::kRead) return result;

  // The lines of the section being read gather in one vector, reused from section to section,
  // and each section gets a vector of exactly its size: no section's vector grows step by step.
  std::string_view name;
  std::vector<std::string_view> open;
  const auto close = [&] {
    list.sections.push_back({name, std::vector<std::string_view>(open.begin(), open.end())});
    open.clear();
    name = {};
  };
  std::string_view line;
  while (file.ReadLine(line)) {
    line = Trim(line);
    if (line.empty()) continue;
    if (IsHeaderLine(line)) {
      if (!name.empty()) close();
      if (name.empty()) name = line.substr(1);
    }
    open.push_back(line);
  }
  if (!open.empty()) close();
  list.fileText = file.Text();
  list.text.Adopt(file.TakeBytes());
  return result;
}

SaveResult SaveEffectList(const EffectList& list, const std::string& path,
                          platform::ReplacementQueue* queue) {
  return ReplaceWholeFile(
      path,
      [&](platform::TextFileWriter& file) {
        LineWriter lines(file, list.fileText);
        for (const EffectSection& section : list.sections) {
          for (const std::string_view line : section.lines) lines.Write(line);
          lines.EndRun();
          file.WriteLine("");
        }
      },
      queue);
}

}  // namespace fx
