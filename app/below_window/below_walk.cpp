#include "app/below_window/below_walk.h"

#include <utility>

#include "app/text_util.h"
#include "store/folder_files.h"

namespace {

// The program's own file, of any length.
std::u16string OwnProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return std::u16string(path.begin(), path.end());
        }
        path.resize(path.size() * 2);
    }
}

// The item's list read again, for its entry, from its folder's database alone.
std::unique_ptr<BelowRefresh> ReadAgain(const std::u16string& folderPath,
                                        const BelowEntry& entry,
                                        const std::atomic<bool>& cancel) {
    auto refresh = std::make_unique<BelowRefresh>();
    refresh->folder = entry.folder;
    refresh->key = entry.key;
    WalkOptions options;
    options.depth = 0;
    ReadTreeLists(
        folderPath, options,
        [&](const TreeList& list) {
            // A database that cannot be read now says so in the entry's place.
            const bool whole = list.key.empty() && list.problem != TreeProblem::kNone;
            if (list.key != entry.key && !whole) return;
            refresh->found = true;
            refresh->entry = EntryFrom(list);
            refresh->entry.folder = entry.folder;
            refresh->entry.key = entry.key;
            if (whole) refresh->entry.item = entry.item;
        },
        cancel);
    return refresh;
}

// `argument` in quotes; backslashes before the closing quote are doubled, or the parser would
// read the last of them as escaping it ("C:\" is a drive's root).
std::u16string Quoted(const std::u16string& argument) {
    std::u16string quoted = u"\"" + argument;
    size_t trailing = 0;
    while (trailing < argument.size() && argument[argument.size() - 1 - trailing] == u'\\') {
        ++trailing;
    }
    quoted.append(trailing, u'\\');
    return quoted + u"\"";
}

}  // namespace

bool StartThisProgram(const std::vector<std::u16string>& arguments, UniqueKernelHandle* process) {
    const std::u16string program = OwnProgramPath();
    if (program.empty()) return false;
    std::u16string command = Quoted(program);
    for (const std::u16string& argument : arguments) command += u" " + Quoted(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(WidePtr(program), reinterpret_cast<wchar_t*>(command.data()), nullptr,
                        nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    UniqueKernelHandle startedProcess(started.hProcess);
    if (process != nullptr) *process = std::move(startedProcess);
    return true;
}

std::u16string FolderBelow(const std::u16string& root, const std::u16string& relative) {
    if (relative.empty()) return root;
    if (!root.empty() && root.back() == u'\\') return root + relative;
    return root + u'\\' + relative;
}

void BelowWalk::Start(HWND window, const std::u16string& root) {
    Stop();
    cancel_ = false;
    folders_ = 0;
    thread_ = std::thread(&BelowWalk::Run, this, window, root);
}

void BelowWalk::Stop() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
    const std::lock_guard<std::mutex> lock(mutex_);
    pending_.reset();
    // A message already posted finds nothing to take, or the next walk's first entries.
    posted_ = false;
}

std::unique_ptr<BelowBatch> BelowWalk::TakeBatch() {
    const std::lock_guard<std::mutex> lock(mutex_);
    posted_ = false;
    return std::move(pending_);
}

void BelowWalk::Hand(HWND window, BelowEntry* entry, const BelowBatch& totals, bool finished) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!pending_) pending_ = std::make_unique<BelowBatch>();
    if (entry != nullptr) pending_->entries.push_back(std::move(*entry));
    pending_->lists = totals.lists;
    pending_->open = totals.open;
    pending_->problems = totals.problems;
    pending_->finished = finished;
    pending_->outcome = totals.outcome;
    // One message on its way carries everything handed over until the window takes the batch, so
    // the queue never fills however fast the lists come, and no entry waits for the next one.
    if (!posted_) posted_ = PostMessageW(window, kBelowBatchMessage, 0, 0) != FALSE;
}

void BelowWalk::Run(HWND window, const std::u16string& root) {
    WalkOptions options;
    options.foldersListed = &folders_;
    BelowBatch totals;
    const TreeListsResult result = ReadTreeLists(
        root, options,
        [&](const TreeList& list) {
            if (list.problem != TreeProblem::kNone) {
                ++totals.problems;
            } else {
                ++totals.lists;
                totals.open += list.total - list.done;
            }
            auto entry = EntryOf(list);
            // Lists without open tasks only count; the window hears of them with the next entry
            // or at the end, and shows the counts from its timer meanwhile.
            if (entry) Hand(window, &*entry, totals, false);
        },
        cancel_);
    totals.outcome = result.walk.outcome;
    Hand(window, nullptr, totals, true);
}

bool ItemWindows::Open(HWND window, const std::u16string& root, const BelowEntry& entry) {
    if (!CanOpen(entry)) return false;
    const std::u16string folder = FolderBelow(root, entry.folder);
    // The two arguments the context menu gives: the database and the item's name.
    UniqueKernelHandle process;
    if (!StartThisProgram({FolderBelow(folder, kDatabaseFileName), *entry.item}, &process)) {
        return false;
    }
    if (!stopEvent_) stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent_) return true;  // started, but not watched: its entry is not read again
    const WPARAM number = next_++;
    const HANDLE stop = stopEvent_.get();
    watches_[number].thread =
        std::thread([this, window, number, stop, folder, entry, process = std::move(process)]() {
            const HANDLE waits[] = {process.get(), stop};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return;
            std::unique_ptr<BelowRefresh> refresh = ReadAgain(folder, entry, stopping_);
            if (stopping_) return;
            if (PostMessageW(window, kBelowRefreshMessage, number,
                             reinterpret_cast<LPARAM>(refresh.get()))) {
                (void)refresh.release();  // the window owns it now
            }
        });
    return true;
}

void ItemWindows::Finished(WPARAM number) {
    const auto watch = watches_.find(number);
    if (watch == watches_.end()) return;
    // It posted as its last step: the join returns at once.
    if (watch->second.thread.joinable()) watch->second.thread.join();
    watches_.erase(watch);
}

void ItemWindows::StopAll(HWND window) {
    stopping_ = true;
    if (stopEvent_) SetEvent(stopEvent_.get());
    for (auto& [number, watch] : watches_) {
        if (watch.thread.joinable()) watch.thread.join();
    }
    watches_.clear();
    MSG message{};
    while (window != nullptr &&
           PeekMessageW(&message, window, kBelowRefreshMessage, kBelowRefreshMessage, PM_REMOVE)) {
        delete reinterpret_cast<BelowRefresh*>(message.lParam);
    }
}
