// Start-up of the task manager program: it is started for one item with the database path and
// the item's name, opens the database, runs the main window, and at exit writes the item's
// completion state to the status file beside the database.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cwchar>

#include "app/app_state.h"
#include "app/below_window/below_window.h"
#include "app/dialogs/messages.h"
#include "app/main_window/main_window.h"
#include "app/resource.h"
#include "app/settings.h"
#include "app/text_util.h"
#include "app/user_texts.h"
#include "store/folder_files.h"
#include "store/folder_key.h"
#include "store/status/profile.h"
#include "tasks/folder_status.h"
#include "text/text_encoding.h"
#include "win/com_apartment.h"

AppState gApp;

namespace {

bool HasReadOnlyAttribute(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(WidePtr(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// The status file lies beside the database. A database named without any folder (the shell
// always passes a full path, but a person may not) is taken in the current folder: the profile
// functions would otherwise put a bare "pelmora.ini" into the Windows folder.
std::u16string StatusFileFor(const std::u16string& databasePath) {
    if (databasePath.find(u'\\') != std::u16string::npos) return StatusFilePath(databasePath);
    return StatusFilePath(FullPath(databasePath));
}

// True when the item's entry in an existing status file disagrees with its list: a writer could
// not update it (another program held the database beyond the wait). This run writes the entry
// again when it closes, as after a change, so a lost update heals at the next start.
bool StatusEntryIsStale(TaskTable& table) {
    if (!PathExists(gApp.statusFilePath)) return false;
    const std::u16string key(gApp.folderKey.begin(), gApp.folderKey.end());
    const int shown = ProfileReadInt(gApp.statusFilePath, kStatusSection, key, 0);
    return shown != static_cast<int>(table.Status());
}

// Everything between opening the window's connection and closing it; the caller closes it.
void RunWithDatabase(MainWindowState& window) {
    TaskTable& table = window.tasks.Table();
    // Opening the table also reads the file's schema, so a damaged file fails here.
    if (const StoreFailure failure = table.Create(); !Succeeded(failure)) {
        ShowCreateError(nullptr, failure, kCannotModify);
        return;
    }
    // A stale entry is written again at exit, as after a change.
    bool statusChanged = StatusEntryIsStale(table);
    gApp.settingsPath = PrepareSettingsPath();
    gApp.icon.reset(static_cast<HICON>(LoadImageW(gApp.instance, MAKEINTRESOURCEW(IDI_PELMORA),
                                                  IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));

    if (RunMainWindow(window)) statusChanged = true;
    gApp.icon.reset();

    if (statusChanged) {
        // The program is closing: a failed write leaves a stale overlay, nothing to tell. The
        // status is computed and written under the database's write lock, so a sibling program
        // writing its own entry at the same moment neither loses it nor makes this one lose ours.
        (void)RefreshStatusEntries(window.store, gApp.statusFilePath, {gApp.folderKey});
        NotifyShell();
    }
}

// "Pelmora.exe /below FOLDER": every item below the folder with open tasks, in a window of its own
// that opens no database for writing.
void RunBelow(const std::u16string& root) {
    gApp.settingsPath = PrepareSettingsPath();
    gApp.icon.reset(static_cast<HICON>(LoadImageW(gApp.instance, MAKEINTRESOURCEW(IDI_PELMORA),
                                                  IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
    RunBelowWindow(root);
    gApp.icon.reset();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    UniqueLocalArgv argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!argv || argc != 3) return 0;

    gApp.instance = instance;
    // Screen readers reach the task list through COM: the window's thread is an apartment of
    // its own before any window exists.
    const ScopedComApartment apartment;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // No database path is this switch, so the designed command line keeps its meaning.
    if (_wcsicmp(argv.get()[1], kBelowSwitch) == 0) {
        RunBelow(FromWide(argv.get()[2]));
        return 0;
    }

    const std::u16string databasePath = FromWide(argv.get()[1]);
    gApp.folderName = FromWide(argv.get()[2]);

    if (PathExists(databasePath) && HasReadOnlyAttribute(databasePath)) {
        ShowReadOnlyNotice(nullptr, kReadOnlyNotice);
    }
    gApp.folderKey = FolderKey(gApp.folderName);
    gApp.statusFilePath = StatusFileFor(databasePath);
    MainWindowState window(TaskTableName(gApp.folderKey));
    if (const StoreFailure failure = window.store.Open(Utf16ToUtf8(databasePath));
        !Succeeded(failure)) {
        // A file refused as damaged (cut short, broken pages) gets the message for one.
        ShowError(nullptr, failure == StoreFailure::kDamaged ? kCannotModify : kCannotOpen);
        return 0;
    }

    RunWithDatabase(window);
    window.store.Close();
    return 0;
}
