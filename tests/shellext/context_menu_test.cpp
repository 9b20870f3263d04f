// The context-menu handler driven as Explorer drives it: a real selection, a real menu, and the
// task manager's start checked through a recorder placed where the program is installed.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <functional>

#include "shellext/guids.h"
#include "test_support.h"

namespace {

constexpr wchar_t kMenuText[] = L"Task Management...";
constexpr wchar_t kTreeMenuText[] = L"Tasks Below This Folder...";

class ContextMenuTest : public testing::Test {
protected:
    void SetUp() override {
        menu_ = CreateExtensionObject<IContextMenu>(CLSID_ShellExt);
        ASSERT_TRUE(menu_);
        ASSERT_EQ(menu_.As(&init_), S_OK);
    }

    HRESULT Initialize(const ComPtr<IDataObject>& data) {
        return init_->Initialize(nullptr, data.Get(), nullptr);
    }
    // As Explorer initializes the menu of a folder's background: the folder, no selection.
    HRESULT InitializeBackground(const std::wstring& folder) {
        PIDLIST_ABSOLUTE id = nullptr;
        if (FAILED(SHParseDisplayName(folder.c_str(), nullptr, &id, 0, nullptr))) return E_FAIL;
        const HRESULT hr = init_->Initialize(id, nullptr, nullptr);
        CoTaskMemFree(id);
        return hr;
    }

    ComPtr<IContextMenu> menu_;
    ComPtr<IShellExtInit> init_;
    ScratchDir folder_;
};

TEST_F(ContextMenuTest, InitializeAcceptsTheShellsSelection) {
    folder_.Make(L"Alpha");
    folder_.Touch(L"report.txt");
    EXPECT_EQ(Initialize(MakeShellDataObject(folder_.path().wstring(), {L"Alpha"})), S_OK);
    EXPECT_EQ(Initialize(MakeShellDataObject(folder_.path().wstring(), {L"report.txt", L"Alpha"})),
              S_OK);
}

TEST_F(ContextMenuTest, InitializeRefusesSelectionsWithoutAUsableItem) {
    EXPECT_EQ(Initialize(nullptr), E_INVALIDARG);
    EXPECT_EQ(Initialize(MakeDropDataObject({})), E_INVALIDARG);
    EXPECT_EQ(Initialize(MakeDropDataObject({L"C:\\x"}, false)), E_INVALIDARG);
    EXPECT_EQ(Initialize(MakeDropDataObject({L""})), E_INVALIDARG);
    // A path that does not fit the 520-unit buffer would arrive cut: refused, not cut.
    const std::wstring base = folder_.path().wstring() + L"\\";
    EXPECT_EQ(Initialize(MakeDropDataObject({base + std::wstring(519 - base.size(), L'a')})), S_OK);
    EXPECT_EQ(Initialize(MakeDropDataObject({base + std::wstring(520 - base.size(), L'a')})),
              E_INVALIDARG);
    EXPECT_EQ(Initialize(MakeDropDataObject({base + std::wstring(32767 - base.size(), L'a')})),
              E_INVALIDARG);
}

TEST_F(ContextMenuTest, QueryContextMenuInsertsOneEntryWithItsBitmap) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"Open");
    AppendMenuW(menu, MF_STRING, 2, L"Properties");
    const HRESULT hr = menu_->QueryContextMenu(menu, 1, 100, 200, CMF_NORMAL);
    EXPECT_EQ(hr, MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1));
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(GetMenuItemID(menu, 1), 100u);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 1, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, kMenuText);
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_CHECKMARKS;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 1, TRUE, &info));
    EXPECT_NE(info.hbmpUnchecked, nullptr);
    EXPECT_EQ(info.hbmpChecked, info.hbmpUnchecked);
    BITMAP bitmap = {};
    ASSERT_EQ(GetObjectW(info.hbmpUnchecked, sizeof bitmap, &bitmap), sizeof bitmap);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXMENUCHECK));
    EXPECT_EQ(bitmap.bmHeight, GetSystemMetrics(SM_CYMENUCHECK));
    DestroyMenu(menu);
}

TEST_F(ContextMenuTest, FoldersAndTheirBackgroundsGetTheTreeEntryFilesDoNot) {
    const std::wstring alpha = folder_.Make(L"Alpha").wstring();
    folder_.Touch(L"report.txt");
    using Entries = std::vector<std::pair<UINT, std::wstring>>;
    const struct {
        const char* what;
        std::function<HRESULT()> initialize;
        UINT lastCommand;
        Entries entries;  // between "Open" and "Properties": identifier, text
        int used;
        bool folder;  // the second command exists (by verb, too)
    } cases[] = {
        {"folder",
         [&] { return Initialize(MakeShellDataObject(folder_.path().wstring(), {L"Alpha"})); }, 200,
         Entries{{100, kMenuText}, {101, kTreeMenuText}}, 2, true},
        {"file",
         [&] { return Initialize(MakeShellDataObject(folder_.path().wstring(), {L"report.txt"})); },
         200, Entries{{100, kMenuText}}, 1, false},
        {"background", [&] { return InitializeBackground(alpha); }, 200,
         Entries{{101, kTreeMenuText}}, 2, true},
        // No identifier left for the second entry: the first stays as it always was.
        {"folder, one identifier", [&] { return Initialize(MakeDropDataObject({alpha})); }, 100,
         Entries{{100, kMenuText}}, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.initialize(), S_OK);
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 1, L"Open");
        AppendMenuW(menu, MF_STRING, 2, L"Properties");
        EXPECT_EQ(menu_->QueryContextMenu(menu, 1, 100, c.lastCommand, CMF_NORMAL),
                  MAKE_HRESULT(SEVERITY_SUCCESS, 0, c.used));
        Entries entries;
        for (int i = 1; i + 1 < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
            entries.emplace_back(GetMenuItemID(menu, i), text);
        }
        EXPECT_EQ(entries, c.entries);
        DestroyMenu(menu);
        // The second command's verb is there exactly for a folder.
        wchar_t verb[16] = {};
        const HRESULT named =
            menu_->GetCommandString(1, GCS_VERBW, nullptr, reinterpret_cast<char*>(verb), 16);
        if (c.folder) {
            EXPECT_EQ(named, S_OK);
            EXPECT_STREQ(verb, L"TasksBelow");
        } else {
            EXPECT_EQ(named, E_INVALIDARG);
        }
    }
}

TEST_F(ContextMenuTest, DefaultOnlyMenusGetNothing) {
    HMENU menu = CreatePopupMenu();
    EXPECT_EQ(menu_->QueryContextMenu(menu, 0, 100, 200, CMF_DEFAULTONLY),
              MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0));
    EXPECT_EQ(GetMenuItemCount(menu), 0);
    DestroyMenu(menu);
}

TEST_F(ContextMenuTest, CommandStringAnswersHelpTextInBothForms) {
    wchar_t wide[64];
    for (UINT type : {GCS_HELPTEXTW, GCS_VERBW, GCS_VALIDATEW}) {
        wmemset(wide, L'#', 64);
        EXPECT_EQ(menu_->GetCommandString(0, type, nullptr, reinterpret_cast<char*>(wide), 64),
                  S_OK)
            << type;
        EXPECT_STREQ(wide, L"Manage Tasks");
    }
    char ansi[64];
    memset(ansi, '#', sizeof ansi);
    EXPECT_EQ(menu_->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, 64), S_OK);
    EXPECT_STREQ(ansi, "Manage Tasks");
    for (UINT type : {GCS_VERBA, GCS_VALIDATEA}) {
        memset(ansi, '#', sizeof ansi);
        EXPECT_EQ(menu_->GetCommandString(0, type, nullptr, ansi, 64), E_INVALIDARG) << type;
        EXPECT_EQ(ansi[0], '#');
    }
    EXPECT_EQ(menu_->GetCommandString(1, GCS_HELPTEXTW, nullptr, ansi, 64), E_INVALIDARG);
}

// Explorer's thread has a UI language of its own; the entries follow the user's choice for
// Pelmora instead (HKCU\Software\Pelmora "Language"), and the thread's language is left alone.
TEST_F(ContextMenuTest, EntriesFollowTheUsersLanguageNotTheThreads) {
    folder_.Make(L"Alpha");
    ASSERT_EQ(Initialize(MakeShellDataObject(folder_.path().wstring(), {L"Alpha"})), S_OK);
    const LANGID original = GetThreadUILanguage();
    struct Case {
        LANGID thread;
        const wchar_t* chosen;
        const wchar_t* entry;
        const wchar_t* help;
    };
    const Case cases[] = {
        {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), L"de-AT", L"Aufgabenverwaltung...",
         L"Aufgaben verwalten"},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"en-GB", kMenuText, L"Manage Tasks"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "thread language " << c.thread);
        ASSERT_EQ(
            RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Pelmora", L"Language", REG_SZ, c.chosen,
                            static_cast<DWORD>((wcslen(c.chosen) + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
        SetThreadUILanguage(c.thread);
        const LANGID threadLanguage = GetThreadUILanguage();
        HMENU menu = CreatePopupMenu();
        EXPECT_EQ(menu_->QueryContextMenu(menu, 0, 100, 200, CMF_NORMAL),
                  MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2));
        wchar_t text[64] = {};
        GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, c.entry);
        DestroyMenu(menu);
        wchar_t help[64] = {};
        EXPECT_EQ(
            menu_->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(help), 64),
            S_OK);
        EXPECT_STREQ(help, c.help);
        EXPECT_EQ(GetThreadUILanguage(), threadLanguage);
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Pelmora", L"Language");
    SetThreadUILanguage(original);
}

TEST_F(ContextMenuTest, CommandStringIsCutToShortBuffers) {
    wchar_t wide[8];
    wmemset(wide, L'#', 8);
    EXPECT_EQ(menu_->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide), 5),
              S_OK);
    EXPECT_STREQ(wide, L"Mana");
    EXPECT_EQ(wide[5], L'#');
    char ansi[8];
    memset(ansi, '#', sizeof ansi);
    EXPECT_EQ(menu_->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, 3), S_OK);
    EXPECT_STREQ(ansi, "Ma");
    EXPECT_EQ(ansi[3], '#');
    // Without room even for the terminator nothing is written.
    memset(ansi, '#', sizeof ansi);
    EXPECT_EQ(menu_->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, 0), E_INVALIDARG);
    EXPECT_EQ(ansi[0], '#');
    EXPECT_EQ(menu_->GetCommandString(0, GCS_HELPTEXTW, nullptr, nullptr, 64), E_INVALIDARG);
}

// The program Explorer would start is replaced by the recorder for these tests; whatever was
// installed there is put back afterwards.
class InvokeCommandTest : public ContextMenuTest {
protected:
    static void SetUpTestSuite() {
        wchar_t programFiles[MAX_PATH];
        ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE));
        programFolder_ = std::wstring(programFiles) + L"\\Pelmora";
        program_ = programFolder_ + L"\\Pelmora.exe";
        createdFolder_ = CreateDirectoryW(programFolder_.c_str(), nullptr) != FALSE;
        hadProgram_ = MoveFileExW(program_.c_str(), (program_ + L".saved").c_str(),
                                  MOVEFILE_REPLACE_EXISTING) != FALSE;
        ASSERT_TRUE(CopyFileW(RecorderPath().c_str(), program_.c_str(), FALSE));
    }
    static void TearDownTestSuite() {
        DeleteFileW(program_.c_str());
        if (hadProgram_) MoveFileW((program_ + L".saved").c_str(), program_.c_str());
        if (createdFolder_) RemoveDirectoryW(programFolder_.c_str());
        SetEnvironmentVariableW(L"PELMORA_RECORDER_LOG", nullptr);
    }

    void SetUp() override {
        ContextMenuTest::SetUp();
        log_ = folder_.path().wstring() + L"\\starts.log";
        SetEnvironmentVariableW(L"PELMORA_RECORDER_LOG", log_.c_str());
    }

    HRESULT Invoke(const char* verb) {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof info;
        info.lpVerb = verb;
        info.nShow = SW_SHOWNORMAL;
        return menu_->InvokeCommand(&info);
    }

    // The recorded starts once `count` have arrived (or after `patience` milliseconds).
    std::vector<std::wstring> Starts(size_t count, int patience = 10000) {
        std::vector<std::wstring> lines;
        for (int waited = 0; waited <= patience; waited += 50) {
            lines.clear();
            const std::wstring text = Utf8ToWide(ReadFileBytes(log_));
            size_t start = 0;
            for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos;
                 start = end + 1) {
                lines.push_back(text.substr(start, end - start));
            }
            if (lines.size() >= count) break;
            Sleep(50);
        }
        return lines;
    }

    // Starts the program for `item` and returns the one recorded start.
    std::wstring StartFor(const std::wstring& item) {
        EXPECT_EQ(Initialize(MakeDropDataObject({item})), S_OK);
        EXPECT_EQ(Invoke(nullptr), S_OK);
        const auto starts = Starts(1);
        return starts.size() == 1 ? starts[0] : L"<" + std::to_wstring(starts.size()) + L" starts>";
    }

    static std::wstring Expected(const std::wstring& database, const std::wstring& name) {
        return L"2\t" + database + L"\t" + name;
    }

    std::wstring log_;
    static inline std::wstring programFolder_;
    static inline std::wstring program_;
    static inline bool createdFolder_ = false;
    static inline bool hadProgram_ = false;
};

TEST_F(InvokeCommandTest, StartsTheProgramForAFolderWithDatabaseAndName) {
    const std::wstring item = folder_.Make(L"Alpha").wstring();
    EXPECT_EQ(Initialize(MakeShellDataObject(folder_.path().wstring(), {L"Alpha"})), S_OK);
    EXPECT_EQ(Invoke(nullptr), S_OK);
    const auto starts = Starts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], Expected(folder_.path().wstring() + L"\\pelmora.db", L"Alpha"));
}

TEST_F(InvokeCommandTest, StartsTheProgramForAFile) {
    EXPECT_EQ(StartFor(folder_.Touch(L"report.txt").wstring()),
              Expected(folder_.path().wstring() + L"\\pelmora.db", L"report.txt"));
}

TEST_F(InvokeCommandTest, OnlyTheFirstSelectedItemCounts) {
    folder_.Make(L"Second");
    folder_.Touch(L"first.txt");
    EXPECT_EQ(Initialize(MakeShellDataObject(folder_.path().wstring(), {L"first.txt", L"Second"})),
              S_OK);
    EXPECT_EQ(Invoke(nullptr), S_OK);
    const auto starts = Starts(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], Expected(folder_.path().wstring() + L"\\pelmora.db", L"first.txt"));
}

TEST_F(InvokeCommandTest, NamesWithBlanksAndNonAsciiLettersPassUnchanged) {
    const std::wstring name = L"Projekt \u00dcbung \u65e5\u672c";
    EXPECT_EQ(StartFor(folder_.Make(name).wstring()),
              Expected(folder_.path().wstring() + L"\\pelmora.db", name));
}

TEST_F(InvokeCommandTest, AParentFolderWithBlanksArrivesAsOneArgument) {
    // Unquoted, "C:\My Projects\pelmora.db" would reach the program as two arguments and a
    // third, and the program would end without a window.
    const std::wstring parent = folder_.Make(L"My  Projects 2024").wstring();
    const std::wstring item = parent + L"\\Alpha";
    ASSERT_TRUE(CreateDirectoryW(item.c_str(), nullptr));
    EXPECT_EQ(StartFor(item), Expected(parent + L"\\pelmora.db", L"Alpha"));
}

TEST_F(InvokeCommandTest, VerbsGivenAsTextOrOtherOffsetsStartNothing) {
    EXPECT_EQ(Initialize(MakeDropDataObject({folder_.Make(L"Alpha").wstring()})), S_OK);
    EXPECT_EQ(Invoke("open"), E_INVALIDARG);
    EXPECT_EQ(Invoke(MAKEINTRESOURCEA(2)), E_INVALIDARG);
    EXPECT_EQ(menu_->InvokeCommand(nullptr), E_INVALIDARG);
    // A file has no second entry, by offset or by verb.
    EXPECT_EQ(Initialize(MakeDropDataObject({folder_.Touch(L"report.txt").wstring()})), S_OK);
    EXPECT_EQ(Invoke(MAKEINTRESOURCEA(1)), E_INVALIDARG);
    EXPECT_EQ(Invoke("TasksBelow"), E_INVALIDARG);
    // A drive root has no name: the entry does nothing.
    EXPECT_EQ(Initialize(MakeDropDataObject({L"C:\\"})), S_OK);
    EXPECT_EQ(Invoke(nullptr), S_OK);
    // An item whose database argument would not fit its buffer starts nothing either.
    const std::wstring base = folder_.path().wstring() + L"\\";
    const std::wstring deep = base + std::wstring(515 - base.size(), L'd') + L"\\x";
    EXPECT_EQ(Initialize(MakeDropDataObject({deep})), S_OK);
    EXPECT_EQ(Invoke(nullptr), S_OK);
    // Only the start that follows is recorded, even when given time for a stray one.
    EXPECT_EQ(StartFor(folder_.Make(L"Last").wstring()), Expected(base + L"pelmora.db", L"Last"));
    EXPECT_EQ(Starts(2, 500).size(), 1u);
}

TEST_F(InvokeCommandTest, TheTreeEntryStartsTheProgramBelowTheFolder) {
    const std::wstring folder = folder_.Make(L"My Projects \u00dcbung").wstring();
    EXPECT_EQ(
        Initialize(MakeShellDataObject(folder_.path().wstring(), {L"My Projects \u00dcbung"})),
        S_OK);
    EXPECT_EQ(Invoke(MAKEINTRESOURCEA(1)), S_OK);
    ASSERT_EQ(Starts(1).size(), 1u);
    // From the folder's background, by the entry's verb; the first entry is not there.
    EXPECT_EQ(InitializeBackground(folder), S_OK);
    EXPECT_EQ(Invoke(MAKEINTRESOURCEA(0)), E_INVALIDARG);
    EXPECT_EQ(Invoke("tasksbelow"), S_OK);
    ASSERT_EQ(Starts(2).size(), 2u);
    // A drive root keeps its backslash: the program must not read "C:" plus a quote.
    EXPECT_EQ(Initialize(MakeDropDataObject({L"C:\\"})), S_OK);
    EXPECT_EQ(Invoke(MAKEINTRESOURCEA(1)), S_OK);
    const std::wstring below = L"2\t/below\t";
    EXPECT_EQ(Starts(3),
              (std::vector<std::wstring>{below + folder, below + folder, below + L"C:\\"}));
}

TEST_F(InvokeCommandTest, ParentsAsLongAsTheBufferAllowsStillStart) {
    // The database argument takes the parent, "pelmora.db" and two quotes in 519 units; the
    // parent is padded with ".\" so that it still names the real folder.
    folder_.Make(L"Alpha");
    std::wstring parent = folder_.path().wstring() + L"\\";
    while (parent.size() + 2 <= 519 - 12) parent += L".\\";
    EXPECT_EQ(StartFor(parent + L"Alpha"), Expected(parent + L"pelmora.db", L"Alpha"));
}

}  // namespace
