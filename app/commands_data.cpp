// Commands on the database and the status file as a whole, the about box and leaving.
#include <string>
#include <vector>

#include "app/about_dialog.h"
#include "app/app_state.h"
#include "app/commands.h"
#include "app/recovery_actions.h"
#include "app/unreferenced_tables.h"
#include "app/win_handles.h"
#include "store/folder_key.h"
#include "store/folder_status.h"

namespace {

// The folder that holds the database and the status file, with its trailing backslash.
std::u16string DatabaseFolder() {
    return std::u16string(ParentFolderOf(gApp.statusFilePath));
}

}  // namespace

void CmdRebuildOverlays(HWND window) {
    if (!RebuildStatusFile(gApp.store, gApp.statusFilePath)) {
        ShowMessage(window, L"Cannot read database!", L"Pelmora Error", MB_ICONERROR);
        return;
    }
    ShowMessage(window, L"Icon overlays successfully regenerated!", L"Success", MB_ICONINFORMATION);
}

void CmdClearUnreferenced(HWND window) {
    if (ShowMessage(window,
                    L"This will remove unreferenced records from the database. Are you sure you "
                    L"want to continue?",
                    L"Confirm", MB_ICONQUESTION | MB_YESNO) == IDNO) {
        return;
    }
    const auto tables = ListTables(gApp.store);
    if (!tables) {
        ShowMessage(window, L"Cannot read database!", L"Pelmora Error", MB_ICONERROR);
        return;
    }
    if (tables->empty()) {
        ShowMessage(window, L"Database is empty! Nothing to clean.", L"Warning", MB_ICONWARNING);
        return;
    }

    const std::u16string pattern = DatabaseFolder() + u"*";
    WIN32_FIND_DATAW found{};
    UniqueFindHandle listing(FindFirstFileW(WidePtr(pattern), &found));
    if (!listing) {
        ShowMessage(window, L"Cannot get file list!", L"Pelmora Error", MB_ICONERROR);
        return;
    }
    std::vector<std::u16string> names;
    do {
        names.push_back(FromWide(found.cFileName));
    } while (FindNextFileW(listing.get(), &found));
    // A listing that broke off part-way would make the items not yet listed look gone, and
    // their tasks would be dropped with their tables: only a complete listing counts.
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    listing.reset();
    if (!complete) {
        ShowMessage(window, L"Cannot get file list!", L"Pelmora Error", MB_ICONERROR);
        return;
    }

    if (!ConfirmClearingOpenTasks(window, *tables, names)) return;
    DropUnreferencedTables(gApp.store, *tables, names);
    ShowMessage(window, L"Unreferenced data successfully removed! Application will close now.",
                L"Success", MB_ICONINFORMATION);
    SendMessageW(window, WM_CLOSE, 0, 0);
}

void CmdAbout(HWND window) {
    RunAboutBox(window);
}

void CmdExit(HWND window) {
    SendMessageW(window, WM_CLOSE, 0, 0);
}
