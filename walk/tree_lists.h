// Every task list below a root, read as the walk finds the databases: each list with its folder,
// the item it belongs to (or none: unclaimed) and its tasks, handed to the caller one at a time.
// The databases are opened for reading only; nothing is created or written.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "walk/folder_walk.h"

// Why a list, or a folder's whole database, could not be read.
enum class TreeProblem {
    kNone,
    kUnreadableFolder,  // the folder could not be listed (access denied, gone, broke off)
    kOnlineOnly,        // a cloud placeholder: never opened, since opening it downloads it
    kBusy,              // another program held the file longer than the short wait
    kDamaged,           // not a database, cut short or broken, or in WAL mode
    kCrafted,           // not as the program writes it: a view or a table of another shape in
                        // a list's place, a folder in the file's place
    kTooLarge,          // a value longer than the store reads
    kUnreadable,        // anything else: a path the system cannot open, a statement over budget
};

// The row's word for the problem: "busy", "damaged", "crafted", "online only", ...; "" for none.
const char* TreeProblemName(TreeProblem problem);

struct TreeTask {
    std::string title;  // decoded, UTF-8 (bytes that are not UTF-8 as U+FFFD)
    bool done = false;
    std::string date;  // the stored done date; "" for none
    int32_t priority = 0;
};

// One list, or one row for a folder or a database that could not be read as a whole (`key`
// empty, `problem` set).
struct TreeList {
    std::u16string folder;  // below the root, with the system's separators; "" for the root
    std::string key;        // the table's folder key
    std::optional<std::u16string> item;  // the item's name; absent for an unclaimed list
    std::vector<TreeTask> tasks;         // by priority
    size_t total = 0;
    size_t done = 0;
    TreeProblem problem = TreeProblem::kNone;
};

struct TreeListsResult {
    WalkResult walk;
    uint64_t lists = 0;     // lists read whole
    uint64_t problems = 0;  // rows with a problem: folders, databases and lists not read
    uint64_t tasks = 0;
    uint64_t done = 0;
};

// Walks the tree as WalkTree does and reads every task list ("tbl_" tables only) of every
// database it finds, calling `onList` once for each list and once for each folder or database
// that could not be read, as each is read. Memory holds one list at a time. Stops once `cancel`
// is true (onList may set it, another thread too), inside a running statement as well: the list
// being read then is not reported, and the walk's outcome says Cancelled.
TreeListsResult ReadTreeLists(const std::u16string& root,
                              const WalkOptions& options,
                              const std::function<void(const TreeList&)>& onList,
                              const std::atomic<bool>& cancel);
