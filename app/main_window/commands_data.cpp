// Commands on the database and the status file as a whole, the about box and leaving.
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/below_window/below_window.h"
#include "app/dialogs/about_dialog.h"
#include "app/dialogs/messages.h"
#include "app/dialogs/recovery_actions.h"
#include "app/main_window/commands.h"
#include "app/main_window/main_window.h"
#include "app/text_util.h"
#include "app/user_texts.h"
#include "store/folder_files.h"
#include "tasks/folder_status.h"
#include "tasks/unreferenced_tables.h"

namespace {

bool ConfirmClearing(HWND window) {
    return AskYesNo(window, UiText(TextId::kConfirmClearing));
}

// The item tables of the database; reports and gives nothing when there is none to clean or
// they cannot be read.
std::optional<std::vector<std::string>> TablesToClean(TaskStore& store, HWND window) {
    auto tables = ListTables(store);
    if (!tables) {
        ShowError(window, UiText(TextId::kCannotReadDatabase));
        return std::nullopt;
    }
    if (tables->empty()) {
        ShowWarning(window, UiText(TextId::kDatabaseEmpty));
        return std::nullopt;
    }
    return std::move(*tables);
}

// The names of every entry in the database's folder. A listing that broke off part-way would
// make the items not yet listed look gone, and their tasks would be dropped with their tables:
// only a complete listing counts, and anything less is reported and gives nothing.
std::optional<std::vector<std::u16string>> FolderEntryNames(HWND window) {
    auto names = ListFolderEntries(OwnDatabaseFolder());
    if (!names) ShowError(window, UiText(TextId::kCannotGetFileList));
    return names;
}

// Why a rebuild left the status file as it was; the overlays then show what they showed before.
std::u16string StatusFileNotWritten(FileFailure failure) {
    std::u16string why;
    switch (failure) {
        case FileFailure::kInUse:
            why = Text(TextId::kStatusFileInUse);
            break;
        case FileFailure::kReadOnly:
            why = Text(TextId::kStatusFileReadOnly);
            break;
        case FileFailure::kDenied:
            why = Text(TextId::kStatusFileDenied);
            break;
        case FileFailure::kDiskFull:
            why = Text(TextId::kStatusFileDiskFull);
            break;
        case FileFailure::kNotAFile:
            why = Text(TextId::kStatusFileNotAFile);
            break;
        case FileFailure::kTooLarge:
            why = Text(TextId::kStatusFileTooLarge);
            break;
        case FileFailure::kNone:
        case FileFailure::kOther:
            break;
    }
    return Text(TextId::kStatusFileNotWritten) + (why.empty() ? u"" : u"\n\n" + why) + u"\n\n" +
           Text(TextId::kOverlaysNotRebuilt);
}

}  // namespace

void CmdRebuildOverlays(MainWindowState& state, HWND window) {
    const StatusWriteResult rebuilt = RebuildStatusFile(state.store, gApp.statusFilePath);
    if (!rebuilt && rebuilt.fileFailure != FileFailure::kNone) {
        ShowError(window, StatusFileNotWritten(rebuilt.fileFailure));
        return;
    }
    if (!rebuilt) {
        // Another program holding the database is not a damaged file: say it is in use.
        ShowStoreError(window, rebuilt.storeFailure, UiText(TextId::kCannotReadDatabase));
        return;
    }
    ShowSuccess(window, UiText(TextId::kOverlaysRebuilt));
}

void CmdClearUnreferenced(MainWindowState& state, HWND window) {
    if (!ConfirmClearing(window)) return;
    const auto tables = TablesToClean(state.store, window);
    if (!tables) return;
    const auto names = FolderEntryNames(window);
    if (!names) return;
    if (!ConfirmClearingOpenTasks(window, state.store, *tables, *names)) return;
    DropUnreferencedTables(state.store, *tables, *names);
    ShowSuccess(window, UiText(TextId::kUnreferencedRemoved));
    SendMessageW(window, WM_CLOSE, 0, 0);
}

// The item's own folder, in a process of its own: the tree window outlives this one, and an item
// window it opens is as independent of this one as one the context menu opens.
void CmdTasksBelow(MainWindowState&, HWND window) {
    if (!StartBelowWindow(OwnDatabaseFolder()))
        ShowError(window, UiText(TextId::kCannotStartProgram));
}

void CmdAbout(MainWindowState&, HWND window) {
    RunAboutBox(window);
}

void CmdExit(MainWindowState&, HWND window) {
    SendMessageW(window, WM_CLOSE, 0, 0);
}
