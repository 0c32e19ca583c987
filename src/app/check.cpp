#include "app/check.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "app/write_back.h"
#include "common/narrow_string.h"
#include "effects/effect_category.h"
#include "effects/run_state.h"
#include "effects/title_list.h"
#include "package/package_section.h"
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
  keys.emplace_back("Dir");
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
  bits.emplace_back(kTitleListBit, "MovieTitle");
  std::sort(bits.begin(), bits.end());
  std::string names;
  for (const auto& [bit, name] : bits) {
    if (mask & bit) names += (names.empty() ? "" : " | ") + name + " " + Hex(bit);
  }
  return names;
}

// Collects what the dispatch did, entry by entry, category by category.
class Plan : public DispatchObserver {
 public:
  struct Entry {
    std::string item;
    MergeReport report;
  };
  void OnEntry(const EffectCategory& category, const std::string& item,
               const MergeReport& report) override {
    entries[category.row].push_back({item, report});
  }
  void OnTitle(TitleOutcome outcome) override { title = outcome; }

  std::map<std::size_t, std::vector<Entry>> entries;  // by category row
  std::optional<TitleOutcome> title;                  // when the package asked to be one
};

class Checker {
 public:
  Checker(const std::string& appDirectory, const std::string& packageName, std::ostream& out)
      : package_(packageName), out_(out) {
    state_.appDirectory = appDirectory;
  }

  int Run() {
    const std::string path = state_.PathOf(kPackageConfigFile);
    const PackageSection section = ReadPackageTable(path, package_);
    if (section.status != platform::OpenStatus::kRead) {
      Say(kCheckFailed,
          (section.status == platform::OpenStatus::kMissing ? "no " : "cannot read ") + path +
              (section.status == platform::OpenStatus::kMissing ? "" : ": " + section.reason));
      return result_;
    }
    if (!section.found) {
      Say(kCheckFailed, "no section [" + package_ + "] in " + std::string(kPackageConfigFile));
      PointOutNearHeaders(path);
      return result_;
    }
    Say(kCheckAllApplied, "package [" + package_ + "]: " + std::string(kPackageConfigFile) +
                              " line " + std::to_string(section.headerLine));
    ExplainBody(section);

    Plan plan;
    DispatchPackageSection(state_, section, package_, &plan);
    for (const EffectCategory& category : kEffectCategories) {
      const auto entries = plan.entries.find(category.row);
      if (entries != plan.entries.end()) ExplainCategory(category, entries->second);
    }
    if (plan.title) ExplainTitle(*plan.title);
    for (const std::string& problem : state_.problems) Say(kCheckFailed, problem);

    std::string files;
    ChangeMask mask = 0;
    for (const PlannedWrite& write : PlanWriteBack(state_)) {
      files += (files.empty() ? "" : ", ") + write.fileName;
      mask |= write.bit;
    }
    Say(kCheckAllApplied, files.empty() ? "would write nothing" : "would write: " + files);
    Say(kCheckAllApplied,
        mask == 0 ? "the host editor would not be told"
                  : "the host editor would receive " + Hex(mask) + " (" + BitNames(mask) + ")");
    return result_;
  }

 private:
  void Say(int level, const std::string& line) {
    result_ = std::max(result_, level);
    out_ << (level == kCheckWarnings ? "warning: "
             : level == kCheckFailed ? "error: "
                                     : "")
         << line << '\n';
  }

  void PointOutNearHeaders(const std::string& path) {
    platform::TextFileReader file;
    if (file.ReadAll(path) != platform::OpenStatus::kRead) return;
    const std::string header = Lower("[" + package_ + "]");
    std::string_view line;
    for (std::size_t number = 1; file.ReadLine(line); ++number) {
      const std::string_view trimmed = Trim(line);
      const std::string at = "  line " + std::to_string(number) + ": " + std::string(trimmed);
      if (Lower(trimmed) == header) {
        Say(kCheckFailed, at + " differs only in letter case");
      } else if (!trimmed.empty() && trimmed[0] == '#' &&
                 Lower(Trim(trimmed.substr(1))) == header) {
        Say(kCheckFailed, at + " is commented out");
      }
    }
  }

  void ExplainBody(const PackageSection& section) {
    std::map<std::string, std::size_t> firstLineOfKey;
    const std::vector<std::string> known = KnownKeys();
    for (const BodyLine& body : section.body) {
      const std::string at = "  line " + std::to_string(body.number) + ": " + body.text + ": ";
      switch (body.effect) {
        case BodyLine::Effect::kBlank:
          break;
        case BodyLine::Effect::kComment:
          Say(kCheckAllApplied, at + "a comment");
          break;
        case BodyLine::Effect::kNoEquals:
          Say(kCheckWarnings, at + "no effect: no \"=\"");
          break;
        case BodyLine::Effect::kEmptyKey:
          Say(kCheckWarnings, at + "no effect: no key before \"=\"");
          break;
        case BodyLine::Effect::kRepeatedKey:
          Say(kCheckWarnings, at + "no effect: key " + Quoted(body.key) + " is repeated; line " +
                                  std::to_string(firstLineOfKey[body.key]) + " counts");
          break;
        case BodyLine::Effect::kKey:
          firstLineOfKey[body.key] = body.number;
          if (std::find(known.begin(), known.end(), body.key) == known.end()) {
            const std::string like = Resembling(body.key);
            Say(kCheckWarnings, at + "no effect: unknown key " + Quoted(body.key) +
                                    (like.empty() ? "" : " (did you mean " + Quoted(like) + "?)"));
          } else if (section.table.at(body.key).empty()) {
            Say(kCheckWarnings, at + "no effect: no entries");
          }
          break;
      }
    }
  }

  void ExplainCategory(const EffectCategory& category, const std::vector<Plan::Entry>& entries) {
    const EffectList& list = state_.lists[category.row];
    const std::string file(category.listFile);
    const bool exists = std::filesystem::exists(state_.PathOf(category.listFile));
    Say(kCheckAllApplied, std::string(category.key) + ": " + file +
                              (state_.listUnreadable[category.row] ? " (cannot be read)"
                               : exists                            ? " (exists)"
                                        : " (missing: would be created)"));
    for (const Plan::Entry& entry : entries) ExplainEntry(list, entry);
    for (const EffectSection& section : list.sections) {
      if (!section.name.empty()) continue;
      Say(kCheckWarnings, "  " + file + " has " + std::to_string(section.lines.size()) +
                              " lines in no named section (kept as they are)");
    }
  }

  void ExplainEntry(const EffectList& list, const Plan::Entry& entry) {
    const MergeReport& r = entry.report;
    const std::string at = "  " + Quoted(entry.item) + ": ";
    const std::string group = Quoted(r.entry.group);
    const std::string lineNumber = "line " + std::to_string(r.line + 1);
    switch (r.outcome) {
      case MergeOutcome::kIgnoredNoGroup:
        Say(kCheckWarnings,
            at + "ignored: " +
                (entry.item.find('>') == std::string::npos ? "no \">\"" : "no group before \">\""));
        return;
      case MergeOutcome::kIgnoredEmptyLine:
        Say(kCheckWarnings, at + "ignored: nothing after \">\"");
        return;
      case MergeOutcome::kListUnreadable:
        Say(kCheckFailed, at + "dropped: the list file cannot be read");
        return;
      case MergeOutcome::kSectionCreated:
        Say(kCheckAllApplied,
            at + "adds section \"+" + r.entry.group + "\" with " + Quoted(r.entry.line));
        for (std::size_t i = 0; i + 1 < list.sections.size(); ++i) {
          const std::string_view name = list.sections[i].name;
          if (!name.empty() && Folded(name) == Folded(r.entry.group)) {
            Say(kCheckWarnings, "  section " + Quoted(name) + " exists; it differs from " + group +
                                    " only in letter case or blanks");
            break;
          }
        }
        break;
      case MergeOutcome::kLineAppended:
        Say(kCheckAllApplied, at + "appends " + Quoted(r.entry.line) + " to section " + group);
        break;
      case MergeOutcome::kLineOverwritten:
        if (r.oldLine == r.entry.line) {
          Say(kCheckAllApplied, at + "already present: " + lineNumber + " of section " + group);
        } else {
          Say(kCheckAllApplied, at + "overwrites " + lineNumber + " of section " + group + ": " +
                                    Quoted(r.oldLine) + " -> " + Quoted(r.entry.line));
        }
        break;
      case MergeOutcome::kAlreadyPresent:
        Say(kCheckAllApplied, at + "already present: " + lineNumber + " of section " + group);
        break;
    }
    if (!r.entry.name.empty() && IsWhiteSpace(r.entry.name.back())) {
      Say(kCheckWarnings, "  the name " + Quoted(r.entry.name) +
                              " ends in blanks before \":=\"; they are part of the name");
    }
  }

  void ExplainTitle(TitleOutcome outcome) {
    switch (outcome) {
      case TitleOutcome::kAdded:
        Say(kCheckAllApplied,
            "title: " + Quoted(package_) + " would be added to " + kTitleListFile);
        break;
      case TitleOutcome::kAlreadyListed:
        Say(kCheckAllApplied,
            "title: " + Quoted(package_) + " is already listed in " + kTitleListFile);
        break;
      case TitleOutcome::kUnreadable:
        Say(kCheckFailed, std::string("title: ") + kTitleListFile + " cannot be read");
        break;
    }
  }

  RunState state_;
  std::string package_;
  std::ostream& out_;
  int result_ = kCheckAllApplied;
};

}  // namespace

int CheckPackage(const std::string& appDirectory, const std::string& packageName,
                 std::ostream& out) {
  return Checker(appDirectory, packageName, out).Run();
}

}  // namespace fx
