// The work of "Tasks Below This Folder..." that runs beside its window: the walk over the tree on
// a thread of its own, whose entries the window takes in batches, and the item windows it opens,
// each watched by a thread that reads the item's list again once its window has closed. The
// window's thread never waits for either, except when it stops them.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/below_window/below_entries.h"
#include "win/unique_handle.h"

inline void CloseKernelHandle(HANDLE handle) noexcept {
    CloseHandle(handle);
}
// Processes, threads and events: their "none" is null.
using UniqueKernelHandle = UniqueHandle<NullHandleTraits<HANDLE, CloseKernelHandle>>;

// Posted to the window when entries wait to be taken (TakeBatch). At most one is in the queue.
inline constexpr UINT kBelowBatchMessage = WM_APP + 20;
// Posted when an item window has closed and its list was read again: wParam the watch's number,
// lParam a BelowRefresh the receiver owns (and deletes).
inline constexpr UINT kBelowRefreshMessage = WM_APP + 21;

struct BelowBatch {
    std::vector<BelowEntry> entries;
    // The walk's totals so far.
    uint64_t lists = 0;
    uint64_t open = 0;
    uint64_t problems = 0;
    bool finished = false;  // the walk is over: `outcome` says how
    WalkOutcome outcome = WalkOutcome::Finished;
};

// One list read again: found, or gone (`found` false: no list of that key is there any more).
struct BelowRefresh {
    std::u16string folder;
    std::string key;
    bool found = false;
    BelowEntry entry;  // with every open task, also when none is left
};

class BelowWalk {
public:
    BelowWalk() = default;
    ~BelowWalk() { Stop(); }
    BelowWalk(const BelowWalk&) = delete;
    BelowWalk& operator=(const BelowWalk&) = delete;

    // Starts walking `root` (a previous walk is stopped first); `window` gets kBelowBatchMessage.
    void Start(HWND window, const std::u16string& root);
    // Asks the walk to stop; it does within a listing or a list, and its last batch says so.
    void Cancel() { cancel_ = true; }
    // Cancels and waits for the thread; what it had not handed over is dropped.
    void Stop();
    // The entries found since the last call, with the totals; empty when there are none.
    std::unique_ptr<BelowBatch> TakeBatch();
    uint64_t FoldersListed() const { return folders_.load(std::memory_order_relaxed); }

private:
    void Run(HWND window, const std::u16string& root);
    // Hands `entry` (if any) and the totals over, posting the message unless one is on its way.
    void Hand(HWND window, BelowEntry* entry, const BelowBatch& totals, bool finished);

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    std::atomic<uint64_t> folders_{0};
    std::mutex mutex_;
    std::unique_ptr<BelowBatch> pending_;  // under mutex_
    bool posted_ = false;                  // under mutex_
};

// The item windows opened from the window, each watched until it closes.
class ItemWindows {
public:
    ItemWindows() = default;
    ~ItemWindows() { StopAll(); }
    ItemWindows(const ItemWindows&) = delete;
    ItemWindows& operator=(const ItemWindows&) = delete;

    // Starts this program for the item of `entry` below `root` with the command line the context
    // menu gives it, and watches it: when it ends, the list is read again and posted to `window`
    // as kBelowRefreshMessage. False when the program could not be started.
    bool Open(HWND window, const std::u16string& root, const BelowEntry& entry);
    // The watch that posted `number` is done: its thread is joined.
    void Finished(WPARAM number);
    // Stops watching (the windows stay open) and joins every watcher; refreshes they had posted
    // are taken from the queue of `window` and dropped.
    void StopAll(HWND window = nullptr);

private:
    struct Watch {
        std::thread thread;
    };
    std::map<WPARAM, Watch> watches_;
    WPARAM next_ = 1;
    std::atomic<bool> stopping_{false};
    UniqueKernelHandle stopEvent_;  // made with the first watch, set by StopAll
};

// Starts this program with `arguments`, each quoted so that the system's parser gives it back as
// it is; its process in `process` when asked for. False when it could not be started.
bool StartThisProgram(const std::vector<std::u16string>& arguments,
                      UniqueKernelHandle* process = nullptr);

// The folder `relative` below `root`, joined with one separator.
std::u16string FolderBelow(const std::u16string& root, const std::u16string& relative);
