#include "tests/app/app_fixture.h"
#include "tests/app/ui_texts.h"
#include "tests/store/item_store.h"

#include <shlobj.h>

#include "store/folder_key.h"
#include "store/sqlite/task_table.h"
#include "tests/app/wine_windows.h"
#include "text/text_encoding.h"
#include "text/text_format.h"

namespace {

// How long a negative check watches for a window that must not appear.
constexpr DWORD kSettleMs = 600;

std::u16string AsU16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

bool OpenStore(TestStore& store, const std::wstring& dbPath, const std::wstring& folder) {
    if (!OpenTaskStore(store, WideToUtf8(dbPath))) return false;
    store.table = TableOf(folder);
    return true;
}

bool HaveDisplay() {
    wchar_t value[256];
    return GetEnvironmentVariableW(L"DISPLAY", value, 256) > 0;
}

}  // namespace

const std::string& TestLanguage() {
    static const std::string tag = [] {
        char value[32] = {};
        const DWORD size = GetEnvironmentVariableA("PELMORA_TEST_LANG", value, sizeof(value));
        return size > 0 && size < sizeof(value) ? std::string(value) : std::string();
    }();
    return tag;
}

namespace {

// The catalogue's number of the tests' language; LanguageCount() when it has none such.
size_t TestLanguageNumber() {
    static const size_t number = [] {
        if (TestLanguage().empty()) return kEnglish;
        for (size_t language = 0; language < LanguageCount(); ++language) {
            if (TestLanguage() == LanguageTag(language)) return language;
        }
        return LanguageCount();
    }();
    return number;
}

}  // namespace

bool TestLanguageKnown() {
    return TestLanguageNumber() < LanguageCount();
}

std::wstring Ui(TextId id) {
    const char16_t* text = TextIn(TestLanguageNumber(), id);
    return std::wstring(text, text + std::char_traits<char16_t>::length(text));
}

std::wstring Ui(TextId id, std::initializer_list<std::wstring> args) {
    std::vector<std::u16string> a;
    for (const std::wstring& arg : args) a.push_back(AsU16(arg));
    const std::u16string pattern = AsU16(Ui(id));
    std::u16string text;
    switch (a.size()) {
        case 1:
            text = FormatText(pattern, {a[0]});
            break;
        case 2:
            text = FormatText(pattern, {a[0], a[1]});
            break;
        case 3:
            text = FormatText(pattern, {a[0], a[1], a[2]});
            break;
        default:
            ADD_FAILURE() << "Ui fills one to three places";
            text = pattern;
    }
    return std::wstring(text.begin(), text.end());
}

std::string WideToUtf8(const std::wstring& text) {
    return Utf16ToUtf8(AsU16(text));
}

std::wstring Utf8ToWideText(const std::string& text) {
    const std::u16string wide = Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring SettingsFilePath() {
    wchar_t folder[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE);
    return std::wstring(folder) + L"\\Pelmora\\config.ini";
}

std::string KeyOf(const std::wstring& folderName) {
    return FolderKey(AsU16(folderName));
}

std::string TableOf(const std::wstring& folderName) {
    return TaskTableName(KeyOf(folderName));
}

int TestDpi() {
    static const int dpi = [] {
        wchar_t value[16] = {};
        if (GetEnvironmentVariableW(L"PELMORA_TEST_DPI", value, 16) == 0) return 96;
        const int parsed = _wtoi(value);
        return parsed > 0 ? parsed : 96;
    }();
    return dpi;
}

int Px(int designed) {
    return MulDiv(designed, TestDpi(), 96);
}

int Unpx(int pixels) {
    return MulDiv(pixels, 96, TestDpi());
}

HWND OpenEditorWithTitle(const AppProcess& app, HWND main, const std::wstring& title) {
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(kCmdAddTask, 0), 0);
    const HWND editor = app.WaitWindow(
        [](HWND window) { return WindowText(window) == Ui(TextId::kEditorCaption); });
    if (editor != nullptr) {
        SendTo(GetDlgItem(editor, kTitleFieldId), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(title.c_str()));
    }
    return editor;
}

void PostSave(HWND editor) {
    PostMessageW(editor, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(editor, IDOK)));
}

SaveOutcome AwaitSave(const AppProcess& app, HWND editor) {
    std::optional<MessageBoxSeen> box;
    WaitUntil([&] { return !IsWindow(editor) || (box = app.CurrentMessageBox()).has_value(); });
    if (!box) return IsWindow(editor) ? SaveOutcome::kOther : SaveOutcome::kAdded;
    const bool taken =
        box->caption == Ui(TextId::kCaptionWarning) && box->text == Ui(TextId::kTitleExists);
    AnswerMessageBox(*box, IDOK);
    PostMessageW(editor, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    if (!WaitUntil([&] { return !IsWindow(editor); })) return SaveOutcome::kOther;
    return taken ? SaveOutcome::kRefusedAsTaken : SaveOutcome::kOther;
}

void PelmoraUiTest::SetUp() {
    ASSERT_TRUE(TestLanguageKnown())
        << "PELMORA_TEST_LANG=" << TestLanguage() << " is no language of the program";
    if (!HaveDisplay()) {
        GTEST_SKIP() << "no X display: the program's windows need one (scripts/test.sh starts Xvfb "
                        "and sets DISPLAY)";
    }
    // The program works in physical pixels; so must the driver that measures and clicks it, or
    // the system would hand it coordinates scaled to 96 DPI.
    SetProcessDPIAware();
    UseUnmanagedWindowsUnderWine();
    // Every measure the tests check is the designed one scaled to TestDpi(): a prefix at another
    // density would fail them all for one cause, named here.
    static const int screenDpi = [] {
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return dpi;
    }();
    ASSERT_EQ(TestDpi(), screenDpi) << "the Wine prefix runs at another density than the tests "
                                       "expect (PELMORA_TEST_DPI, scripts/wine-at-dpi.sh)";
    // Every test starts from the default window sizes.
    DeleteFileW(SettingsFilePath().c_str());
}

void PelmoraUiTest::TearDown() {
    // The program goes before its folder does.
    app_.Kill();
}

void SeedDatabase(const std::wstring& dbPath,
                  const std::wstring& folder,
                  const std::vector<SeedTask>& tasks) {
    TestStore store;
    ASSERT_TRUE(OpenStore(store, dbPath, folder));
    ASSERT_TRUE(CreateTaskTable(store));
    int priority = CountTasks(store, store.table);
    for (const SeedTask& task : tasks) {
        TaskRecord record;
        record.title = Base64Encode(task.title);
        if (task.description) record.description = Base64Encode(*task.description);
        record.done = task.done ? 1 : 0;
        record.doneDate = task.doneDate;
        record.priority = priority++;
        ASSERT_TRUE(InsertTask(store, record)) << task.title;
    }
}

void PelmoraUiTest::Seed(const std::wstring& folder, const std::vector<SeedTask>& tasks) {
    SeedDatabase(DbPath(), folder, tasks);
}

std::vector<StoredTask> PelmoraUiTest::Stored(const std::wstring& folder) {
    std::vector<StoredTask> result;
    TestStore store;
    if (!OpenStore(store, DbPath(), folder)) {
        ADD_FAILURE() << "cannot open the database";
        return result;
    }
    const auto records = LoadTasks(store);
    if (!records) {
        ADD_FAILURE() << "cannot read the tasks";
        return result;
    }
    for (const TaskRecord& record : *records) {
        StoredTask task;
        task.title = Base64Decode(record.title);
        if (record.description && !record.description->empty())
            task.description = Base64Decode(*record.description);
        task.done = record.done != 0;
        task.doneDate = record.doneDate.value_or("");
        task.priority = record.priority;
        result.push_back(task);
    }
    return result;
}

std::vector<std::string> PelmoraUiTest::StoredTitles(const std::wstring& folder) {
    std::vector<std::string> titles;
    for (const StoredTask& task : Stored(folder)) titles.push_back(task.title);
    return titles;
}

std::vector<std::string> PelmoraUiTest::Tables() {
    TestStore store;
    if (!OpenTaskStore(store, WideToUtf8(DbPath()))) return {};
    return ListTables(store).value_or(std::vector<std::string>{});
}

int PelmoraUiTest::StatusEntry(const std::wstring& folder) {
    return static_cast<int>(GetPrivateProfileIntW(L"pelmora", Utf8ToWideText(KeyOf(folder)).c_str(),
                                                  -1, StatusPath().c_str()));
}

int PelmoraUiTest::SettingsValue(const wchar_t* key) {
    return static_cast<int>(GetPrivateProfileIntW(L"pelmora", key, -1, SettingsFilePath().c_str()));
}

void PelmoraUiTest::WriteSettings(int mainWidth,
                                  int mainHeight,
                                  int editorWidth,
                                  int editorHeight) {
    const std::wstring path = SettingsFilePath();
    CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    const std::pair<const wchar_t*, int> values[] = {{L"wnd_main_width", mainWidth},
                                                     {L"wnd_main_height", mainHeight},
                                                     {L"wnd_add_width", editorWidth},
                                                     {L"wnd_add_height", editorHeight}};
    for (const auto& [key, value] : values)
        WritePrivateProfileStringW(L"pelmora", key, std::to_wstring(value).c_str(), path.c_str());
}

bool PelmoraUiTest::StartRaw(const std::wstring& arguments) {
    // The program speaks the tests' language, unless a test chose one itself.
    std::wstring line = arguments;
    if (!TestLanguage().empty() && arguments.find(L"/lang:") == std::wstring::npos) {
        line = L"/lang:" + std::wstring(TestLanguage().begin(), TestLanguage().end()) + L" " + line;
    }
    const bool started = app_.Start(ProgramPath(), line, parent_);
    if (!started) ADD_FAILURE() << "cannot start the program, error " << GetLastError();
    return started;
}

HWND PelmoraUiTest::WaitMainWindow(DWORD timeoutMs) {
    main_ = app_.WaitWindow(
        [](HWND window) {
            return ClassOf(window) == L"#32770" && GetDlgItem(window, kTaskListId) != nullptr;
        },
        timeoutMs);
    list_ = main_ ? GetDlgItem(main_, kTaskListId) : nullptr;
    return main_;
}

bool PelmoraUiTest::Launch(const std::wstring& folder) {
    if (!StartRaw(L"\"" + DbPath() + L"\" \"" + folder + L"\"")) return false;
    if (!WaitMainWindow()) {
        const auto box = app_.CurrentMessageBox();
        ADD_FAILURE() << "no main window; message box: "
                      << (box ? WideToUtf8(box->caption + L": " + box->text) : "none");
        return false;
    }
    return true;
}

bool PelmoraUiTest::CloseMain() {
    if (!main_) return false;
    PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    const auto code = app_.WaitExit();
    if (!code) {
        ADD_FAILURE() << "the program did not end after its window was closed";
        return false;
    }
    EXPECT_EQ(0u, *code) << "exit code";
    main_ = list_ = nullptr;
    return true;
}

void PelmoraUiTest::Command(int id) {
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

bool PelmoraUiTest::SelectEntry(int index) {
    BringToFront(main_);
    ClickAt(ListEntryCentre(list_, index));
    return WaitUntil([&] { return ListSelection(list_) == index; });
}

void PelmoraUiTest::PressInEditor(WORD key) {
    BringToFront(editor_);
    PressKey(key);
}

void PelmoraUiTest::PressInMain(WORD key, std::initializer_list<WORD> modifiers) {
    BringToFront(main_);
    PressKey(key, modifiers);
}

::testing::AssertionResult PelmoraUiTest::ExpectBox(const std::wstring& caption,
                                                    const std::wstring& text,
                                                    int answer) {
    const auto box = app_.WaitMessageBox();
    if (!box) {
        return ::testing::AssertionFailure()
               << "no message box appeared; expected \"" << WideToUtf8(text) << "\"";
    }
    const bool matches = box->caption == caption && box->text == text;
    if (!AnswerMessageBox(*box, answer)) {
        return ::testing::AssertionFailure() << "cannot answer the box \"" << WideToUtf8(box->text)
                                             << "\" with button " << answer;
    }
    if (!matches) {
        return ::testing::AssertionFailure()
               << "message box \"" << WideToUtf8(box->caption) << "\" / \"" << WideToUtf8(box->text)
               << "\", expected \"" << WideToUtf8(caption) << "\" / \"" << WideToUtf8(text) << "\"";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PelmoraUiTest::CommandAndAnswer(int id,
                                                           std::initializer_list<Box> boxes) {
    Command(id);
    for (const Box& box : boxes) {
        auto answered = ExpectBox(box.caption, box.text, box.answer);
        if (!answered) return answered;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult PelmoraUiTest::ExpectNothingShown() {
    HWND other = app_.WaitWindow([&](HWND window) { return window != main_; }, kSettleMs);
    if (!other) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure()
                   << "unexpected window \"" << WideToUtf8(WindowText(other)) << "\"";
    if (IsMessageBox(other)) {
        const MessageBoxSeen box = ReadMessageBox(other);
        failure << " saying \"" << WideToUtf8(box.text) << "\"";
        AnswerMessageBox(box, box.buttons.empty() ? IDOK : box.buttons.back());
    }
    return failure;
}

HWND PelmoraUiTest::WaitEditor() {
    editor_ = app_.WaitWindow(
        [](HWND window) { return WindowText(window) == Ui(TextId::kEditorCaption); });
    return editor_;
}

void PelmoraUiTest::SetField(int id, const std::wstring& text) {
    SendTo(GetDlgItem(editor_, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring PelmoraUiTest::Field(int id) const {
    return WindowText(GetDlgItem(editor_, id));
}

bool PelmoraUiTest::DoneChecked() const {
    return SendTo(GetDlgItem(editor_, kDoneBoxId), BM_GETCHECK) == BST_CHECKED;
}

void PelmoraUiTest::ClickDoneBox() {
    const bool before = DoneChecked();
    BringToFront(editor_);
    HWND box = GetDlgItem(editor_, kDoneBoxId);
    const RECT rect = OuterRect(box);
    // On the square, not the label: the label may be wider than its text.
    ClickAt(POINT{rect.left + 6, (rect.top + rect.bottom) / 2});
    WaitUntil([&] { return DoneChecked() != before; });
}

void PelmoraUiTest::ClickSave() {
    BringToFront(editor_);
    ClickAt(CentreOf(GetDlgItem(editor_, IDOK)));
}

bool PelmoraUiTest::WaitEditorGone() {
    HWND editor = editor_;
    return WaitUntil([&] { return !IsWindow(editor); });
}

bool PelmoraUiTest::AddTask(const std::wstring& title, const std::wstring& description, bool done) {
    const int before = ListCount(list_);
    PressInMain(VK_INSERT);
    if (!WaitEditor()) {
        ADD_FAILURE() << "Insert did not open the editor";
        return false;
    }
    BringToFront(editor_);
    // Tab and line breaks would move the focus or be refused by a one-line field; such titles
    // arrive the way a paste puts them there.
    if (title.find_first_of(L"\t\r\n") == std::wstring::npos)
        TypeText(title);
    else
        SetField(kTitleFieldId, title);
    if (!WaitUntil([&] { return Field(kTitleFieldId) == title; })) {
        ADD_FAILURE() << "the typed title did not arrive: " << WideToUtf8(Field(kTitleFieldId));
        return false;
    }
    if (!description.empty()) SetField(kDescriptionFieldId, description);
    if (done) ClickDoneBox();
    ClickSave();
    if (!WaitEditorGone() || !WaitUntil([&] { return ListCount(list_) == before + 1; })) {
        const auto box = app_.CurrentMessageBox();
        ADD_FAILURE() << "the task was not added; message box: "
                      << (box ? WideToUtf8(box->caption + L": " + box->text) : "none");
        return false;
    }
    return true;
}
