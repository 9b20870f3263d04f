// Puts Pelmora.exe into the states worth looking at, for scripts/screenshots.sh and
// scripts/demo.sh. It runs inside a Wine virtual desktop; the script takes the pictures. For each
// state it writes "<sync>\<name>.ready" and waits for the script's "<sync>\<name>.taken".
//
//   show_driver seed <parent folder>             a demo database with three items
//   show_driver shots <parent folder> <sync>     main window, selections, editor, about box,
//                                                an empty list, "Recover Tasks..." and
//                                                "Tasks Below This Folder"
//   show_driver shots-high-contrast <parent folder> <sync>
//                                                the same with a high-contrast scheme on
//   show_driver shots <parent folder> <sync> <language tag>
//                                                the same states in that language ("/lang:")
//   show_driver demo <parent folder> <sync>      the main window of one item, then closes it
#include <windows.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "store/folder_key.h"
#include "store/sqlite/task_table.h"
#include "tests/app/app_driver.h"
#include "tests/store/item_store.h"
#include "text/text_encoding.h"

namespace {

struct DemoTask {
    const char* title;
    bool done;
    const char* date;
    const char* description;
};

const wchar_t kMainItem[] = L"Website Relaunch";

const DemoTask kWebsiteTasks[] = {
    {"Write the launch announcement", true, "2024-05-02", "Two paragraphs and a picture."},
    {"Review pull requests & merge", true, "2024-05-03", nullptr},
    {"Fix the contact form on the staging server before the customer demo next Tuesday", false,
     "2024-05-03", "The form sends twice when the button is pressed quickly."},
    {"Update the privacy policy", false, "2024-05-04", nullptr},
    {"Order business cards", true, "2024-05-06", nullptr},
    {"Plan the team lunch", false, "2024-05-06", "Somewhere with a garden."},
};
const DemoTask kGardenTasks[] = {
    {"Cut back the roses", true, "2024-04-20", nullptr},
    {"Repair the fence", false, "2024-04-21", nullptr},
};
const DemoTask kTaxTasks[] = {
    {"Collect the receipts", true, "2024-03-01", nullptr},
    {"File the return", true, "2024-03-28", nullptr},
};
// The lists of items renamed in Explorer since: "Newsletter" is now "Newsletter 2025", and "Old
// Blog" is gone. Their tables stay behind for "Recover Tasks...".
const wchar_t kRenamedItem[] = L"Newsletter 2025";
const DemoTask kNewsletterTasks[] = {
    {"Collect the spring dates", true, "2024-04-02", nullptr},
    {"Draft the editorial", true, "2024-04-10", nullptr},
    {"Ask Maria for photos", false, "2024-04-11", nullptr},
    {"Proofread", false, "2024-04-12", nullptr},
    {"Send to the printer", false, "2024-04-12", nullptr},
};
const DemoTask kBlogTasks[] = {
    {"Export the posts", true, "2023-11-20", nullptr},
    {"Redirect the old address", true, "2023-11-21", nullptr},
};

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

bool SeedItem(const std::wstring& dbPath,
              const std::wstring& item,
              const DemoTask* tasks,
              size_t count) {
    TestStore store;
    if (!OpenTaskStore(store, Utf16ToUtf8(U16(dbPath)))) return false;
    store.table = TaskTableName(FolderKey(U16(item)));
    if (!CreateTaskTable(store)) return false;
    if (CountTasks(store, store.table) > 0) return true;  // seeded before
    for (size_t i = 0; i < count; ++i) {
        TaskRecord record;
        record.title = Base64Encode(tasks[i].title);
        if (tasks[i].description) record.description = Base64Encode(tasks[i].description);
        record.done = tasks[i].done ? 1 : 0;
        record.doneDate = tasks[i].date;
        record.priority = static_cast<int32_t>(i);
        if (!InsertTask(store, record)) return false;
    }
    return true;
}

bool Seed(const std::wstring& parent) {
    const std::wstring db = parent + L"\\pelmora.db";
    for (const wchar_t* item : {L"Website Relaunch", L"Garden", L"Taxes 2024", kRenamedItem})
        CreateDirectoryW((parent + L"\\" + item).c_str(), nullptr);
    return SeedItem(db, kMainItem, kWebsiteTasks, std::size(kWebsiteTasks)) &&
           SeedItem(db, L"Garden", kGardenTasks, std::size(kGardenTasks)) &&
           SeedItem(db, L"Taxes 2024", kTaxTasks, std::size(kTaxTasks)) &&
           SeedItem(db, L"Newsletter", kNewsletterTasks, std::size(kNewsletterTasks)) &&
           SeedItem(db, L"Old Blog", kBlogTasks, std::size(kBlogTasks));
}

// Lets the script take picture `name` and waits until it has.
bool Pose(const std::wstring& sync, const std::wstring& name) {
    Sleep(300);  // the last paint of the state reaches the screen
    const std::wstring ready = sync + L"\\" + name + L".ready";
    const std::wstring taken = sync + L"\\" + name + L".taken";
    HANDLE file = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    const bool done = WaitUntil(
        [&] { return GetFileAttributesW(taken.c_str()) != INVALID_FILE_ATTRIBUTES; }, 60000);
    if (!done) std::fprintf(stderr, "show_driver: no picture taken of %ls\n", name.c_str());
    return done;
}

HWND WaitMain(const AppProcess& app) {
    return app.WaitWindow([](HWND window) {
        return ClassOf(window) == L"#32770" && GetDlgItem(window, 1001) != nullptr;
    });
}

HWND WaitOther(const AppProcess& app, HWND main) {
    return app.WaitWindow([&](HWND window) { return window != main; });
}

void Select(HWND main, int index) {
    HWND list = GetDlgItem(main, 1001);
    BringToFront(main);
    ClickAt(ListEntryCentre(list, index));
    WaitUntil([&] { return ListSelection(list) == index; });
}

void CloseWith(HWND window, WORD key) {
    BringToFront(window);
    PressKey(key);
    WaitUntil([&] { return !IsWindow(window); });
}

// The start of Pelmora.exe's command line: the language's switch, or nothing for the usual one.
std::wstring LanguageSwitch(const std::wstring& language) {
    return language.empty() ? std::wstring() : L"/lang:" + language + L" ";
}

// The renamed item's empty list with its hint, and the dialog that brings its old list back.
int RecoverShots(const std::wstring& parent,
                 const std::wstring& sync,
                 const std::wstring& language) {
    AppProcess app;
    const std::wstring args =
        LanguageSwitch(language) + L"\"" + parent + L"\\pelmora.db\" \"" + kRenamedItem + L"\"";
    if (!app.Start(ProgramPath(), args, parent)) return 1;
    HWND main = WaitMain(app);
    if (!main || !Pose(sync, L"main-empty")) return 1;

    PostMessageW(main, WM_COMMAND, 40020, 0);
    HWND dialog = WaitOther(app, main);
    if (!dialog) return 1;
    HWND lists = GetDlgItem(dialog, 1102);
    BringToFront(dialog);
    ClickAt(ListEntryCentre(lists, 0));
    WaitUntil([&] { return ListSelection(lists) == 0; });
    if (!Pose(sync, L"recover")) return 1;
    CloseWith(dialog, VK_ESCAPE);

    PostMessageW(main, WM_CLOSE, 0, 0);
    return app.WaitExit() ? 0 : 1;
}

// Tells the program that a high-contrast scheme is on, as Windows would; Wine has no such mode.
bool HighContrastOn(const AppProcess& app, HWND window) {
    if (!LoadIntoProcess(app.Id(), BuildOutputPath(PELMORA_HIGH_CONTRAST_HOOK))) return false;
    SendTo(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    return true;
}

// Every item with open tasks below the demo folder, once the whole folder is read.
int BelowShots(const std::wstring& parent,
               const std::wstring& sync,
               bool highContrast,
               const std::wstring& language) {
    constexpr int kBelowList = 1203;
    constexpr int kBelowStop = 1206;
    AppProcess app;
    const std::wstring args = LanguageSwitch(language) + L"/below \"" + parent + L"\"";
    if (!app.Start(ProgramPath(), args, parent)) return 1;
    HWND below = app.WaitWindow([&](HWND window) {
        return ClassOf(window) == L"#32770" && GetDlgItem(window, kBelowList) != nullptr;
    });
    if (!below) return 1;
    if (highContrast && !HighContrastOn(app, below)) return 1;
    HWND stop = GetDlgItem(below, kBelowStop);
    if (!WaitUntil([&] { return !IsWindowEnabled(stop); })) return 1;
    HWND list = GetDlgItem(below, kBelowList);
    BringToFront(below);
    // The click gives the list the focus; Home selects the first entry at any density.
    ClickAt(ListEntryCentre(list, 0));
    PressKey(VK_HOME);
    WaitUntil([&] { return ListSelection(list) == 0; });
    if (!Pose(sync, L"below")) return 1;
    PostMessageW(below, WM_CLOSE, 0, 0);
    return app.WaitExit() ? 0 : 1;
}

int Shots(const std::wstring& parent,
          const std::wstring& sync,
          bool highContrast,
          const std::wstring& language = {}) {
    if (!Seed(parent)) return 1;
    AppProcess app;
    const std::wstring args =
        LanguageSwitch(language) + L"\"" + parent + L"\\pelmora.db\" \"" + kMainItem + L"\"";
    if (!app.Start(ProgramPath(), args, parent)) return 1;
    HWND main = WaitMain(app);
    if (!main) return 1;
    if (highContrast && !HighContrastOn(app, main)) return 1;
    if (!Pose(sync, L"main")) return 1;

    Select(main, 3);  // an open task
    if (!Pose(sync, L"main-selected-open")) return 1;
    Select(main, 1);  // a done task
    if (!Pose(sync, L"main-selected-done")) return 1;

    BringToFront(main);
    PressKey(VK_RETURN);
    HWND editor = WaitOther(app, main);
    if (!editor || !Pose(sync, L"editor-edit")) return 1;
    CloseWith(editor, VK_ESCAPE);

    BringToFront(main);
    PressKey(VK_INSERT);
    editor = WaitOther(app, main);
    if (!editor) return 1;
    TypeText(L"A new task");
    if (!Pose(sync, L"editor-add")) return 1;
    CloseWith(editor, VK_ESCAPE);

    BringToFront(main);
    PressKey(VK_DELETE);
    HWND question = WaitOther(app, main);
    if (!question || !Pose(sync, L"confirm-remove")) return 1;
    AnswerMessageBox(ReadMessageBox(question), IDNO);

    PostMessageW(main, WM_COMMAND, 40007, 0);
    HWND about = WaitOther(app, main);
    if (!about || !Pose(sync, L"about")) return 1;
    PostMessageW(about, WM_CLOSE, 0, 0);
    WaitUntil([&] { return !IsWindow(about); });

    PostMessageW(main, WM_CLOSE, 0, 0);
    if (!app.WaitExit()) return 1;
    if (RecoverShots(parent, sync, language) != 0) return 1;
    return BelowShots(parent, sync, highContrast, language);
}

int Demo(const std::wstring& parent, const std::wstring& sync) {
    AppProcess app;
    const std::wstring args = L"\"" + parent + L"\\pelmora.db\" \"" + kMainItem + L"\"";
    if (!app.Start(ProgramPath(), args, parent)) return 1;
    HWND main = WaitMain(app);
    if (!main || !Pose(sync, L"demo")) return 1;
    PostMessageW(main, WM_CLOSE, 0, 0);
    return app.WaitExit() ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Positions are measured and clicked in the program's own (physical) pixels at any density.
    SetProcessDPIAware();
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"seed" && argc == 3) return Seed(argv[2]) ? 0 : 1;
    if (command == L"shots" && argc == 4) return Shots(argv[2], argv[3], false);
    if (command == L"shots" && argc == 5) return Shots(argv[2], argv[3], false, argv[4]);
    if (command == L"shots-high-contrast" && argc == 4) return Shots(argv[2], argv[3], true);
    if (command == L"demo" && argc == 4) return Demo(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: show_driver seed <parent> | shots[-high-contrast] <parent> <sync> | "
                 "shots <parent> <sync> <language> | "
                 "demo <parent> <sync>\n");
    return 2;
}
