#include "app/dialogs/recovery_actions.h"

#include <algorithm>
#include <optional>
#include <tuple>

#include "app/app_state.h"
#include "app/dialogs/messages.h"
#include "app/text_util.h"
#include "app/user_texts.h"
#include "store/folder_files.h"
#include "store/status/profile.h"
#include "tasks/folder_status.h"
#include "text/text_encoding.h"
#include "win/unique_handle.h"

namespace {

// How many renamed titles a message names before it only counts the rest.
constexpr size_t kRenamesNamed = 5;

// The folder as the user knows it: its path without the trailing backslash.
std::u16string Shown(const std::u16string& folder) {
    if (folder.size() > 3 && folder.back() == u'\\') return folder.substr(0, folder.size() - 1);
    return folder;
}

// The text for one or for many, filled with the count and the further places.
std::u16string Count(int n,
                     TextId one,
                     TextId many,
                     std::u16string_view more = {},
                     std::u16string_view last = {}) {
    return FormatText(n == 1 ? one : many, {Decimal(static_cast<uint64_t>(n)), more, last});
}

std::u16string RenamedNote(const std::vector<RenamedTask>& renamed) {
    if (renamed.empty()) return std::u16string();
    std::u16string note = u"\n\n" + Count(static_cast<int>(renamed.size()), TextId::kRenamedOne,
                                          TextId::kRenamedMany);
    for (size_t i = 0; i < renamed.size() && i < kRenamesNamed; ++i) {
        note += u"\n    " + Utf8ToUtf16(Base64Decode(renamed[i].to));
    }
    if (renamed.size() > kRenamesNamed) {
        note +=
            u"\n    " + FormatText(TextId::kRenamedMore, {Decimal(renamed.size() - kRenamesNamed)});
    }
    return note;
}

// Nothing changed: says why in the user's words.
void TellFailure(HWND owner, RecoveryStatus status, const std::u16string& otherFolder) {
    TextId text = TextId::kRecoverNotAdded;
    switch (status) {
        case RecoveryStatus::kTargetBusy:
            text = TextId::kRecoverTargetBusy;
            break;
        case RecoveryStatus::kTargetReadOnly:
            text = TextId::kRecoverTargetReadOnly;
            break;
        case RecoveryStatus::kSourceBusy:
            text = TextId::kRecoverSourceBusy;
            break;
        case RecoveryStatus::kSourceReadOnly:
            text = TextId::kRecoverSourceReadOnly;
            break;
        case RecoveryStatus::kSourceUnreadable:
            text = TextId::kRecoverSourceUnreadable;
            break;
        default:
            break;
    }
    ShowError(owner, FormatText(text, {Shown(otherFolder)}));
}

}  // namespace

std::u16string OwnDatabaseFolder() {
    return std::u16string(ParentFolderOf(gApp.statusFilePath));
}

namespace {

// The volume and the file index of the folder or file at `path`, as its open handle tells them.
std::optional<std::tuple<DWORD, DWORD, DWORD>> FileIdentity(const std::u16string& path) {
    UniqueFileHandle file(CreateFileW(WidePtr(path), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return std::make_tuple(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
}

}  // namespace

bool SameFolder(const std::u16string& a, const std::u16string& b) {
    std::u16string left = FullPath(a);
    std::u16string right = FullPath(b);
    for (std::u16string* path : {&left, &right}) {
        if (path->empty() || path->back() != u'\\') *path += u'\\';
    }
    if (CompareStringOrdinal(WidePtr(left), -1, WidePtr(right), -1, TRUE) == CSTR_EQUAL) {
        return true;
    }
    // Another spelling of the same folder: a link, a short name, another mapping of the drive.
    // Either folder, or the database in it, seen through an open handle.
    for (const char16_t* inside : {u"", kDatabaseFileName}) {
        const auto one = FileIdentity(left + inside);
        if (one && one == FileIdentity(right + inside)) return true;
    }
    return false;
}

ListingStatus OpenOtherFolder(const std::u16string& folder, RecoverySource& source) {
    source = RecoverySource();
    source.folder = folder;
    if (source.folder.empty() || source.folder.back() != u'\\') source.folder += u'\\';
    const std::u16string path = source.folder + kDatabaseFileName;
    // Opening creates a missing file; a folder without tasks must stay as it is.
    const DWORD attributes = GetFileAttributesW(WidePtr(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return ListingStatus::kNoDatabase;
    }
    if (!Succeeded(source.other.Open(Utf16ToUtf8(path)))) return ListingStatus::kUnreadable;
    return ListingStatus::kOk;
}

namespace {

// The connection that reads the source's database.
TaskStore& StoreOf(TaskTable& own, RecoverySource& source) {
    return source.IsOwnFolder() ? own.Store() : source.other;
}

}  // namespace

ListingStatus StartRecoverableListing(TaskTable& own,
                                      RecoverySource& source,
                                      UnclaimedListing& listing) {
    listing = UnclaimedListing();
    const auto names = ListFolderEntries(source.folder);
    if (!names) return ListingStatus::kNoFileList;
    TaskStore& store = StoreOf(own, source);
    auto started = StartUnclaimedListing(store, *names);
    if (!started) return ListingStatus::kUnreadable;
    listing = std::move(*started);
    return ListingStatus::kOk;
}

bool ContinueRecoverableListing(TaskTable& own,
                                RecoverySource& source,
                                UnclaimedListing& listing,
                                std::chrono::milliseconds slice) {
    TaskStore& store = StoreOf(own, source);
    const auto end = std::chrono::steady_clock::now() + slice;
    // A few lists at a time between looks at the clock: one list is a query or two.
    while (!listing.Finished() && std::chrono::steady_clock::now() < end) {
        ContinueUnclaimedListing(store, listing, 8);
    }
    return listing.Finished();
}

std::vector<TaskListSummary> OfferedLists(const TaskTable& own,
                                          const RecoverySource& source,
                                          UnclaimedListing& listing) {
    std::vector<TaskListSummary> lists;
    for (TaskListSummary& summary : listing.lists) {
        // An empty list has nothing to give; in its own folder the item's table is what
        // receives (a moved item's old table elsewhere has the same name, and is the one wanted).
        if (summary.tasks == 0) continue;
        if (source.IsOwnFolder() && summary.table == own.Name()) continue;
        lists.push_back(std::move(summary));
    }
    return lists;
}

ListingStatus FindRecoverableLists(TaskTable& own,
                                   RecoverySource& source,
                                   std::vector<TaskListSummary>& lists) {
    lists.clear();
    UnclaimedListing listing;
    const ListingStatus status = StartRecoverableListing(own, source, listing);
    if (status != ListingStatus::kOk) return status;
    TaskStore& store = StoreOf(own, source);
    ContinueUnclaimedListing(store, listing, listing.tables.size());
    lists = OfferedLists(own, source, listing);
    return ListingStatus::kOk;
}

bool OwnFolderHasRecoverableLists(TaskTable& own) {
    RecoverySource source;
    source.folder = OwnDatabaseFolder();
    if (source.folder.empty()) return false;
    UnclaimedListing listing;
    if (StartRecoverableListing(own, source, listing) != ListingStatus::kOk) return false;
    // The first list on offer answers the question; the rest need not be read.
    while (!listing.Finished()) {
        ContinueUnclaimedListing(own.Store(), listing, 1);
        if (!OfferedLists(own, source, listing).empty()) return true;
        listing.lists.clear();
    }
    return false;
}

bool RecoverList(HWND owner, TaskTable& own, RecoverySource& source, const std::string& table) {
    // A file marked read-only is left alone even where the file system would let it be written
    // (a program running as a Unix root user under Wine, for one).
    if (!source.IsOwnFolder()) {
        const DWORD attributes = GetFileAttributesW(WidePtr(source.folder + kDatabaseFileName));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            TellFailure(owner, RecoveryStatus::kSourceReadOnly, source.folder);
            return false;
        }
    }
    const RecoveryResult result =
        source.IsOwnFolder() ? AttachTaskList(own.Store(), table, own.Name())
                             : MoveTaskListAcross(source.other, table, own.Store(), own.Name());
    if (result.status != RecoveryStatus::kDone &&
        result.status != RecoveryStatus::kCopiedNotRemoved) {
        TellFailure(owner, result.status, source.folder);
        return false;
    }

    // The item's entry now reflects its merged list. The old key's table is gone, so its entry
    // reads 0, as the entry of an item whose tasks were all removed does.
    // An entry that cannot be written shows a stale overlay until the next write; the tasks
    // themselves are recovered either way.
    // Each file is written under the write lock of the database beside it.
    const std::string oldKey = table.substr(4);
    const bool oldEntryGone = result.status == RecoveryStatus::kDone;
    if (oldEntryGone && source.IsOwnFolder()) {
        (void)RefreshStatusEntries(own.Store(), gApp.statusFilePath, {gApp.folderKey, oldKey});
    } else {
        (void)RefreshStatusEntries(own.Store(), gApp.statusFilePath, {gApp.folderKey});
    }
    if (oldEntryGone && !source.IsOwnFolder()) {
        (void)WriteStatusEntries(source.other, source.folder + kStatusFileName,
                                 {StatusEntry{oldKey, FolderStatus::kNone}});  // stale at worst
    }
    NotifyShell();

    if (result.status == RecoveryStatus::kCopiedNotRemoved) {
        ShowWarning(owner,
                    Count(result.recovered, TextId::kRecoveredNotRemovedOne,
                          TextId::kRecoveredNotRemovedMany, gApp.folderName, Shown(source.folder)) +
                        RenamedNote(result.renamed));
    } else {
        ShowSuccess(owner, Count(result.recovered, TextId::kRecoveredOne, TextId::kRecoveredMany,
                                 gApp.folderName) +
                               RenamedNote(result.renamed));
    }
    return true;
}

bool ConfirmClearingOpenTasks(HWND owner,
                              TaskStore& store,
                              const std::vector<std::string>& tables,
                              const std::vector<std::u16string>& entryNames) {
    const ClearLoss loss = UnclaimedTaskLoss(store, tables, entryNames);
    if (loss.openTasks == 0) return true;
    const std::u16string text =
        FormatText(TextId::kClearLoss,
                   {Count(loss.lists, TextId::kClearLossListsOne, TextId::kClearLossListsMany),
                    Count(loss.openTasks, TextId::kClearLossOpenOne, TextId::kClearLossOpenMany)});
    return AskYesNoDefaultNo(owner, text);
}
