// "Tasks Below This Folder...": the program started with /below on a generated tree, and from its
// main window's File menu; what the list shows, the filter, an item's window opened from it and
// its entry read again, Cancel, closing mid-walk, and a root that is not there.
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

#include "tests/app/app_fixture.h"
#include "tests/app/ui_texts.h"
#include "tests/store/item_store.h"
#include "text/text_encoding.h"

namespace {

constexpr int kBelowFilterId = 1202;
constexpr int kBelowListId = 1203;
constexpr int kBelowProgressId = 1204;
constexpr int kBelowRefreshId = 1205;
constexpr int kBelowStopId = 1206;
constexpr int kCmdTasksBelow = 40021;

struct CaptionSearch {
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<CaptionSearch*>(data);
    if (!IsWindowVisible(window) || WindowText(window) != *search->caption) return TRUE;
    search->found = window;
    return FALSE;
}

// A visible top-level window of any process with exactly `caption`.
HWND FindTopWindow(const std::wstring& caption) {
    CaptionSearch search{&caption, nullptr};
    EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Ends the process that owns `window`, if it is still there: a failed test leaves no window.
void EndOwner(HWND window) {
    DWORD pid = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &pid) == 0) return;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) return;
    TerminateProcess(process, 1);
    WaitForSingleObject(process, kWaitMs);
    CloseHandle(process);
}

class BelowWindowTest : public PelmoraUiTest {
protected:
    void TearDown() override {
        for (HWND window : others_) EndOwner(window);
        for (sqlite3* holder : holders_) sqlite3_close(holder);
        PelmoraUiTest::TearDown();
    }

    std::wstring Root() const { return Parent().substr(0, Parent().size() - 1); }

    // A list for `item` (made as a folder, unless it is to be unclaimed) in `folder` below the
    // root, with `tasks`.
    void AddList(const std::wstring& folder,
                 const std::wstring& item,
                 const std::vector<SeedTask>& tasks,
                 bool makeItem = true) {
        const std::filesystem::path where = std::filesystem::path(Parent()) / folder;
        std::filesystem::create_directories(where);
        if (makeItem) std::filesystem::create_directories(where / item);
        SeedDatabase((where / L"pelmora.db").wstring(), item, tasks);
    }

    // Keeps another connection's write lock on the database of `folder` until the test ends.
    void HoldDatabase(const std::wstring& folder) {
        sqlite3* holder = nullptr;
        const std::wstring path = Parent() + folder + L"\\pelmora.db";
        ASSERT_EQ(SQLITE_OK, sqlite3_open(WideToUtf8(path).c_str(), &holder));
        holders_.push_back(holder);
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(holder, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr));
    }

    bool OpenBelow(const std::wstring& root) {
        if (!StartRaw(L"/below \"" + root + L"\"")) return false;
        below_ = app_.WaitWindow([](HWND window) {
            return ClassOf(window) == L"#32770" && GetDlgItem(window, kBelowListId) != nullptr;
        });
        belowList_ = below_ ? GetDlgItem(below_, kBelowListId) : nullptr;
        return below_ != nullptr;
    }

    std::wstring Progress() const { return WindowText(GetDlgItem(below_, kBelowProgressId)); }
    bool WaitWalkOver() {
        return WaitUntil([&] {
            const std::wstring text = Progress();
            return !text.empty() && text.rfind(L"Reading", 0) != 0;
        });
    }

    void Click(int id) {
        PostMessageW(below_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(below_, id)));
    }

    HWND below_ = nullptr;
    HWND belowList_ = nullptr;
    std::vector<HWND> others_;
    std::vector<sqlite3*> holders_;
};

TEST_F(BelowWindowTest, ShowsEveryOpenTaskBelowTheRootAndTheFilterNarrowsToTitles) {
    AddList(L"", L"Website", {{"Renew certificate"}, {"Old", true}});
    AddList(L"", L"Finished", {{"All done", true}});
    AddList(L"", L"Gone", {{"Lost task"}}, /*makeItem=*/false);
    AddList(L"Clients\\Acme", L"Logo", {{"Draw logo"}, {"Send invoice"}});
    std::filesystem::create_directories(Parent() + L"Broken");
    ASSERT_TRUE(WriteFileBytes(Parent() + L"Broken\\pelmora.db", std::string(4096, 'x')));

    ASSERT_TRUE(OpenBelow(Root()));
    ASSERT_TRUE(WaitWalkOver()) << WideToUtf8(Progress());
    // Root, Website, Finished, Clients, Acme, Logo and Broken; Finished's list has nothing open.
    EXPECT_EQ(L"7 folders, 4 lists, 4 open, 1 not readable", Progress());
    std::vector<std::wstring> shown = ListTexts(belowList_);
    const auto heading = std::find(shown.begin(), shown.end(), L"Website, 1 open of 2 tasks");
    ASSERT_NE(shown.end(), heading);
    ASSERT_NE(shown.end(), heading + 1);
    EXPECT_EQ(L"Renew certificate, open, Website", *(heading + 1)) << "a task beneath its item";
    std::sort(shown.begin(), shown.end());
    const std::vector<std::wstring> expected = {
        L"(unclaimed list), 1 open of 1 task",      L"Broken, damaged",
        L"Clients\\Acme\\Logo, 2 open of 2 tasks",  L"Draw logo, open, Clients\\Acme\\Logo",
        L"Lost task, open, (unclaimed list)",       L"Renew certificate, open, Website",
        L"Send invoice, open, Clients\\Acme\\Logo", L"Website, 1 open of 2 tasks",
    };
    EXPECT_EQ(expected, shown);

    // Typed as a person does, in another case than the title's.
    BringToFront(below_);
    ClickAt(CentreOf(GetDlgItem(below_, kBelowFilterId)));
    TypeText(L"LoGo");
    const std::vector<std::wstring> narrowed = {L"Clients\\Acme\\Logo, 2 open of 2 tasks",
                                                L"Draw logo, open, Clients\\Acme\\Logo"};
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(belowList_) == narrowed; }))
        << WideToUtf8(ListTexts(belowList_).empty() ? L"" : ListTexts(belowList_).back());
}

TEST_F(BelowWindowTest, EnterOpensTheItemsWindowAndItsEntryIsReadAgainWhenItCloses) {
    AddList(L"Projects", L"Website", {{"Renew certificate"}});
    ASSERT_TRUE(OpenBelow(Root()));
    ASSERT_TRUE(WaitWalkOver());
    ASSERT_EQ(2, ListCount(belowList_));
    BringToFront(below_);
    ClickAt(ListEntryCentre(belowList_, 1));
    ASSERT_TRUE(WaitUntil([&] { return ListSelection(belowList_) == 1; }));
    PressKey(VK_RETURN);

    HWND item = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (item = FindTopWindow(L" Pelmora - Website")) != nullptr; }))
        << "Enter opened no window for the item";
    others_.push_back(item);
    // A task added in the item's own window, which must have its folder's database.
    BringToFront(item);
    PressKey(VK_INSERT);
    HWND editor = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (editor = FindTopWindow(Ui(TextId::kEditorCaption))) != nullptr; }));
    BringToFront(editor);
    TypeText(L"Pay hosting");
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(editor); }));
    PostMessageW(item, WM_SYSCOMMAND, SC_CLOSE, 0);

    const std::vector<std::wstring> refreshed = {L"Projects\\Website, 2 open of 2 tasks",
                                                 L"Renew certificate, open, Projects\\Website",
                                                 L"Pay hosting, open, Projects\\Website"};
    EXPECT_TRUE(WaitUntil([&] { return ListTexts(belowList_) == refreshed; }))
        << WideToUtf8(ListText(belowList_, 0));
    EXPECT_EQ(L"3 folders, 1 list, 2 open", Progress()) << "the totals follow the entry";
}

TEST_F(BelowWindowTest, CancelStopsTheWalkAndClosingMidWalkEndsTheProgramCleanly) {
    // Each held database costs the walk its short wait: long enough to be stopped half-way.
    constexpr int kHeld = 30;
    for (int i = 0; i < kHeld; ++i) {
        const std::wstring folder = L"Held" + std::to_wstring(100 + i);
        AddList(folder, L"Item", {{"Wait"}});
        HoldDatabase(folder);
    }
    ASSERT_TRUE(OpenBelow(Root()));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(belowList_) > 0; }));
    Click(kBelowStopId);
    ASSERT_TRUE(WaitUntil([&] { return Progress().rfind(L"Cancelled: ", 0) == 0; }))
        << WideToUtf8(Progress());
    EXPECT_LT(ListCount(belowList_), kHeld) << "the walk went on after Cancel";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(below_, kBelowStopId)));

    // Again from the start, and closed while it runs.
    Click(kBelowRefreshId);
    ASSERT_TRUE(WaitUntil([&] { return Progress().rfind(L"Reading", 0) == 0; }));
    PostMessageW(below_, WM_CLOSE, 0, 0);
    const auto code = app_.WaitExit();
    ASSERT_TRUE(code.has_value()) << "the program did not end";
    EXPECT_EQ(0u, *code);
}

TEST_F(BelowWindowTest, AMissingRootIsToldAndTheFileMenuOpensTheItemsFolder) {
    ASSERT_TRUE(StartRaw(L"/below \"" + Parent() + L"Nowhere\""));
    EXPECT_TRUE(ExpectBox(
        Ui(TextId::kCaptionError),
        L"Cannot show the tasks below " + Parent() + L"Nowhere" + L": the folder does not exist."));
    ASSERT_TRUE(app_.WaitExit().has_value());

    std::filesystem::create_directories(Parent() + L"Website");
    Seed(L"Website", {SeedTask("Renew certificate")});
    ASSERT_TRUE(Launch(L"Website"));
    Command(kCmdTasksBelow);
    HWND below = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (below = FindTopWindow(L" Pelmora - Tasks Below " + Root())) != nullptr; }));
    others_.push_back(below);
    HWND list = GetDlgItem(below, kBelowListId);
    EXPECT_TRUE(WaitUntil([&] { return ListCount(list) == 2; }));
    EXPECT_EQ(L"Renew certificate, open, Website", ListText(list, 1));
    // Its size is kept as the other windows' are, in 96-DPI pixels.
    const SIZE size = OuterSize(below);
    PostMessageW(below, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(below); }));
    EXPECT_EQ(Unpx(size.cx), SettingsValue(L"wnd_below_width"));
    EXPECT_EQ(Unpx(size.cy), SettingsValue(L"wnd_below_height"));
    EXPECT_TRUE(CloseMain());
}

}  // namespace
