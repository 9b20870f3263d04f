#include "app/below_window/below_entries.h"

#include <windows.h>

#include "app/ui/entry_text.h"
#include "text/text_encoding.h"

namespace {

std::u16string Number(uint64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string ProblemText(TreeProblem problem) {
    const std::string name = TreeProblemName(problem);
    return std::u16string(name.begin(), name.end());
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
    if (entry.key.empty()) return path.empty() ? u"(this folder)" : path;
    if (!path.empty()) path += u'\\';
    return path + (entry.item ? *entry.item : u"(unclaimed list)");
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
    if (open == 0) return u"none open of " + Number(entry.total);
    return Number(open) + u" open of " + Number(entry.total);
}

std::u16string RowName(const BelowEntry& entry, const BelowRow& row) {
    const std::u16string path = ReadableText(EntryPath(entry));
    if (row.task >= 0 && static_cast<size_t>(row.task) < entry.open.size()) {
        return ReadableText(entry.open[static_cast<size_t>(row.task)]) + u", open, " + path;
    }
    if (entry.problem != TreeProblem::kNone) return path + u", " + ProblemText(entry.problem);
    return path + u", " + CountsText(entry) + (entry.total == 1 ? u" task" : u" tasks");
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
