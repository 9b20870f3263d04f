#include "app/below_window/below_entries.h"

#include <windows.h>

#include "app/ui/entry_text.h"
#include "text/text_encoding.h"
#include "text/text_format.h"

namespace {

std::u16string Number(uint64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string ProblemText(TreeProblem problem) {
    switch (problem) {
        case TreeProblem::kNone:
            return std::u16string();
        case TreeProblem::kUnreadableFolder:
            return Text(TextId::kProblemUnreadableFolder);
        case TreeProblem::kOnlineOnly:
            return Text(TextId::kProblemOnlineOnly);
        case TreeProblem::kBusy:
            return Text(TextId::kProblemBusy);
        case TreeProblem::kDamaged:
            return Text(TextId::kProblemDamaged);
        case TreeProblem::kCrafted:
            return Text(TextId::kProblemCrafted);
        case TreeProblem::kTooLarge:
            return Text(TextId::kProblemTooLarge);
        case TreeProblem::kUnreadable:
            break;
    }
    return Text(TextId::kProblemUnreadable);
}

}  // namespace

std::optional<BelowEntry> EntryOf(const TreeList& list) {
    if (list.problem == TreeProblem::kNone && list.done >= list.total) return std::nullopt;
    return EntryFrom(list);
}

BelowEntry EntryFrom(const TreeList& list) {
    BelowEntry entry;
    entry.folder = list.folder;
    entry.key = list.key;
    entry.item = list.item;
    entry.total = list.total;
    entry.done = list.done;
    entry.problem = list.problem;
    // Only the open tasks are kept: a tree of long finished lists costs the window nothing.
    for (const TreeTask& task : list.tasks) {
        if (!task.done) entry.open.push_back(Utf8ToUtf16(task.title));
    }
    return entry;
}

bool CanOpen(const BelowEntry& entry) {
    return entry.problem == TreeProblem::kNone && entry.item.has_value();
}

std::u16string EntryPath(const BelowEntry& entry) {
    std::u16string path = entry.folder;
    if (entry.key.empty()) return path.empty() ? Text(TextId::kBelowThisFolder) : path;
    if (!path.empty()) path += u'\\';
    return path + (entry.item ? *entry.item : Text(TextId::kBelowUnclaimed));
}

void AppendRows(const BelowEntry& entry,
                size_t index,
                const std::u16string& filter,
                std::vector<BelowRow>& rows) {
    if (filter.empty()) {
        rows.push_back(BelowRow{index, -1});
        for (size_t task = 0; task < entry.open.size(); ++task) {
            rows.push_back(BelowRow{index, static_cast<int>(task)});
        }
        return;
    }
    // A problem row has no titles to match.
    bool headed = false;
    for (size_t task = 0; task < entry.open.size(); ++task) {
        if (FoldForFilter(entry.open[task]).find(filter) == std::u16string::npos) continue;
        if (!headed) rows.push_back(BelowRow{index, -1});
        headed = true;
        rows.push_back(BelowRow{index, static_cast<int>(task)});
    }
}

std::u16string FoldForFilter(const std::u16string& text) {
    std::u16string folded(text);
    if (!folded.empty()) {
        CharUpperBuffW(reinterpret_cast<wchar_t*>(folded.data()),
                       static_cast<DWORD>(folded.size()));
    }
    return folded;
}

std::u16string CountsText(const BelowEntry& entry) {
    if (entry.problem != TreeProblem::kNone) return ProblemText(entry.problem);
    const size_t open = entry.total - entry.done;
    if (open == 0) return FormatText(TextId::kBelowNoneOpenOf, {Number(entry.total)});
    return FormatText(TextId::kBelowOpenOf, {Number(open), Number(entry.total)});
}

std::u16string RowName(const BelowEntry& entry, const BelowRow& row) {
    const std::u16string path = ReadableText(EntryPath(entry));
    if (row.task >= 0 && static_cast<size_t>(row.task) < entry.open.size()) {
        return FormatText(TextId::kBelowTaskName,
                          {ReadableText(entry.open[static_cast<size_t>(row.task)]), path});
    }
    if (entry.problem != TreeProblem::kNone) {
        return FormatText(TextId::kBelowProblemName, {path, ProblemText(entry.problem)});
    }
    return FormatText(entry.total == 1 ? TextId::kBelowItemNameOne : TextId::kBelowItemNameMany,
                      {path, CountsText(entry)});
}

std::u16string GroupedNumber(uint64_t value) {
    const std::u16string digits = Number(value);
    std::u16string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += u',';
        grouped += digits[i];
    }
    return grouped;
}
