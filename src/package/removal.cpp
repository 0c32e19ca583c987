#include "package/removal.h"

#include <algorithm>
#include <functional>

#include "effects/merge_index.h"
#include "package/split.h"
#include "platform/file.h"

namespace fx {
namespace {

using Effect = RemovalStep::Effect;

const EffectCategory* CategoryOfList(std::string_view listFile) {
  for (const EffectCategory& category : kEffectCategories) {
    if (category.listFile == listFile) return &category;
  }
  return nullptr;
}

bool IsTitle(const RecordEntry& entry) {
  return entry.kind == RecordKind::kTitleAdded || entry.kind == RecordKind::kTitlePresent;
}

// The first entry of another package than skip for which matches holds; false when none.
bool FindOther(const InstallRecord& record, std::size_t skip,
               const std::function<bool(const RecordEntry&)>& matches, RemovalStep& step) {
  for (std::size_t p = 0; p < record.packages.size(); ++p) {
    if (p == skip) continue;
    const std::vector<RecordEntry>& entries = record.packages[p].entries;
    for (std::size_t e = 0; e < entries.size(); ++e) {
      if (!matches(entries[e])) continue;
      step.otherPackage = record.packages[p].name;
      step.otherPackageIndex = p;
      step.otherEntryIndex = e;
      step.otherEntry = entries[e];
      return true;
    }
  }
  return false;
}

// The list of category, read from its file in directory at its first use; null when the file
// cannot be read.
EffectList* LoadedList(HostLists& lists, const EffectCategory& category,
                       const std::string& directory) {
  CategoryList& list = lists.categories[category.row];
  if (!list.load) {
    list.load = LoadEffectList(list.list, platform::PathIn(directory, category.listFile));
  }
  return list.Unreadable() ? nullptr : &list.list;
}

// The first section of list named group.
std::deque<EffectSection>::iterator FirstSection(EffectList& list, std::string_view group) {
  return std::find_if(list.sections.begin(), list.sections.end(),
                      [&](const EffectSection& s) { return s.name == group; });
}

// Removes the last title line that equals name, reading the title list from directory at its
// first use. A line that is gone is undone already: by hand, or by an interrupted removal.
Effect RemoveTitle(HostLists& lists, const std::string& directory, std::string_view name,
                   ChangeMask& changed) {
  if (!lists.titlesLoad) {
    lists.titlesLoad = LoadTitleList(lists.titles, platform::PathIn(directory, kTitleListFile));
  }
  if (lists.titlesLoad->status == platform::OpenStatus::kFailed) return Effect::kListUnreadable;
  std::vector<std::string_view>& lines = lists.titles.lines;
  const auto last = std::find(lines.rbegin(), lines.rend(), name);
  if (last == lines.rend()) return Effect::kAlreadyUndone;
  lines.erase(std::next(last).base());
  changed |= kTitleListBit;
  return Effect::kTitleRemoved;
}

class Remover {
 public:
  Remover(const InstallRecord& record, std::size_t package, const std::string& directory,
          HostLists& lists)
      : record_(record), package_(package), directory_(directory), lists_(lists) {}

  RemovalPlan Run() {
    const std::vector<RecordEntry>& entries = record_.packages[package_].entries;
    for (std::size_t i = entries.size(); i-- > 0;) {
      RemovalStep step;
      step.entry = entries[i];
      step.index = i;
      if (IsTitle(step.entry)) {
        UndoTitle(step);
      } else {
        UndoLine(step);
      }
      plan_.steps.push_back(std::move(step));
    }
    return std::move(plan_);
  }

 private:
  void UndoTitle(RemovalStep& step) {
    if (step.entry.kind == RecordKind::kTitlePresent) return;  // kNothingToUndo
    step.effect = RemoveTitle(lists_, directory_, record_.packages[package_].name, plan_.changed);
  }

  void UndoLine(RemovalStep& step) {
    const RecordEntry& entry = step.entry;
    if (entry.kind == RecordKind::kPresent) return;  // kNothingToUndo
    const EffectCategory& category = *CategoryOfList(entry.list);
    EffectList* list = LoadedList(lists_, category, directory_);
    if (list == nullptr) {
      step.effect = Effect::kListUnreadable;
      return;
    }
    const auto section = FirstSection(*list, entry.group);
    // A line is found by its text; a named one that is not, by its name, to tell a line
    // changed by hand from one that is gone.
    std::vector<std::string_view>* lines = nullptr;
    std::size_t position = 0;
    if (section != list->sections.end()) {
      lines = &section->lines;
      const std::string_view name = NameOfLine(entry.line);
      auto found = std::find(lines->begin(), lines->end(), entry.line);
      if ((entry.kind == RecordKind::kOverwritten || found == lines->end()) && !name.empty()) {
        found = std::find_if(lines->begin(), lines->end(),
                             [&](std::string_view line) { return NameOfLine(line) == name; });
      }
      position = static_cast<std::size_t>(found - lines->begin());
      if (found != lines->end()) step.currentLine = *found;
    }
    const bool asLeft =
        lines != nullptr && position < lines->size() && (*lines)[position] == entry.line;

    const auto sameLine = [&](const RecordEntry& other) {
      return !IsTitle(other) && other.list == entry.list && other.group == entry.group;
    };
    if (asLeft && FindOther(
                      record_, package_,
                      [&](const RecordEntry& other) {
                        return sameLine(other) && other.kind == RecordKind::kPresent &&
                               other.line == entry.line;
                      },
                      step)) {
      // The other package relies on the line: it takes over what this one did.
      step.otherEntry = entry;
      step.effect = Effect::kHandedOver;
      return;
    }
    if (!asLeft && FindOther(
                       record_, package_,
                       [&](const RecordEntry& other) {
                         return sameLine(other) && other.kind == RecordKind::kOverwritten &&
                                other.oldLine == entry.line;
                       },
                       step)) {
      // The other package overwrote the line since: it takes over the appending, or the old
      // text, so that its removal gives back what was there before this package.
      const std::string itsLine = step.otherEntry.line;
      step.otherEntry = entry;
      step.otherEntry.line = itsLine;
      step.effect = Effect::kHandedOver;
      return;
    }
    if (!asLeft) {
      const bool undone = entry.kind == RecordKind::kOverwritten ? step.currentLine == entry.oldLine
                                                                 : step.currentLine.empty();
      step.effect = undone ? Effect::kAlreadyUndone : Effect::kChangedByHand;
      return;
    }

    plan_.changed |= category.changeBit;
    if (entry.kind == RecordKind::kOverwritten) {
      (*lines)[position] = list->text.Add(entry.oldLine);
      step.effect = Effect::kLineRestored;
      return;
    }
    lines->erase(lines->begin() + static_cast<std::ptrdiff_t>(position));
    step.effect = Effect::kLineRemoved;
    if (entry.kind == RecordKind::kCreated && lines->size() == 1) {
      list->sections.erase(section);
      step.effect = Effect::kSectionRemoved;
    }
  }

  const InstallRecord& record_;
  std::size_t package_;
  const std::string& directory_;
  HostLists& lists_;
  RemovalPlan plan_;
};

// Whether the step changed a file, so that it counts only once that file is written.
bool ChangesAFile(Effect effect) {
  return effect == Effect::kLineRemoved || effect == Effect::kSectionRemoved ||
         effect == Effect::kLineRestored || effect == Effect::kTitleRemoved;
}

}  // namespace

PackageDeclaration DeclarationOf(const std::string& name, const PackageTable& table) {
  PackageDeclaration declaration{name, {}, false};
  std::vector<std::string> items;
  for (const EffectCategory& category : kEffectCategories) {
    const auto value = table.find(std::string(category.key));
    if (value == table.end()) continue;
    SplitByDelimiter(value->second, ";", items);
    for (const std::string& item : items) {
      ParsedEntry entry = ParseEffectEntry(item);
      if (!entry.group.empty() && !entry.line.empty()) {
        declaration.entries.emplace_back(&category, std::move(entry));
      }
    }
  }
  const auto dir = table.find(kTitleKey);
  declaration.title = dir != table.end() && dir->second == kTitleValue;
  return declaration;
}

RemovalPlan RemoveDeclared(const PackageDeclaration& package,
                           const std::vector<PackageDeclaration>& others,
                           const std::string& directory, HostLists& lists) {
  RemovalPlan plan;
  for (const auto& declared : package.entries) {
    // Named, not bound: clang 14 does not let a lambda capture a structured binding.
    const EffectCategory* category = declared.first;
    const ParsedEntry& entry = declared.second;
    RemovalStep& step = plan.steps.emplace_back();
    step.entry = {RecordKind::kAppended, std::string(category->listFile), entry.group, entry.line,
                  ""};
    for (const PackageDeclaration& other : others) {
      const bool declares =
          std::any_of(other.entries.begin(), other.entries.end(), [&](const auto& theirs) {
            return theirs.first == category && theirs.second.group == entry.group &&
                   theirs.second.line == entry.line;
          });
      if (declares && other.name != package.name) {
        step.effect = Effect::kHandedOver;
        step.otherPackage = other.name;
        break;
      }
    }
    if (step.effect == Effect::kHandedOver) continue;
    EffectList* list = LoadedList(lists, *category, directory);
    if (list == nullptr) {
      step.effect = Effect::kListUnreadable;
      continue;
    }
    const auto section = FirstSection(*list, entry.group);
    if (section == list->sections.end()) {
      step.effect = Effect::kAlreadyUndone;
      continue;
    }
    std::vector<std::string_view>& lines = section->lines;
    // The header is the section's own, never one of the package's lines.
    const auto found = std::find(lines.begin() + 1, lines.end(), entry.line);
    if (found == lines.end()) {
      step.effect = Effect::kAlreadyUndone;
      continue;
    }
    lines.erase(found);
    plan.changed |= category->changeBit;
    step.effect = Effect::kLineRemoved;
    if (lines.size() == 1) {
      list->sections.erase(section);
      step.effect = Effect::kSectionRemoved;
    }
  }
  if (package.title) {
    RemovalStep& step = plan.steps.emplace_back();
    step.entry.kind = RecordKind::kTitleAdded;
    step.effect = RemoveTitle(lists, directory, package.name, plan.changed);
  }
  return plan;
}

ChangeMask BitOf(const RecordEntry& entry) {
  if (IsTitle(entry)) return kTitleListBit;
  const EffectCategory* category = CategoryOfList(entry.list);
  return category ? category->changeBit : 0;
}

RemovalPlan RemovePackage(const InstallRecord& record, const std::string& package,
                          const std::string& directory, HostLists& lists) {
  const auto found = std::find_if(record.packages.begin(), record.packages.end(),
                                  [&](const PackageRecord& p) { return p.name == package; });
  if (found == record.packages.end()) return {};
  return Remover(record, static_cast<std::size_t>(found - record.packages.begin()), directory,
                 lists)
      .Run();
}

void UpdateRecordAfterRemoval(InstallRecord& record, const std::string& package,
                              const RemovalPlan& plan, ChangeMask written) {
  PackageRecord* block = record.Find(package);
  if (block == nullptr) return;
  std::vector<bool> done(block->entries.size(), false);
  for (const RemovalStep& step : plan.steps) {
    if (step.effect == Effect::kListUnreadable) continue;
    if (ChangesAFile(step.effect) && (written & BitOf(step.entry)) == 0) continue;
    done[step.index] = true;
    if (step.effect == Effect::kHandedOver) {
      record.packages[step.otherPackageIndex].entries[step.otherEntryIndex] = step.otherEntry;
    }
  }
  std::vector<RecordEntry> kept;
  for (std::size_t i = 0; i < block->entries.size(); ++i) {
    if (!done[i]) kept.push_back(std::move(block->entries[i]));
  }
  block->entries = std::move(kept);
  if (block->entries.empty()) {
    record.packages.erase(record.packages.begin() + (block - record.packages.data()));
  }
}

}  // namespace fx
