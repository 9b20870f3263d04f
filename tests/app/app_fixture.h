// The common ground of the program's window tests: a scratch parent folder holding the task
// database, a clean settings file, the program started on one of the folder's items, and readers
// for what reached the disk.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/app/app_driver.h"
#include "tests/support/scratch_dir.h"

// A task to put into the database before the program starts.
struct SeedTask {
    SeedTask(std::string title_,
             bool done_ = false,
             std::string doneDate_ = "2020-01-02",
             std::optional<std::string> description_ = std::nullopt)
        : title(std::move(title_)),
          done(done_),
          doneDate(std::move(doneDate_)),
          description(std::move(description_)) {}
    std::string title;  // UTF-8
    bool done;
    std::string doneDate;
    std::optional<std::string> description;  // UTF-8
};

// A task as the database holds it, with its texts decoded.
struct StoredTask {
    std::string title;  // UTF-8
    std::optional<std::string> description;
    bool done = false;
    std::string doneDate;
    int priority = 0;
};

// Window ids and captions the program uses.
constexpr int kTaskListId = 1001;
constexpr int kTitleFieldId = 1002;
constexpr int kDescriptionFieldId = 1003;
constexpr int kDoneBoxId = 1004;
constexpr int kCmdAddTask = 40001;
constexpr int kCmdExit = 40003;
constexpr int kCmdRemoveSelected = 40004;
constexpr int kCmdRemoveAll = 40005;
constexpr int kCmdMarkDone = 40006;
constexpr int kCmdAbout = 40007;
constexpr int kCmdEditSelected = 40008;
constexpr int kCmdIncreasePriority = 40009;
constexpr int kCmdDecreasePriority = 40010;
constexpr int kCmdRebuildOverlays = 40014;
constexpr int kCmdClearUnreferenced = 40015;

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWideText(const std::string& text);
bool FileExists(const std::wstring& path);
// Tasks for the item `folder` written into the database at `dbPath` (made when missing) after any
// it holds, as the program of that folder would have left them.
void SeedDatabase(const std::wstring& dbPath,
                  const std::wstring& folder,
                  const std::vector<SeedTask>& tasks);
// "config.ini" in the "Pelmora" folder under the common application data folder.
std::wstring SettingsFilePath();
// The folder key's table name for an item name.
std::string TableOf(const std::wstring& folderName);
std::string KeyOf(const std::wstring& folderName);

// The display density the tests run at: PELMORA_TEST_DPI when scripts/wine-at-dpi.sh set it,
// else 96. The program scales every designed 96-DPI measure to it.
int TestDpi();
// A designed 96-DPI measure in pixels at TestDpi(), rounded as MulDiv rounds; and back, as the
// program turns a window size into what the settings file keeps.
int Px(int designed);
int Unpx(int pixels);

// An editor driven by messages instead of the keyboard, so that two writers can be set off at one
// moment. Opens it from the main window `main` of `app` with `title` in its title field; nullptr
// when it did not open.
HWND OpenEditorWithTitle(const AppProcess& app, HWND main, const std::wstring& title);
// Saves as the Save button does, and returns at once.
void PostSave(HWND editor);
enum class SaveOutcome { kAdded, kRefusedAsTaken, kOther };
// What a posted save came to: the editor closed with the task added, or the box "Title already
// exists!" (answered, and the editor closed without saving); kOther for anything else.
SaveOutcome AwaitSave(const AppProcess& app, HWND editor);

class PelmoraUiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The parent folder (with trailing backslash) that holds the database.
    const std::wstring& Parent() const { return parent_; }
    std::wstring DbPath() const { return parent_ + L"pelmora.db"; }
    std::wstring StatusPath() const { return parent_ + L"pelmora.ini"; }

    // Database access from the outside, as another process would have it.
    void Seed(const std::wstring& folder, const std::vector<SeedTask>& tasks);
    std::vector<StoredTask> Stored(const std::wstring& folder);
    std::vector<std::string> StoredTitles(const std::wstring& folder);
    std::vector<std::string> Tables();
    // The folder's value in the status file; -1 when there is no entry.
    int StatusEntry(const std::wstring& folder);
    int SettingsValue(const wchar_t* key);
    void WriteSettings(int mainWidth, int mainHeight, int editorWidth, int editorHeight);

    // Starts the program with the database and the item name quoted, as the context menu does,
    // and waits for its main window. False (with the reason reported) when it did not appear.
    bool Launch(const std::wstring& folder);
    // Starts the program with a raw argument tail and does not wait for anything.
    bool StartRaw(const std::wstring& arguments);
    HWND WaitMainWindow(DWORD timeoutMs = kWaitMs);
    // Closes the main window by its close box and waits for the program's exit (code 0 expected).
    bool CloseMain();

    // Issues a menu command the way the menu bar delivers it.
    void Command(int id);
    // Clicks entry `index` of the task list and waits until it is selected.
    bool SelectEntry(int index);
    // Keys go to the main window's task list.
    void PressInMain(WORD key, std::initializer_list<WORD> modifiers = {});
    std::vector<std::wstring> Shown() const { return ListTexts(list_); }

    // Waits for a message box and checks its caption and text; answers it with `answer`.
    ::testing::AssertionResult ExpectBox(const std::wstring& caption,
                                         const std::wstring& text,
                                         int answer = IDOK);
    // Issues menu command `id` and checks and answers the boxes that follow, in order; fails at
    // the first that is missing or differs.
    struct Box {
        std::wstring caption;
        std::wstring text;
        int answer = IDOK;
    };
    ::testing::AssertionResult CommandAndAnswer(int id, std::initializer_list<Box> boxes);
    // Checks that no message box or editor appears within a short settling time.
    ::testing::AssertionResult ExpectNothingShown();

    // The editor: waits for it to appear; fills it; saves or closes it.
    HWND WaitEditor();
    void SetField(int id, const std::wstring& text);
    std::wstring Field(int id) const;
    bool DoneChecked() const;
    void ClickDoneBox();
    void ClickSave();
    bool WaitEditorGone();
    // A key pressed in the editor (Enter saves, Escape closes).
    void PressInEditor(WORD key);
    // Insert, the title typed, the description filled in, the box clicked if done, Save; waits
    // until the list shows one more entry.
    bool AddTask(const std::wstring& title,
                 const std::wstring& description = L"",
                 bool done = false);

    AppProcess app_;
    HWND main_ = nullptr;
    HWND list_ = nullptr;
    HWND editor_ = nullptr;

private:
    ScratchDir scratch_;
    // Made with the fixture, so that no step of a test whose set-up failed writes elsewhere.
    std::wstring parent_ = scratch_.Make("Parent").wstring() + L"\\";
};
