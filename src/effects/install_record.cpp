#include "effects/install_record.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "effects/list_file.h"
#include "platform/text_file.h"

namespace fx {
namespace {

constexpr std::array<std::pair<RecordKind, std::string_view>, 6> kKindNames = {{
    {RecordKind::kCreated, "created"},
    {RecordKind::kAppended, "appended"},
    {RecordKind::kOverwritten, "overwritten"},
    {RecordKind::kPresent, "present"},
    {RecordKind::kTitleAdded, "title\tadded"},
    {RecordKind::kTitlePresent, "title\tpresent"},
}};

std::string Escaped(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\n':
        escaped += "\\n";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

bool Unescape(std::string_view text, std::string& plain) {
  plain.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      plain += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\':
        plain += '\\';
        break;
      case 't':
        plain += '\t';
        break;
      case 'r':
        plain += '\r';
        break;
      case 'n':
        plain += '\n';
        break;
      default:
        return false;
    }
  }
  return true;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return fields;
    line.remove_prefix(tab + 1);
  }
}

// One entry line; false when it is not of the format.
bool ParseEntry(const std::vector<std::string_view>& fields, RecordEntry& entry) {
  if (fields.size() == 2 && fields[0] == "title") {
    if (fields[1] != "added" && fields[1] != "present") return false;
    entry.kind = fields[1] == "added" ? RecordKind::kTitleAdded : RecordKind::kTitlePresent;
    return true;
  }
  const auto kind = std::find_if(kKindNames.begin(), kKindNames.begin() + 4,
                                 [&](const auto& known) { return known.second == fields[0]; });
  if (kind == kKindNames.begin() + 4) return false;
  entry.kind = kind->first;
  const size_t expected = entry.kind == RecordKind::kOverwritten ? 5 : 4;
  const bool knownList =
      std::any_of(kEffectCategories.begin(), kEffectCategories.end(),
                  [&](const EffectCategory& category) { return category.listFile == fields[1]; });
  if (fields.size() != expected || !knownList) return false;
  entry.list = fields[1];
  if (!Unescape(fields[2], entry.group) || entry.group.empty()) return false;
  if (entry.kind == RecordKind::kOverwritten) {
    return Unescape(fields[3], entry.oldLine) && Unescape(fields[4], entry.line);
  }
  return Unescape(fields[3], entry.line);
}

std::string FormatEntry(const RecordEntry& entry) {
  const auto kind = std::find_if(kKindNames.begin(), kKindNames.end(),
                                 [&](const auto& known) { return known.first == entry.kind; });
  std::string text(kind->second);
  if (entry.kind == RecordKind::kTitleAdded || entry.kind == RecordKind::kTitlePresent) {
    return text;
  }
  text += '\t' + entry.list + '\t' + Escaped(entry.group) + '\t';
  if (entry.kind == RecordKind::kOverwritten) text += Escaped(entry.oldLine) + '\t';
  return text + Escaped(entry.line);
}

// What makes two entries stand for the same line of the same list and group (every title entry
// is the same line).
std::string LineKey(const RecordEntry& entry) {
  if (entry.kind == RecordKind::kTitleAdded || entry.kind == RecordKind::kTitlePresent) {
    return "\ttitle";
  }
  return entry.list + '\t' + Escaped(entry.group) + '\t' + Escaped(entry.line);
}

}  // namespace

PackageRecord* InstallRecord::Find(std::string_view package) {
  const auto found = std::find_if(packages.begin(), packages.end(),
                                  [&](const PackageRecord& p) { return p.name == package; });
  return found == packages.end() ? nullptr : &*found;
}

LoadResult LoadInstallRecord(InstallRecord& record, const std::string& path) {
  platform::TextFileReader file;
  LoadResult result = ReadWholeFile(file, path);
  if (result.status != platform::OpenStatus::kRead) return result;
  InstallRecord read;
  std::string_view line;
  for (size_t number = 1; file.ReadLine(line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string_view> fields = Fields(line);
    std::string name;
    RecordEntry entry;
    if (fields.size() == 2 && fields[0] == "package" && Unescape(fields[1], name) &&
        !name.empty()) {
      read.packages.push_back({name, {}});
    } else if (!read.packages.empty() && ParseEntry(fields, entry)) {
      read.packages.back().entries.push_back(std::move(entry));
    } else {
      result.status = platform::OpenStatus::kFailed;
      result.reason = "line " + std::to_string(number) + " is not a record line";
      return result;
    }
  }
  for (PackageRecord& package : read.packages) {
    if (PackageRecord* known = record.Find(package.name)) {
      known->entries.insert(known->entries.end(), package.entries.begin(), package.entries.end());
    } else {
      record.packages.push_back(std::move(package));
    }
  }
  return result;
}

SaveResult SaveInstallRecord(const InstallRecord& record, const std::string& path) {
  return ReplaceWholeFile(path, [&](platform::TextFileWriter& file) {
    file.WriteLine("# What fxinstall changed for each package, so that fxremove can undo it.");
    file.WriteLine("# Written by fxinstall and fxremove; do not edit.");
    for (const PackageRecord& package : record.packages) {
      if (package.entries.empty()) continue;
      file.WriteLine("package\t" + Escaped(package.name));
      for (const RecordEntry& entry : package.entries) file.WriteLine(FormatEntry(entry));
    }
  });
}

bool RecordOf(const EffectCategory& category, const EntryReport& report, RecordEntry& entry) {
  entry = RecordEntry();
  entry.list = category.listFile;
  entry.group = report.entry.group;
  entry.line = report.entry.line;
  switch (report.merge.outcome) {
    case MergeOutcome::kSectionCreated:
      entry.kind = RecordKind::kCreated;
      return true;
    case MergeOutcome::kLineAppended:
      entry.kind = RecordKind::kAppended;
      return true;
    case MergeOutcome::kLineOverwritten:
      entry.kind = report.merge.oldLine == report.entry.line ? RecordKind::kPresent
                                                             : RecordKind::kOverwritten;
      if (entry.kind == RecordKind::kOverwritten) entry.oldLine = report.merge.oldLine;
      return true;
    case MergeOutcome::kAlreadyPresent:
      entry.kind = RecordKind::kPresent;
      return true;
    case MergeOutcome::kIgnoredNoGroup:
    case MergeOutcome::kIgnoredEmptyLine:
    case MergeOutcome::kListUnreadable:
      return false;
  }
  return false;
}

void AddToRecord(InstallRecord& record, const std::string& package,
                 const std::vector<RecordEntry>& entries) {
  PackageRecord* block = record.Find(package);
  if (block == nullptr) block = &record.packages.emplace_back(PackageRecord{package, {}});
  // A set of what the block holds, so that a package of many entries costs no more than it.
  std::unordered_set<std::string> known;
  for (const RecordEntry& entry : block->entries) known.insert(LineKey(entry));
  for (const RecordEntry& entry : entries) {
    if (known.insert(LineKey(entry)).second) block->entries.push_back(entry);
  }
}

}  // namespace fx
