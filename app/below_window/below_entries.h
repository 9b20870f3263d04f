// What "Tasks Below This Folder..." shows: one entry per task list with open tasks (or per list
// or folder that could not be read), and the rows of the window's list made from them, a heading
// for each entry and its open tasks beneath, narrowed by the filter. No window here: the words
// each row says and draws are made once, so what is heard is what is seen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "walk/tree_lists.h"

struct BelowEntry {
    std::u16string folder;               // below the root; "" for the root itself
    std::string key;                     // the list's folder key; "" for a folder's whole database
    std::optional<std::u16string> item;  // absent: an unclaimed list, or a problem row
    std::vector<std::u16string> open;    // the open tasks' titles, by priority
    size_t total = 0;
    size_t done = 0;
    TreeProblem problem = TreeProblem::kNone;
};

// The entry for one list or problem the reader reported; nothing for a list without open tasks.
std::optional<BelowEntry> EntryOf(const TreeList& list);
// The same, also for a list without open tasks (one read again after its item's window closed).
BelowEntry EntryFrom(const TreeList& list);

// Whether the entry's item can be opened in its own window: a readable list whose item exists.
bool CanOpen(const BelowEntry& entry);

// The item's path below the root ("Clients\Acme\Logo"); for an unclaimed list the folder with
// "(unclaimed list)"; for a problem row the folder, the root being "(this folder)".
std::u16string EntryPath(const BelowEntry& entry);

// One row of the list: an entry's heading (task < 0) or one of its open tasks.
struct BelowRow {
    size_t entry = 0;
    int task = -1;
};

// The rows of entry `index` for `filter` (folded by FoldForFilter; empty: no filter): its heading
// and its open tasks; with a filter only the tasks whose title contains it, and nothing at all
// when none does (problem rows, which have no titles, among them).
void AppendRows(const BelowEntry& entry,
                size_t index,
                const std::u16string& filter,
                std::vector<BelowRow>& rows);

// The text compared against the filter, compared without regard to case.
std::u16string FoldForFilter(const std::u16string& text);

// What a screen reader reads for a row, and the list box keeps as its text:
// "Website, 2 open of 3 tasks", "Renew certificate, open, Website", "Archive, damaged".
std::u16string RowName(const BelowEntry& entry, const BelowRow& row);

// The heading's counts as drawn at its right: "2 open of 3", or the problem's word.
std::u16string CountsText(const BelowEntry& entry);

// 12340 as "12,340".
std::u16string GroupedNumber(uint64_t value);
