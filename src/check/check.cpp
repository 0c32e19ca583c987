#include "check/check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "app/problems.h"
#include "app/write_back.h"
#include "common/narrow_string.h"
#include "effects/effect_category.h"
#include "effects/host_lists.h"
#include "effects/install_record.h"
#include "effects/title_list.h"
#include "package/package_section.h"
#include "package/removal.h"
#include "platform/file.h"
#include "platform/text_file.h"

namespace fx {
namespace {

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The text without any white space and in lower case, to spot near misses.
std::string Folded(std::string_view text) {
  std::string folded;
  for (const char c : Lower(text)) {
    if (!IsWhiteSpace(c)) folded += c;
  }
  return folded;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<std::string> KnownKeys() {
  std::vector<std::string> keys;
  for (const EffectCategory& category : kEffectCategories) keys.emplace_back(category.key);
  keys.emplace_back(kTitleKey);
  return keys;
}

// The known key that key most resembles, or empty.
std::string Resembling(std::string_view key) {
  std::string best;
  std::size_t bestDistance = 3;
  for (const std::string& known : KnownKeys()) {
    const std::size_t distance = Lower(known) == Lower(key) ? 0 : EditDistance(known, key);
    if (distance < bestDistance) {
      best = known;
      bestDistance = distance;
    }
  }
  return best;
}

std::string Hex(ChangeMask mask) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", mask);
  return text;
}

std::string BitNames(ChangeMask mask) {
  std::vector<std::pair<ChangeMask, std::string>> bits;
  for (const EffectCategory& category : kEffectCategories) {
    bits.emplace_back(category.changeBit, std::string(category.key));
  }
  bits.emplace_back(kTitleListBit, kTitleValue);
  std::sort(bits.begin(), bits.end());
  std::string names;
  for (const auto& [bit, name] : bits) {
    if (mask & bit) names += (names.empty() ? "" : " | ") + name + " " + Hex(bit);
  }
  return names;
}

// The most characters an NSIS string holds (1,024 with the terminating zero). NSIS cuts a
// longer value without a word, so a value of this length or more may be what is left of one.
constexpr std::size_t kLongestInstallerString = 1023;

// The UTF-8 byte-order mark, which some editors put at the start of a file.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// What the start of a config file shows of its encoding. The installer takes the file byte for
// byte, in the system's code page.
enum class Encoding {
  kCodePage,         // nothing that says otherwise
  kUtf8Mark,         // a UTF-8 byte-order mark, which sticks to line 1
  kUtf16LittleMark,  // the UTF-16 byte-order mark FF FE
  kUtf16BigMark,     // FE FF
  kUtf16,            // UTF-16 without a byte-order mark
};

Encoding EncodingOf(std::string_view start) {
  if (start.starts_with(kUtf8Mark)) return Encoding::kUtf8Mark;
  if (start.starts_with("\xFF\xFE")) return Encoding::kUtf16LittleMark;
  if (start.starts_with("\xFE\xFF")) return Encoding::kUtf16BigMark;
  // UTF-16 text of mostly ASCII characters, as keys, brackets and line ends are, has a NUL in
  // every other byte; text in a code page has none.
  const std::size_t pairs = start.size() / 2;
  std::size_t nulFirst = 0;
  std::size_t nulSecond = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    const bool first = start[2 * i] == '\0';
    const bool second = start[2 * i + 1] == '\0';
    nulFirst += first && !second;
    nulSecond += second && !first;
  }
  return pairs > 0 && 2 * std::max(nulFirst, nulSecond) >= pairs ? Encoding::kUtf16
                                                                 : Encoding::kCodePage;
}

// Up to count bytes from the start of the file at path; none when it cannot be read.
std::string FirstBytes(const std::string& path, std::size_t count) {
  platform::File file;
  std::string reason;
  if (platform::OpenForReading(path, file, reason) != platform::OpenStatus::kRead) return {};
  std::string bytes(count, '\0');
  std::size_t size = 0;
  while (size < count) {
    const std::int64_t got = platform::ReadSome(file, bytes.data() + size, count - size, reason);
    if (got <= 0) break;
    size += static_cast<std::size_t>(got);
  }
  bytes.resize(size);
  return bytes;
}

// Whether the installer could write the file at path, decided by the installer's own first step
// of writing it: FileReplacement::Begin(), undone at once by Abandon(). That never changes the
// file, but for that moment it holds the file open for writing and locked (an installation
// reading it just then finds it locked), and it may create an empty temporary file beside it,
// which Abandon() removes again (or, should this process be killed in between, the next
// installation's clean-up of stray files).
bool CanBeWritten(const std::string& path, std::string& reason) {
  platform::FileReplacement replacement;
  if (!replacement.Begin(path, reason)) return false;
  replacement.Abandon();
  return true;
}

// How much a line of the plan asks of the reader; the worst one sets the exit code.
enum class Level { kNote, kWarning, kError };

// The lines of a plan, and the exit code they come to.
class PlanOutput {
 public:
  explicit PlanOutput(std::ostream& out) : out_(out) {}

 protected:
  void Say(Level level, const std::string& line) {
    worst_ = std::max(worst_, level);
    out_ << (level == Level::kWarning ? "warning: "
             : level == Level::kError ? "error: "
                                      : "")
         << line << '\n';
  }

  // The files that would be written, each only if the installer could write it, and the mask
  // the host editor would receive.
  void SayWriteBack(const std::vector<PlannedWrite>& plan, const std::string& directory) {
    std::string files;
    ChangeMask mask = 0;
    for (const PlannedWrite& write : plan) {
      // The installer keeps the bit of a file that it could not write.
      mask |= write.bit;
      const std::string path = platform::PathIn(directory, write.fileName);
      std::string reason;
      if (!CanBeWritten(path, reason)) {
        Say(Level::kError, problem::CannotWrite(path, reason));
        continue;
      }
      files += (files.empty() ? "" : ", ") + write.fileName;
    }
    Say(Level::kNote, files.empty() ? "would write nothing" : "would write: " + files);
    Say(Level::kNote,
        mask == 0 ? "the host editor would not be told"
                  : "the host editor would receive " + Hex(mask) + " (" + BitNames(mask) + ")");
  }

  int ExitCode() const {
    return worst_ == Level::kError     ? kCheckFailed
           : worst_ == Level::kWarning ? kCheckWarnings
                                       : kCheckAllApplied;
  }

 private:
  std::ostream& out_;
  Level worst_ = Level::kNote;
};

class Checker : PlanOutput {
 public:
  Checker(const std::string& appDirectory, const std::string& packageName,
          const std::string& configFile, std::ostream& out)
      : PlanOutput(out),
        directory_(appDirectory),
        package_(packageName),
        configPath_(configFile.empty() ? platform::PathIn(appDirectory, kPackageConfigFile)
                                       : configFile),
        configName_(configFile.empty() ? kPackageConfigFile : configFile) {}

  int Run() {
    const PackageSection section = ReadPackageSection(configPath_, package_);
    if (section.status != platform::OpenStatus::kRead) {
      Say(Level::kError,
          (section.status == platform::OpenStatus::kMissing ? "no " : "cannot read ") +
              configPath_ +
              (section.status == platform::OpenStatus::kMissing ? "" : ": " + section.reason));
      return ExitCode();
    }
    ReportEncoding(section.found);
    if (!section.found) {
      Say(Level::kError, "no section " + SectionHeaderOf(package_) + " in " + configName_);
      PointOutNearHeaders(false);
      return ExitCode();
    }
    Say(Level::kNote, "package [" + package_ + "]: " + configName_ + " line " +
                          std::to_string(section.headerLine));
    PointOutNearHeaders(true);
    ExplainBody(section);

    const DispatchReport report = DispatchPackageSection(section, package_, directory_, lists_);
    for (const EffectCategory& category : kEffectCategories) ExplainCategory(category, report);
    if (report.title) ExplainTitle(*report.title);
    for (const std::string& line : problem::FilesLeftUnread(lists_, directory_)) {
      Say(Level::kError, line);
    }

    SayWriteBack(PlanWriteBack(lists_), directory_);
    return ExitCode();
  }

 private:
  // A config file that is not in a code page. A UTF-8 byte-order mark spoils line 1 only, which
  // is why the section is missing when its header was there; UTF-16 spoils every line, and the
  // INI functions of Windows keep writing UTF-16 into a file that starts with its mark.
  void ReportEncoding(bool sectionFound) {
    const std::string mustBe = ": the file must be in the system's code page";
    const auto utf16 = [&](const char* sign) {
      return configName_ + " is in UTF-16 (" + sign + ")" + mustBe;
    };
    switch (EncodingOf(FirstBytes(configPath_, 4096))) {
      case Encoding::kCodePage:
        break;
      case Encoding::kUtf8Mark:
        Say(sectionFound ? Level::kWarning : Level::kError,
            configName_ +
                " starts with a UTF-8 byte-order mark (EF BB BF), which becomes part of line 1" +
                mustBe);
        break;
      case Encoding::kUtf16LittleMark:
        Say(Level::kError, utf16("it starts with the byte-order mark FF FE"));
        break;
      case Encoding::kUtf16BigMark:
        Say(Level::kError, utf16("it starts with the byte-order mark FE FF"));
        break;
      case Encoding::kUtf16:
        Say(Level::kError, utf16("a NUL byte in every other byte"));
        break;
    }
  }

  // Headers that the package's own would match if letter case did not count, and (when the
  // section is missing) commented-out ones. The INI functions of Windows ignore letter case:
  // a setup writing the package's section may have written into one of these instead, and
  // when the section is missing, one of them is usually why.
  void PointOutNearHeaders(bool sectionFound) {
    platform::TextFileReader file;
    if (file.ReadAll(configPath_) != platform::OpenStatus::kRead) return;
    const std::string exact = SectionHeaderOf(package_);
    const std::string header = Lower(exact);
    std::string_view line;
    for (std::size_t number = 1; file.ReadLine(line); ++number) {
      const bool afterMark = number == 1 && line.starts_with(kUtf8Mark);
      if (afterMark) line.remove_prefix(kUtf8Mark.size());
      const std::string_view trimmed = Trim(line);
      const std::string at = "  line " + std::to_string(number) + ": " + std::string(trimmed);
      if (afterMark && trimmed == exact) {
        Say(sectionFound ? Level::kWarning : Level::kError, at + " follows the byte-order mark");
      } else if (trimmed != exact && Lower(trimmed) == header) {
        Say(sectionFound ? Level::kWarning : Level::kError, at + " differs only in letter case");
      } else if (!sectionFound && !trimmed.empty() && trimmed[0] == '#' &&
                 Lower(Trim(trimmed.substr(1))) == header) {
        Say(Level::kError, at + " is commented out");
      }
    }
  }

  void ExplainBody(const PackageSection& section) {
    const std::vector<std::string> known = KnownKeys();
    for (const BodyLine& body : section.body) {
      const std::string line = "  line " + std::to_string(body.number) + ": ";
      const std::string at = line + body.text + ": ";
      switch (body.effect) {
        case BodyLine::Effect::kBlank:
          break;
        case BodyLine::Effect::kComment:
          Say(Level::kNote, at + "a comment");
          break;
        case BodyLine::Effect::kNoEquals:
          Say(Level::kWarning, at + "no effect: no \"=\"");
          break;
        case BodyLine::Effect::kEmptyKey:
          Say(Level::kWarning, at + "no effect: no key before \"=\"");
          break;
        case BodyLine::Effect::kRepeatedKey:
          Say(Level::kWarning, at + "no effect: key " + Quoted(body.key) + " is repeated; line " +
                                   std::to_string(keyLines_[body.key]) + " counts");
          break;
        case BodyLine::Effect::kKey: {
          keyLines_[body.key] = body.number;
          const std::string& value = section.table.at(body.key);
          if (std::find(known.begin(), known.end(), body.key) == known.end()) {
            const std::string like = Resembling(body.key);
            if (!like.empty() && Lower(like) == Lower(body.key)) {
              Say(Level::kWarning, at + "no effect: key " + Quoted(body.key) + " differs from " +
                                       Quoted(like) + " only in letter case");
            } else {
              Say(Level::kWarning,
                  at + "no effect: unknown key " + Quoted(body.key) +
                      (like.empty() ? "" : " (did you mean " + Quoted(like) + "?)"));
            }
          } else if (value.empty()) {
            Say(Level::kWarning, at + "no effect: no entries");
          } else if (body.key == kTitleKey && value != kTitleValue) {
            Say(Level::kWarning,
                at + "no effect: " +
                    (Lower(value) == Lower(kTitleValue)
                         ? Quoted(value) + " differs from " + Quoted(kTitleValue) +
                               " only in letter case"
                         : "only " + Quoted(kTitleValue) + " registers a title package"));
          }
          // Counted in bytes, which a character of a double-byte code page takes two of: no
          // value that was cut is missed.
          if (value.size() >= kLongestInstallerString) {
            const std::size_t semicolon = value.rfind(';');
            const std::string_view last = Trim(
                std::string_view(value).substr(semicolon == std::string::npos ? 0 : semicolon + 1));
            Say(Level::kWarning, line + body.key + ": the value is " +
                                     std::to_string(value.size()) +
                                     " bytes long: an installer may have cut it (an NSIS string "
                                     "holds 1,023 characters); its last entry is " +
                                     Quoted(last));
          }
          break;
        }
      }
    }
  }

  void ExplainCategory(const EffectCategory& category, const DispatchReport& report) {
    const CategoryList& categoryList = lists_.categories[category.row];
    if (!categoryList.load) return;  // no entry of this category
    const EffectList& list = categoryList.list;
    const std::string file(category.listFile);
    const platform::OpenStatus status = categoryList.load->status;
    Say(Level::kNote,
        std::string(category.key) + ": " + file +
            (status == platform::OpenStatus::kFailed ? " (cannot be read)"
             : status == platform::OpenStatus::kRead ? " (exists)"
                                                     : " (missing: would be created)"));
    for (const DispatchReport::Item& item : report.items) {
      if (item.category != &category) continue;
      ExplainEntry(list, item);
      // A Unicode setup writes "?" for each character that the system's code page cannot hold.
      if (item.item.find('?') != std::string::npos) {
        Say(Level::kWarning, "  line " + std::to_string(keyLines_[std::string(category.key)]) +
                                 ": \"?\" in " + Quoted(item.item) +
                                 ": characters may have been lost in a code-page conversion");
      }
    }

    for (const EffectSection& section : list.sections) {
      if (!section.name.empty()) continue;
      Say(Level::kWarning, "  " + file + " has " + std::to_string(section.lines.size()) +
                               " lines in no named section (kept as they are)");
    }
  }

  void ExplainEntry(const EffectList& list, const DispatchReport::Item& entry) {
    const ParsedEntry& parsed = entry.report.entry;
    const MergeReport& r = entry.report.merge;
    const std::string at = "  " + Quoted(entry.item) + ": ";
    const std::string group = Quoted(parsed.group);
    const std::string lineNumber = "line " + std::to_string(r.line + 1);
    switch (r.outcome) {
      case MergeOutcome::kIgnoredNoGroup:
        Say(Level::kWarning,
            at + "ignored: " +
                (entry.item.find('>') == std::string::npos ? "no \">\"" : "no group before \">\""));
        return;
      case MergeOutcome::kIgnoredEmptyLine:
        Say(Level::kWarning, at + "ignored: nothing after \">\"");
        return;
      case MergeOutcome::kListUnreadable:
        Say(Level::kError, at + "dropped: the list file cannot be read");
        return;
      case MergeOutcome::kSectionCreated:
        Say(Level::kNote,
            at + "adds section \"+" + parsed.group + "\" with " + Quoted(parsed.line));
        for (std::size_t i = 0; i + 1 < list.sections.size(); ++i) {
          const std::string_view name = list.sections[i].name;
          if (!name.empty() && Folded(name) == Folded(parsed.group)) {
            Say(Level::kWarning, "  section " + Quoted(name) + " exists; it differs from " + group +
                                     " only in letter case or blanks");
            break;
          }
        }
        break;
      case MergeOutcome::kLineAppended:
        Say(Level::kNote, at + "appends " + Quoted(parsed.line) + " to section " + group);
        break;
      case MergeOutcome::kLineOverwritten:
        if (r.oldLine == parsed.line) {
          Say(Level::kNote, at + "already present: " + lineNumber + " of section " + group);
        } else {
          Say(Level::kNote, at + "overwrites " + lineNumber + " of section " + group + ": " +
                                Quoted(r.oldLine) + " -> " + Quoted(parsed.line));
        }
        break;
      case MergeOutcome::kAlreadyPresent:
        Say(Level::kNote, at + "already present: " + lineNumber + " of section " + group);
        break;
    }
    if (!parsed.name.empty() && IsWhiteSpace(parsed.name.back())) {
      Say(Level::kWarning, "  the name " + Quoted(parsed.name) +
                               " ends in blanks before \":=\"; they are part of the name");
    }
  }

  void ExplainTitle(TitleOutcome outcome) {
    switch (outcome) {
      case TitleOutcome::kAdded:
        Say(Level::kNote, "title: " + Quoted(package_) + " would be added to " + kTitleListFile);
        break;
      case TitleOutcome::kAlreadyListed:
        Say(Level::kNote, "title: " + Quoted(package_) + " is already listed in " + kTitleListFile);
        break;
      case TitleOutcome::kUnreadable:
        Say(Level::kError, std::string("title: ") + kTitleListFile + " cannot be read");
        break;
    }
  }

  std::string directory_;  // where the lists are
  std::string package_;
  std::string configPath_;                       // where the package's section is read
  std::string configName_;                       // how the plan names that file
  std::map<std::string, std::size_t> keyLines_;  // the line of each key that counts
  HostLists lists_;
};

// What fxremove would do: the same removal, in memory, step by step.
class RemovalChecker : PlanOutput {
 public:
  RemovalChecker(const std::string& appDirectory, const std::string& packageName, std::ostream& out)
      : PlanOutput(out), directory_(appDirectory), package_(packageName) {}

  int Run() {
    const std::string path = platform::PathIn(directory_, kInstallRecordFile);
    InstallRecord record;
    const LoadResult loaded = LoadInstallRecord(record, path);
    if (loaded.status == platform::OpenStatus::kFailed) {
      Say(Level::kError, "cannot read " + path + ": " + loaded.reason);
      return ExitCode();
    }
    if (record.Find(package_) == nullptr) {
      Say(Level::kError, "no record of the package " + package_ + " in " + path +
                             ": fxremove would change nothing (for a package installed before "
                             "records were kept: fxremove --from-config " +
                             package_ + ")");
      return ExitCode();
    }
    Say(Level::kNote, "package " + package_ + ": " +
                          std::to_string(record.Find(package_)->entries.size()) +
                          " recorded changes, undone newest first");
    const RemovalPlan plan = RemovePackage(record, package_, directory_, lists_);
    for (const RemovalStep& step : plan.steps) Explain(step);
    for (const std::string& line : problem::FilesLeftUnread(lists_, directory_)) {
      Say(Level::kError, line);
    }
    SayWriteBack(PlanWriteBack(plan.changed), directory_);
    return ExitCode();
  }

 private:
  void Explain(const RemovalStep& step) {
    using Effect = RemovalStep::Effect;
    const RecordEntry& entry = step.entry;
    if (entry.list.empty()) {
      const std::string title = "title: " + Quoted(package_);
      switch (step.effect) {
        case Effect::kTitleRemoved:
          Say(Level::kNote, title + " would be removed from " + kTitleListFile);
          break;
        case Effect::kAlreadyUndone:
          Say(Level::kNote, title + " is not in " + std::string(kTitleListFile) + " any more");
          break;
        case Effect::kListUnreadable:
          Say(Level::kError, std::string("title: ") + kTitleListFile + " cannot be read");
          break;
        default:
          Say(Level::kNote, title + " was listed before the package: it stays");
      }
      return;
    }
    const std::string at = "  " + entry.list + ", section " + Quoted(entry.group) + ": ";
    const std::string line = Quoted(entry.line);
    switch (step.effect) {
      case Effect::kLineRemoved:
        Say(Level::kNote, at + "removes " + line);
        break;
      case Effect::kSectionRemoved:
        Say(Level::kNote, at + "removes " + line + " and the section, left with its header alone");
        break;
      case Effect::kLineRestored:
        Say(Level::kNote, at + "restores " + Quoted(entry.oldLine) + " in place of " + line);
        break;
      case Effect::kHandedOver:
        Say(Level::kNote, at + line +
                              (step.currentLine == entry.line
                                   ? " stays: " + step.otherPackage + " relies on it"
                                   : " was overwritten since by " + step.otherPackage) +
                              "; its record takes it over");
        break;
      case Effect::kChangedByHand:
        Say(Level::kWarning,
            at + line + " was changed since it was installed" +
                (step.currentLine.empty() ? std::string(" (it is gone)")
                                          : " (it reads " + Quoted(step.currentLine) + ")") +
                ": left as it is");
        break;
      case Effect::kAlreadyUndone:
        Say(Level::kNote, at + line + " is undone already");
        break;
      case Effect::kNothingToUndo:
        Say(Level::kNote, at + line + " was there before the package: it stays");
        break;
      case Effect::kTitleRemoved:
        break;
      case Effect::kListUnreadable:
        Say(Level::kError, at + line + ": the list file cannot be read");
        break;
    }
  }

  std::string directory_;
  std::string package_;
  HostLists lists_;
};

}  // namespace

bool ParseCheckArguments(int argc, const char* const* argv, CheckArguments& arguments) {
  arguments = {};
  int next = 1;
  if (next < argc && std::string_view(argv[next]) == "--remove") {
    arguments.remove = true;
    ++next;
  }
  if (!arguments.remove && next < argc && std::string_view(argv[next]) == "--config") {
    if (next + 1 >= argc || argv[next + 1][0] == '\0') return false;
    arguments.configFile = argv[next + 1];
    next += 2;
  }
  if (next >= argc || argv[next][0] == '\0') return false;
  arguments.packageName = argv[next++];
  if (next < argc) {
    if (argv[next][0] == '\0') return false;
    arguments.hostDirectory = argv[next++];
  }
  // A path with blanks that was not quoted arrives as several arguments.
  return next == argc;
}

int CheckPackage(const std::string& appDirectory, const std::string& packageName,
                 const std::string& configFile, std::ostream& out) {
  return Checker(appDirectory, packageName, configFile, out).Run();
}

int CheckRemoval(const std::string& appDirectory, const std::string& packageName,
                 std::ostream& out) {
  return RemovalChecker(appDirectory, packageName, out).Run();
}

}  // namespace fx
