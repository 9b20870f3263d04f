// The walk on POSIX: readdir over folders opened relative to their parent's descriptor, so a
// folder renamed or replaced by a link during the walk can never lead it elsewhere, and a tree
// deeper than the system's path limit is walked all the same.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#ifdef SYS_openat2
#include <linux/openat2.h>
#endif

#include "store/folder_files.h"
#include "text/text_encoding.h"
#include "walk/folder_walk.h"
#include "walk/walk_rules.h"

namespace {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

struct FolderCloser {
    void operator()(DIR* listing) const noexcept { closedir(listing); }
};

constexpr int kOpenFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

using Listing = std::unique_ptr<DIR, FolderCloser>;

// A folder on the current path. Only the folders nearest the top and every kAnchorEvery-th one
// keep their listing (and with it their descriptor) open, so a tree 10,000 levels deep needs a few
// hundred descriptors, not 10,000; a folder whose listing was let go is opened again from the
// nearest one kept, and only when more of its sub-folders remain.
struct Frame {
    Listing listing;
    std::vector<std::string> pending;  // sub-folders still to walk
    size_t pathLength = 0;             // of the walk's path up to this folder
    int depth = 0;
};
constexpr size_t kOpenNearTop = 16;
constexpr size_t kAnchorEvery = 64;

bool IsUtf8(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return Utf16ToUtf8(Utf8ToUtf16(text)) == text;
    }
    return true;
}

// Opens the folder `name` in `parent` only when it is reached without a link and lies on the same
// mount (`device`); otherwise fails with ELOOP, ENOTDIR or EXDEV. Where the kernel can check both
// while opening, that is one call instead of an open and a stat per folder.
int OpenFolderBelow(int parent, const char* name, dev_t device) {
#ifdef SYS_openat2
    static std::atomic<bool> noOpenat2{false};
    if (!noOpenat2.load(std::memory_order_relaxed)) {
        open_how how{};
        how.flags = kOpenFlags | O_NOFOLLOW;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_NO_XDEV;
        const int fd = static_cast<int>(syscall(SYS_openat2, parent, name, &how, sizeof how));
        if (fd >= 0 || errno != ENOSYS) return fd;
        noOpenat2 = true;
    }
#endif
    const int fd = openat(parent, name, kOpenFlags | O_NOFOLLOW);
    struct stat info {};
    if (fd >= 0 && (fstat(fd, &info) != 0 || info.st_dev != device)) {
        close(fd);
        errno = EXDEV;
        return -1;
    }
    return fd;
}

// The listing of an open folder, which takes the descriptor over; none (errno kept) when `fd` is
// not open or cannot be listed.
Listing ListingOf(int fd) {
    if (fd < 0) return nullptr;
    Listing listing(fdopendir(fd));
    if (!listing) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return listing;
}

FolderFailure FailureOf(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return FolderFailure::AccessDenied;
        case ENOENT:
            return FolderFailure::Vanished;
        default:
            return FolderFailure::Other;
    }
}

class PosixWalk {
public:
    PosixWalk(const WalkOptions& options,
              const std::function<void(const WalkedFolder&)>& onFolder,
              const std::atomic<bool>& cancel)
        : options_(options), rules_(options), onFolder_(onFolder), cancel_(cancel) {}

    WalkResult Run(const std::u16string& root);

private:
    bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }
    void Append(const std::string& name) {
        if (path_.back() != '/') path_ += '/';
        path_ += name;
    }
    // Lists the top frame's folder and reports it when it must; false when cancelled.
    bool ListTop();
    int FdOf(size_t index);
    void Report(FolderFailure failure, int listingFd, bool hasDatabase);
    void Fail(FolderFailure failure) { Report(failure, -1, false); }

    const WalkOptions& options_;
    WalkRules rules_;
    const std::function<void(const WalkedFolder&)>& onFolder_;
    const std::atomic<bool>& cancel_;
    std::string path_;
    size_t rootLength_ = 0;
    dev_t device_ = 0;
    std::vector<Frame> frames_;
    std::string names_;  // the listed folder's names, each ended by a NUL
    WalkResult result_;
};

WalkResult PosixWalk::Run(const std::u16string& root) {
    path_ = Utf16ToUtf8(root);
    while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
    rootLength_ = path_.size();
    const int rootFd = open(path_.c_str(), kOpenFlags);
    struct stat info {};
    if (rootFd < 0 || fstat(rootFd, &info) != 0) {
        result_.outcome = errno == ENOTDIR  ? WalkOutcome::RootNotFolder
                          : errno == ENOENT ? WalkOutcome::RootNotFound
                                            : WalkOutcome::RootUnreadable;
        if (rootFd >= 0) close(rootFd);
        return result_;
    }
    device_ = info.st_dev;
    Listing rootListing = ListingOf(rootFd);
    if (!rootListing) {
        result_.outcome = WalkOutcome::RootUnreadable;
        return result_;
    }
    frames_.push_back(Frame{std::move(rootListing), {}, path_.size(), 0});
    if (!ListTop()) return result_;
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
        const std::string name = std::move(top.pending.back());
        top.pending.pop_back();
        const int depth = top.depth + 1;
        const int parentFd = FdOf(frames_.size() - 1);
        if (parentFd < 0) {
            // The folder went away since it was listed: its sub-folders went with it.
            Fail(FolderFailure::Vanished);
            frames_.back().pending.clear();
            continue;
        }
        Append(name);
        Listing listing = ListingOf(OpenFolderBelow(parentFd, name.c_str(), device_));
        if (!listing) {
            // No longer a folder (a link or a file took its name), or a mount point: nothing to
            // walk.
            if (errno != ELOOP && errno != ENOTDIR && errno != EXDEV) Fail(FailureOf(errno));
            continue;
        }
        frames_.push_back(Frame{std::move(listing), {}, path_.size(), depth});
        if (frames_.size() > kOpenNearTop + 1) {
            const size_t far = frames_.size() - 1 - kOpenNearTop;
            if (far % kAnchorEvery != 0) frames_[far].listing.reset();
        }
        if (!ListTop()) return result_;
    }
    return result_;
}

int PosixWalk::FdOf(size_t index) {
    if (frames_[index].listing) return dirfd(frames_[index].listing.get());
    size_t from = index;
    while (!frames_[from].listing) --from;  // the root's is always open
    UniqueFd step;
    int at = dirfd(frames_[from].listing.get());
    for (size_t i = from + 1; i <= index; ++i) {
        const size_t start = frames_[i - 1].pathLength + (path_[frames_[i - 1].pathLength] == '/');
        const std::string name = path_.substr(start, frames_[i].pathLength - start);
        UniqueFd next(OpenFolderBelow(at, name.c_str(), device_));
        if (next.get() < 0) return -1;
        step = std::move(next);
        at = step.get();
    }
    frames_[index].listing = ListingOf(step.release());
    return frames_[index].listing ? dirfd(frames_[index].listing.get()) : -1;
}

bool PosixWalk::ListTop() {
    Frame& frame = frames_.back();
    ++result_.folders;
    if (options_.foldersListed != nullptr) {
        options_.foldersListed->store(result_.folders, std::memory_order_relaxed);
    }
    names_.clear();
    DIR* listing = frame.listing.get();
    const int fd = dirfd(listing);
    bool hasDatabase = false;
    for (;;) {
        if (Cancelled()) {
            result_.outcome = WalkOutcome::Cancelled;
            return false;
        }
        errno = 0;
        const dirent* entry = readdir(listing);
        if (entry == nullptr) break;
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info {};
            if (fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone
            type = S_ISDIR(info.st_mode) ? DT_DIR : DT_REG;
        }
        names_.append(name);
        names_ += '\0';
        if (IsDatabaseName(name)) hasDatabase = true;
        if (type == DT_DIR && rules_.Enters(name, frame.depth + 1)) {
            frame.pending.emplace_back(name);
        }
    }
    const bool brokeOff = errno != 0;
    if (brokeOff || hasDatabase) {
        Report(brokeOff ? FolderFailure::BrokeOff : FolderFailure::None, fd, hasDatabase);
    }
    return true;
}

void PosixWalk::Report(FolderFailure failure, int listingFd, bool hasDatabase) {
    WalkedFolder folder;
    folder.path = Utf8ToUtf16(path_);
    const size_t start = rootLength_ + (path_.size() > rootLength_ && path_[rootLength_] == '/');
    if (path_.size() > start) folder.relative = Utf8ToUtf16(path_.substr(start));
    folder.exactPath = IsUtf8(path_);
    folder.failure = failure;
    folder.hasDatabase = hasDatabase;
    if (failure != FolderFailure::None) ++result_.unreadable;
    if (hasDatabase) {
        struct stat info {};
        const std::string name = Utf16ToUtf8(kDatabaseFileName);
        if (fstatat(listingFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
            folder.database.size = static_cast<uint64_t>(info.st_size);
            folder.database.plainFile = S_ISREG(info.st_mode);
        }
        uint32_t attributes = 0;
        if (options_.databaseAttributes) attributes = options_.databaseAttributes(folder.path, 0);
        folder.database.onlineOnly = IsOnlineOnly(attributes);
    }
    if (listingFd >= 0) {
        for (size_t at = 0; at < names_.size();) {
            const size_t end = names_.find('\0', at);
            const std::string_view name(names_.data() + at, end - at);
            if (IsUtf8(name)) folder.entries.push_back(Utf8ToUtf16(name));
            at = end + 1;
        }
    }
    folder.foldersWalked = result_.folders;
    onFolder_(folder);
}

}  // namespace

std::u16string FoldNameCase(std::u16string_view name) {
    return std::u16string(name);
}

WalkResult WalkTree(const std::u16string& root,
                    const WalkOptions& options,
                    const std::function<void(const WalkedFolder&)>& onFolder,
                    const std::atomic<bool>& cancel) {
    PosixWalk walk(options, onFolder, cancel);
    return walk.Run(root);
}
