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
#include "text/language_choice.h"
#include "text/text_encoding.h"
#include "win/com_apartment.h"
#include "win/ui_language.h"

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
        ShowCreateError(nullptr, failure, UiText(TextId::kCannotModify));
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

constexpr wchar_t kLanguageSwitch[] = L"/lang:";

// The language of every text from here on: the switch's, else the user's override, else the
// first of the user's Windows languages that Pelmora speaks, else English. The thread's own UI
// language is left as it is; only Pelmora's texts follow the choice.
void SelectUserLanguage(const wchar_t* fromSwitch) {
    wchar_t override[kLanguageTagChars] = {};
    if (fromSwitch != nullptr && fromSwitch[0] != L'\0') {
        lstrcpynW(override, fromSwitch, kLanguageTagChars);
    } else {
        ReadLanguageOverride(override);
    }
    wchar_t preferred[kPreferredLanguagesChars] = {};
    ReadPreferredLanguages(preferred);
    SelectLanguage(ChooseTextLanguage(reinterpret_cast<const char16_t*>(override),
                                      reinterpret_cast<const char16_t*>(preferred)));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    UniqueLocalArgv argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!argv) return 0;
    // "/lang:TAG" before the usual two arguments chooses the language as the user's override
    // would (the tests use it); without it the command line is the one the shell gives.
    const wchar_t* const* args = argv.get();
    const wchar_t* language = nullptr;
    if (argc == 4 && _wcsnicmp(args[1], kLanguageSwitch, wcslen(kLanguageSwitch)) == 0) {
        language = args[1] + wcslen(kLanguageSwitch);
        ++args;
        --argc;
    }
    if (argc != 3) return 0;
    SelectUserLanguage(language);

    gApp.instance = instance;
    // Screen readers reach the task list through COM: the window's thread is an apartment of
    // its own before any window exists.
    const ScopedComApartment apartment;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // No database path is this switch, so the designed command line keeps its meaning.
    if (_wcsicmp(args[1], kBelowSwitch) == 0) {
        RunBelow(FromWide(args[2]));
        return 0;
    }

    const std::u16string databasePath = FromWide(args[1]);
    gApp.folderName = FromWide(args[2]);

    if (PathExists(databasePath) && HasReadOnlyAttribute(databasePath)) {
        ShowReadOnlyNotice(nullptr, UiText(TextId::kReadOnlyNotice));
    }
    gApp.folderKey = FolderKey(gApp.folderName);
    gApp.statusFilePath = StatusFileFor(databasePath);
    MainWindowState window(TaskTableName(gApp.folderKey));
    if (const StoreFailure failure = window.store.Open(Utf16ToUtf8(databasePath));
        !Succeeded(failure)) {
        // A file refused as damaged (cut short, broken pages) gets the message for one.
        ShowError(nullptr, failure == StoreFailure::kDamaged ? UiText(TextId::kCannotModify)
                                                             : UiText(TextId::kCannotOpen));
        return 0;
    }

    RunWithDatabase(window);
    window.store.Close();
    return 0;
}
