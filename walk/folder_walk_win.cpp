// The walk on Windows: one large-fetch enumeration per folder, the basic information only (no
// short names), on paths in the "\\?\" form, which have no length limit and are taken as they
// stand (no trimming of trailing dots or spaces).
#include <windows.h>

#include "store/folder_files.h"
#include "walk/folder_walk.h"
#include "walk/walk_rules.h"
#include "win/unique_handle.h"

namespace {

const wchar_t* WidePtr(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The long form of a full path: "C:\x" as "\\?\C:\x", "\\server\share" as "\\?\UNC\server\share".
std::u16string LongForm(std::u16string path) {
    if (path.rfind(u"\\\\?\\", 0) == 0 || path.rfind(u"\\\\.\\", 0) == 0) return path;
    if (path.rfind(u"\\\\", 0) == 0) return u"\\\\?\\UNC\\" + path.substr(2);
    return u"\\\\?\\" + path;
}

// A junction, a symbolic link or a volume mount point names another place; entering it could
// loop or leave the volume. Every mounted volume is reached through such a point, so refusing
// them keeps the walk on the root's volume without asking each folder for its volume. Reparse
// points that name no other place (cloud sync folders, deduplicated data) hold their own contents
// and are walked; one whose tag is not reported (Wine's host links) is taken for a link.
bool NamesAnotherPlace(const WIN32_FIND_DATAW& found) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (found.dwReserved0 == 0 || IsReparseTagNameSurrogate(found.dwReserved0));
}

FolderFailure FailureOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return FolderFailure::AccessDenied;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DIRECTORY:
            return FolderFailure::Vanished;
        default:
            return FolderFailure::Other;
    }
}

struct Frame {
    std::vector<std::u16string> pending;  // sub-folders still to walk
    size_t pathLength = 0;                // of the walk's path up to this folder
    int depth = 0;
};

class WindowsWalk {
public:
    WindowsWalk(const WalkOptions& options,
                const std::function<void(const WalkedFolder&)>& onFolder,
                const std::atomic<bool>& cancel)
        : options_(options), rules_(options), onFolder_(onFolder), cancel_(cancel) {}

    WalkResult Run(const std::u16string& root);

private:
    enum class Listed { Done, Unlisted, Cancelled };

    bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }
    void Append(const std::u16string& name) {
        if (path_.back() != u'\\') path_ += u'\\';
        path_ += name;
    }
    // Lists the top frame's folder and reports it when it must; a root that cannot be listed at
    // all is left to the caller, which has no row for it.
    Listed ListTop();
    void Report(FolderFailure failure);

    const WalkOptions& options_;
    WalkRules rules_;
    const std::function<void(const WalkedFolder&)>& onFolder_;
    const std::atomic<bool>& cancel_;
    std::u16string path_;
    size_t rootLength_ = 0;
    std::vector<Frame> frames_;
    std::u16string names_;  // the listed folder's names, each ended by a NUL
    bool hasDatabase_ = false;
    WIN32_FIND_DATAW database_{};
    WalkResult result_;
};

WalkResult WindowsWalk::Run(const std::u16string& root) {
    if (root.empty()) {
        result_.outcome = WalkOutcome::RootNotFound;
        return result_;
    }
    path_ = LongForm(FullPath(root));
    // "\\?\C:\" keeps its backslash: without it, it names the drive's current folder.
    while (path_.size() > 7 && path_.back() == u'\\') path_.pop_back();
    rootLength_ = path_.size();
    const DWORD attributes = GetFileAttributesW(WidePtr(path_));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        result_.outcome = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                                  error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME
                              ? WalkOutcome::RootNotFound
                              : WalkOutcome::RootUnreadable;
        return result_;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        result_.outcome = WalkOutcome::RootNotFolder;
        return result_;
    }
    frames_.push_back(Frame{{}, path_.size(), 0});
    switch (ListTop()) {
        case Listed::Cancelled:
            return result_;
        case Listed::Unlisted:
            result_.outcome = WalkOutcome::RootUnreadable;
            return result_;
        default:
            break;
    }
    while (!frames_.empty()) {
        if (Cancelled()) {
            result_.outcome = WalkOutcome::Cancelled;
            return result_;
        }
        Frame& top = frames_.back();
        path_.resize(top.pathLength);
        if (top.pending.empty()) {
            frames_.pop_back();
            continue;
        }
        const std::u16string name = std::move(top.pending.back());
        top.pending.pop_back();
        const int depth = top.depth + 1;
        Append(name);
        frames_.push_back(Frame{{}, path_.size(), depth});
        if (ListTop() == Listed::Cancelled) return result_;
    }
    return result_;
}

WindowsWalk::Listed WindowsWalk::ListTop() {
    Frame& frame = frames_.back();
    ++result_.folders;
    if (options_.foldersListed != nullptr) {
        options_.foldersListed->store(result_.folders, std::memory_order_relaxed);
    }
    names_.clear();
    hasDatabase_ = false;
    const std::u16string pattern = path_ + (path_.back() == u'\\' ? u"*" : u"\\*");
    WIN32_FIND_DATAW found{};
    UniqueFindHandle listing(FindFirstFileExW(WidePtr(pattern), FindExInfoBasic, &found,
                                              FindExSearchNameMatch, nullptr,
                                              FIND_FIRST_EX_LARGE_FETCH));
    if (!listing) {
        const DWORD error = GetLastError();
        // No entry at all, not even "." and "..": the root folder of a volume that is empty.
        if (error == ERROR_FILE_NOT_FOUND) return Listed::Done;
        if (frames_.size() > 1) Report(FailureOf(error));
        return Listed::Unlisted;
    }
    do {
        if (Cancelled()) {
            result_.outcome = WalkOutcome::Cancelled;
            return Listed::Cancelled;
        }
        const std::u16string_view name(reinterpret_cast<const char16_t*>(found.cFileName));
        if (name == u"." || name == u"..") continue;
        names_.append(name);
        names_ += u'\0';
        if (IsDatabaseName(name)) {
            hasDatabase_ = true;
            database_ = found;
        }
        const bool hidden =
            (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !NamesAnotherPlace(found) &&
            rules_.Enters(name, hidden, frame.depth + 1)) {
            frame.pending.emplace_back(name);
        }
    } while (FindNextFileW(listing.get(), &found));
    const bool brokeOff = GetLastError() != ERROR_NO_MORE_FILES;
    if (brokeOff || hasDatabase_) Report(brokeOff ? FolderFailure::BrokeOff : FolderFailure::None);
    return Listed::Done;
}

void WindowsWalk::Report(FolderFailure failure) {
    WalkedFolder folder;
    folder.path = path_;
    const size_t start = rootLength_ + (path_.size() > rootLength_ && path_[rootLength_] == u'\\');
    if (path_.size() > start) folder.relative = path_.substr(start);
    folder.failure = failure;
    if (failure != FolderFailure::None) ++result_.unreadable;
    // A failed listing has no names, and whatever the last one found is not this folder's.
    const bool listed = failure == FolderFailure::None || failure == FolderFailure::BrokeOff;
    folder.hasDatabase = listed && hasDatabase_;
    if (folder.hasDatabase) {
        folder.database.size =
            (static_cast<uint64_t>(database_.nFileSizeHigh) << 32) | database_.nFileSizeLow;
        folder.database.plainFile =
            (database_.dwFileAttributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        uint32_t attributes = database_.dwFileAttributes;
        if (options_.databaseAttributes) {
            attributes = options_.databaseAttributes(folder.path, attributes);
        }
        folder.database.onlineOnly = IsOnlineOnly(attributes);
    }
    if (listed) {
        for (size_t at = 0; at < names_.size();) {
            const size_t end = names_.find(u'\0', at);
            folder.entries.emplace_back(names_, at, end - at);
            at = end + 1;
        }
    }
    folder.foldersWalked = result_.folders;
    onFolder_(folder);
}

}  // namespace

// The system's own upper-casing, close to what NTFS compares names by.
std::u16string FoldNameCase(std::u16string_view name) {
    std::u16string folded(name);
    if (!folded.empty()) {
        CharUpperBuffW(reinterpret_cast<wchar_t*>(folded.data()),
                       static_cast<DWORD>(folded.size()));
    }
    return folded;
}

WalkResult WalkTree(const std::u16string& root,
                    const WalkOptions& options,
                    const std::function<void(const WalkedFolder&)>& onFolder,
                    const std::atomic<bool>& cancel) {
    WindowsWalk walk(options, onFolder, cancel);
    return walk.Run(root);
}
