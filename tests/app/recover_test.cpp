// "Recover Tasks...", as a user reaches for it after renaming or moving an item in Explorer: the
// empty list's hint, the dialog, recovering from this folder and from the folder the item came
// from, faults in the middle, and the second question of "Clear Unreferenced Data...".
#include <algorithm>
#include <cstdio>

#include <oleacc.h>
#include <sqlite3.h>

#include "store/sqlite/task_table.h"
#include "tests/app/recover_fixture.h"
#include "tests/store/item_store.h"
#include "text/text_encoding.h"

namespace {

const wchar_t kClearQuestion[] =
    L"This will remove unreferenced records from the database. Are you sure you want to continue?";
const wchar_t kCleared[] = L"Unreferenced data successfully removed! Application will close now.";

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::vector<int> PrioritiesOf(const std::vector<StoredTask>& tasks) {
    std::vector<int> priorities;
    for (const StoredTask& task : tasks) priorities.push_back(task.priority);
    return priorities;
}

std::vector<std::string> TitlesIn(const std::wstring& dbPath, const std::wstring& item) {
    TestStore store;
    if (!OpenTaskStore(store, WideToUtf8(dbPath))) return {"<cannot open>"};
    store.table = TableOf(item);
    std::vector<std::string> titles;
    for (const TaskRecord& record : LoadTasks(store).value_or(std::vector<TaskRecord>{}))
        titles.push_back(Base64Decode(record.title));
    return titles;
}

bool HasTable(const std::wstring& dbPath, const std::wstring& item) {
    TestStore store;
    if (!OpenTaskStore(store, WideToUtf8(dbPath))) return false;
    return Contains(ListTables(store).value_or(std::vector<std::string>{}), TableOf(item));
}

int StatusIn(const std::wstring& iniPath, const std::wstring& item) {
    return static_cast<int>(GetPrivateProfileIntW(L"pelmora", Utf8ToWideText(KeyOf(item)).c_str(),
                                                  -1, iniPath.c_str()));
}

// Pixels of the window's area on screen that are darker than the list's light background: text.
int DarkPixels(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const int width = rect.right;
    const int height = rect.bottom;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    int dark = 0;
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int i = 0; bits != nullptr && i < width * height; ++i) {
        const DWORD pixel = pixels[i];
        const int brightness =
            static_cast<int>((pixel & 0xff) + ((pixel >> 8) & 0xff) + ((pixel >> 16) & 0xff));
        if (brightness < 3 * 200) ++dark;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return dark;
}

struct ComApartment {
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

std::wstring AccessibleName(IAccessible* server, LONG id) {
    VARIANT child;
    child.vt = VT_I4;
    child.lVal = id;
    BSTR name = nullptr;
    if (FAILED(server->get_accName(child, &name)) || name == nullptr) return L"<none>";
    std::wstring text(name, SysStringLen(name));
    SysFreeString(name);
    return text;
}

}  // namespace

TEST_F(RecoverTasksTest, ARenamedFolderIsRecoveredIntoItsEmptyList) {
    // "Website" was renamed "Website 2025" in Explorer; "garden" was "Garden" (only the case
    // changed, which makes another key); "Taxes" is still there.
    MakeFolder(L"Website 2025");
    MakeFolder(L"garden");
    MakeFolder(L"Taxes");
    Seed(L"Website", {{"Write the announcement", true, "2024-05-02"},
                      {"Review pull requests", false, "2024-05-09"},
                      {"Order cards"}});
    Seed(L"Garden", {{"Cut the roses"}});
    Seed(L"Taxes", {{"File the return"}});
    WriteFileBytes(StatusPath(), "[pelmora]\r\n" + KeyOf(L"Website") + "=1\r\n");

    ASSERT_TRUE(Launch(L"Website 2025"));
    EXPECT_TRUE(Shown().empty());
    ASSERT_TRUE(OpenDialog());
    const auto offered = Offered();
    ASSERT_EQ(offered.size(), 2u) << "only the lists whose item is gone are offered";
    const auto website = std::find_if(offered.begin(), offered.end(), [](const std::wstring& text) {
        return text.find(L"Write the announcement") != std::wstring::npos;
    });
    ASSERT_NE(website, offered.end());
    EXPECT_EQ(*website, Ui(TextId::kRecoverCountsLatest,
                           {Ui(TextId::kRecoverCountsMany, {L"3", L"1"}), L"2024-05-09"}) +
                            L": Write the announcement; Review pull requests; Order cards");
    EXPECT_NE(offered[0].find(L"Cut the roses") + offered[1].find(L"Cut the roses"),
              2 * std::wstring::npos);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog_, IDOK))) << "Recover before a choice";

    // A screen reader hears the dialog's own words for the list and each entry's one line, and
    // can choose an entry.
    const LONG websiteId = static_cast<LONG>(website - offered.begin()) + 1;
    {
        const ComApartment apartment;
        IAccessible* server = nullptr;
        ASSERT_TRUE(SUCCEEDED(
            AccessibleObjectFromWindow(recoverList_, static_cast<DWORD>(OBJID_CLIENT),
                                       __uuidof(IAccessible), reinterpret_cast<void**>(&server))));
        EXPECT_EQ(Intro(), AccessibleName(server, CHILDID_SELF));
        EXPECT_EQ(*website, AccessibleName(server, websiteId));
        VARIANT child;
        child.vt = VT_I4;
        child.lVal = websiteId;
        EXPECT_EQ(S_OK, server->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, child));
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog_, IDOK)) != 0; }));
        server->Release();
    }

    Recover(static_cast<int>(website - offered.begin()));
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionSuccess),
                          Ui(TextId::kRecoveredMany, {L"3", L"Website 2025"})));
    ASSERT_TRUE(WaitDialogGone());
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list_) == 3; }));
    EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"Write the announcement",
                                                  L"Review pull requests", L"Order cards"}));

    const auto stored = Stored(L"Website 2025");
    EXPECT_EQ(PrioritiesOf(stored), (std::vector<int>{0, 1, 2}));
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_TRUE(stored[0].done);
    EXPECT_EQ(stored[0].doneDate, "2024-05-02");
    EXPECT_FALSE(Contains(Tables(), TableOf(L"Website")));
    EXPECT_TRUE(Contains(Tables(), TableOf(L"Garden"))) << "a list not chosen was touched";
    EXPECT_EQ(StatusEntry(L"Website 2025"), 1);
    EXPECT_EQ(StatusEntry(L"Website"), 0);
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(StatusEntry(L"Website 2025"), 1);
}

TEST_F(RecoverTasksTest, RecoveredTasksFollowTheItemsOwnAndCollidingTitlesAreKept) {
    MakeFolder(L"Shop");
    Seed(L"Shop", {{"Buy milk"}, {"Call Ann", true}});
    Seed(L"Shopping", {{"Buy milk", true, "2023-01-01"}, {"Pay rent"}});

    ASSERT_TRUE(Launch(L"Shop"));
    ASSERT_TRUE(OpenDialog());
    ASSERT_EQ(Offered().size(), 1u);
    Recover(0);
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionSuccess),
                          Ui(TextId::kRecoveredMany, {L"2", L"Shop"}) + L"\n\n" +
                              Ui(TextId::kRenamedOne, {L"1"}) + L"\n    Buy milk (recovered)"));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list_) == 4; }));
    EXPECT_EQ(Shown(), (std::vector<std::wstring>{L"Buy milk", L"Call Ann", L"Buy milk (recovered)",
                                                  L"Pay rent"}));
    const auto stored = Stored(L"Shop");
    EXPECT_EQ(PrioritiesOf(stored), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(stored.at(2).done);
    EXPECT_EQ(stored.at(2).doneDate, "2023-01-01");
    EXPECT_EQ(StatusEntry(L"Shop"), 2);

    // The recovered entries are ordinary tasks: a move is stored.
    ASSERT_TRUE(SelectEntry(3));
    PressInMain(VK_UP, {VK_SHIFT});
    ASSERT_TRUE(WaitUntil([&] { return ListSelection(list_) == 2; }));
    EXPECT_EQ(StoredTitles(L"Shop"), (std::vector<std::string>{"Buy milk", "Call Ann", "Pay rent",
                                                               "Buy milk (recovered)"}));
    ASSERT_TRUE(CloseMain());
}

TEST_F(RecoverTasksTest, NothingToRecoverSaysWhereElseToLook) {
    MakeFolder(L"Proj");
    Seed(L"Proj", {{"mine"}});
    Seed(L"Empty and gone", {});
    ASSERT_TRUE(Launch(L"Proj"));
    ASSERT_TRUE(OpenDialog(/*byKey=*/true)) << "Ctrl + R did not open the dialog";
    EXPECT_TRUE(Offered().empty()) << "an empty list has nothing to recover";
    // It points at "Other Folder...".
    EXPECT_EQ(Ui(TextId::kRecoverIntroOwnNone, {L"Proj"}), Intro());
    BringToFront(dialog_);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitDialogGone());
    EXPECT_EQ(StoredTitles(L"Proj"), (std::vector<std::string>{"mine"}));
    ASSERT_TRUE(CloseMain());
}

class RecoverFromOtherFolderTest : public RecoverTasksTest {
protected:
    void SetUp() override {
        RecoverTasksTest::SetUp();
        if (IsSkipped()) return;
        // "Boxes" was moved from the folder "Old" (beside Parent) into Parent; "Stays" is still
        // in "Old".
        old_ = Parent().substr(0, Parent().rfind(L'\\', Parent().size() - 2) + 1) + L"Old\\";
        ASSERT_TRUE(CreateDirectoryW(old_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((old_ + L"Stays").c_str(), nullptr));
        MakeFolder(L"Boxes");
        SeedDatabase(OldDb(), L"Boxes", {{"pack"}, {"label", true}, {"ship"}});
        SeedDatabase(OldDb(), L"Stays", {{"water the plants"}});
        WriteFileBytes(old_ + L"pelmora.ini",
                       "[pelmora]\r\n" + KeyOf(L"Boxes") + "=1\r\n" + KeyOf(L"Stays") + "=1\r\n");
        Seed(L"Boxes", {{"unpack"}});
    }

    std::wstring OldDb() const { return old_ + L"pelmora.db"; }

    std::wstring old_;
};

TEST_F(RecoverFromOtherFolderTest, TheMovedItemsListComesAlongAndLeavesTheOldFolder) {
    ASSERT_TRUE(Launch(L"Boxes"));
    ASSERT_TRUE(OpenDialog());
    EXPECT_TRUE(Offered().empty());
    ASSERT_TRUE(PickOtherFolder(old_.substr(0, old_.size() - 1)));
    ASSERT_TRUE(WaitUntil([&] { return Offered().size() == 1; }))
        << "the other folder's lists were not offered; intro: " << WideToUtf8(Intro()) << "; box: "
        << (app_.CurrentMessageBox() ? WideToUtf8(app_.CurrentMessageBox()->text) : "none");
    EXPECT_NE(Offered()[0].find(L"pack; label; ship"), std::wstring::npos);
    EXPECT_NE(Intro().find(L"Old"), std::wstring::npos);

    Recover(0);
    EXPECT_TRUE(
        ExpectBox(Ui(TextId::kCaptionSuccess), Ui(TextId::kRecoveredMany, {L"3", L"Boxes"})));
    ASSERT_TRUE(WaitDialogGone());
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list_) == 4; }));
    EXPECT_EQ(StoredTitles(L"Boxes"),
              (std::vector<std::string>{"unpack", "pack", "label", "ship"}));
    EXPECT_EQ(PrioritiesOf(Stored(L"Boxes")), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(HasTable(OldDb(), L"Boxes"));
    EXPECT_EQ(TitlesIn(OldDb(), L"Stays"), (std::vector<std::string>{"water the plants"}));
    EXPECT_EQ(StatusEntry(L"Boxes"), 1);
    EXPECT_EQ(StatusIn(old_ + L"pelmora.ini", L"Boxes"), 0);
    EXPECT_EQ(StatusIn(old_ + L"pelmora.ini", L"Stays"), 1);
    ASSERT_TRUE(CloseMain());
}

TEST_F(RecoverFromOtherFolderTest, ARemovalThatFailsLeavesEveryTaskInAtLeastOneFile) {
    ASSERT_TRUE(Launch(L"Boxes"));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(PickOtherFolder(old_));
    ASSERT_TRUE(WaitUntil([&] { return Offered().size() == 1; }));
    // Another program reads the old folder's database just when its list is to be removed.
    TestStore reader;
    ASSERT_TRUE(OpenTaskStore(reader, WideToUtf8(OldDb())));
    ASSERT_TRUE(sqlite3_exec(reader.Handle(), "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr,
                             nullptr, nullptr) == SQLITE_OK);
    Recover(0);
    const auto box = app_.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, Ui(TextId::kCaptionWarning));
    EXPECT_NE(box->text.find(Ui(TextId::kRecoveredNotRemovedMany,
                                {L"3", L"Boxes", old_.substr(0, old_.size() - 1)})),
              std::wstring::npos)
        << WideToUtf8(box->text);
    AnswerMessageBox(*box, IDOK);
    sqlite3_exec(reader.Handle(), "COMMIT;", nullptr, nullptr, nullptr);
    reader.Close();

    ASSERT_TRUE(WaitDialogGone());
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list_) == 4; }));
    EXPECT_EQ(StoredTitles(L"Boxes"),
              (std::vector<std::string>{"unpack", "pack", "label", "ship"}));
    EXPECT_EQ(TitlesIn(OldDb(), L"Boxes"), (std::vector<std::string>{"pack", "label", "ship"}));
    EXPECT_EQ(StatusIn(old_ + L"pelmora.ini", L"Boxes"), 1) << "the old entry still has tasks";
    ASSERT_TRUE(CloseMain());
}

TEST_F(RecoverFromOtherFolderTest, ALockedOtherDatabaseChangesNothing) {
    ASSERT_TRUE(Launch(L"Boxes"));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(PickOtherFolder(old_));
    ASSERT_TRUE(WaitUntil([&] { return Offered().size() == 1; }));
    TestStore writer;
    ASSERT_TRUE(OpenTaskStore(writer, WideToUtf8(OldDb())));
    ASSERT_TRUE(sqlite3_exec(writer.Handle(), "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr) ==
                SQLITE_OK);
    Recover(0);
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionError),
                          Ui(TextId::kRecoverSourceBusy, {old_.substr(0, old_.size() - 1)})));
    sqlite3_exec(writer.Handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
    writer.Close();
    EXPECT_TRUE(IsWindow(dialog_)) << "the dialog stays for another try";
    EXPECT_EQ(StoredTitles(L"Boxes"), (std::vector<std::string>{"unpack"}));
    EXPECT_EQ(TitlesIn(OldDb(), L"Boxes"), (std::vector<std::string>{"pack", "label", "ship"}));
    // Once the other program is done, the same choice works.
    ClickAt(CentreOf(GetDlgItem(dialog_, IDOK)));
    EXPECT_TRUE(
        ExpectBox(Ui(TextId::kCaptionSuccess), Ui(TextId::kRecoveredMany, {L"3", L"Boxes"})));
    ASSERT_TRUE(WaitDialogGone());
    ASSERT_TRUE(CloseMain());
}

TEST_F(RecoverFromOtherFolderTest, AReadOnlyOtherDatabaseChangesNothing) {
    ASSERT_TRUE(SetFileAttributesW(OldDb().c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(Launch(L"Boxes"));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(PickOtherFolder(old_));
    ASSERT_TRUE(WaitUntil([&] { return Offered().size() == 1; })) << "a read-only list is shown";
    Recover(0);
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionError),
                          Ui(TextId::kRecoverSourceReadOnly, {old_.substr(0, old_.size() - 1)})));
    SetFileAttributesW(OldDb().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(StoredTitles(L"Boxes"), (std::vector<std::string>{"unpack"}));
    EXPECT_EQ(TitlesIn(OldDb(), L"Boxes"), (std::vector<std::string>{"pack", "label", "ship"}));
    BringToFront(dialog_);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitDialogGone());
    ASSERT_TRUE(CloseMain());
}

TEST_F(RecoverFromOtherFolderTest, ADamagedOrMissingOtherDatabaseIsReportedAndLeftAlone) {
    const std::string damaged(8192, 'G');
    WriteFileBytes(OldDb(), damaged);
    const std::wstring empty = old_ + L"Empty";
    ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));

    ASSERT_TRUE(Launch(L"Boxes"));
    ASSERT_TRUE(OpenDialog());
    ASSERT_TRUE(PickOtherFolder(old_));
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionError), Ui(TextId::kRecoverUnreadable)));
    EXPECT_TRUE(Offered().empty());
    EXPECT_EQ(ReadFileBytes(OldDb()), damaged);

    ASSERT_TRUE(PickOtherFolder(empty));
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionError), Ui(TextId::kRecoverNoDatabase)));
    EXPECT_FALSE(FileExists(empty + L"\\pelmora.db")) << "looking must not create a database";
    EXPECT_EQ(StoredTitles(L"Boxes"), (std::vector<std::string>{"unpack"}));
    BringToFront(dialog_);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitDialogGone());
    ASSERT_TRUE(CloseMain());
}

class EmptyListHintTest : public RecoverTasksTest {};

TEST_F(EmptyListHintTest, AnEmptyListSaysHowToGoOnAndMentionsRecoveryOnlyWhenItCanHelp) {
    MakeFolder(L"Fresh");
    ASSERT_TRUE(Launch(L"Fresh"));
    ASSERT_TRUE(WaitUntil([&] { return DarkPixels(list_) > 0; })) << "the empty list shows nothing";
    Sleep(300);
    const int plain = DarkPixels(list_);
    ASSERT_TRUE(CloseMain());

    Seed(L"Renamed away", {{"lost task"}});
    ASSERT_TRUE(Launch(L"Fresh"));
    ASSERT_TRUE(WaitUntil([&] { return DarkPixels(list_) > plain; }))
        << "the hint does not mention recovery while a lost list is there";
    ASSERT_TRUE(OpenDialog());
    Recover(0);
    EXPECT_TRUE(
        ExpectBox(Ui(TextId::kCaptionSuccess), Ui(TextId::kRecoveredOne, {L"1", L"Fresh"})));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list_) == 1; }));
    ASSERT_TRUE(CloseMain());
}

class ClearOpenTasksTest : public RecoverTasksTest {
protected:
    void SetUp() override {
        RecoverTasksTest::SetUp();
        if (IsSkipped()) return;
        MakeFolder(L"Kept");
        Seed(L"Kept", {{"stays"}});
        Seed(L"Renamed A", {{"open 1"}, {"open 2"}, {"done", true}});
        Seed(L"Renamed B", {{"open 3"}});
        Seed(L"All done", {{"finished", true}});
    }

    const std::wstring kSecondQuestion =
        L"Clearing would destroy 3 task lists that belong to no item in this folder, with 3 tasks "
        L"that are not done.\n\nIf they belong to an item that was renamed or moved, answer No, "
        L"open that item's tasks and choose \"Recover Tasks...\" in the File menu.\n\nDestroy "
        L"them anyway?";
};

TEST_F(ClearOpenTasksTest, NoToTheSecondQuestionDropsNothing) {
    ASSERT_TRUE(Launch(L"Kept"));
    const auto before = Tables();
    EXPECT_TRUE(CommandAndAnswer(kCmdClearUnreferenced,
                                 {{Ui(TextId::kCaptionConfirm), kClearQuestion, IDYES}}));
    const auto box = app_.WaitMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, Ui(TextId::kCaptionConfirm));
    EXPECT_EQ(box->text, kSecondQuestion);
    // No is the default: Enter answers it.
    BringToFront(box->window);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box->window); }));
    EXPECT_TRUE(ExpectNothingShown());
    EXPECT_TRUE(app_.Running());
    EXPECT_EQ(before, Tables());
    ASSERT_TRUE(CloseMain());
}

TEST_F(ClearOpenTasksTest, YesToTheSecondQuestionDropsAndCloses) {
    ASSERT_TRUE(Launch(L"Kept"));
    EXPECT_TRUE(CommandAndAnswer(kCmdClearUnreferenced,
                                 {{Ui(TextId::kCaptionConfirm), kClearQuestion, IDYES},
                                  {Ui(TextId::kCaptionConfirm), kSecondQuestion, IDYES},
                                  {Ui(TextId::kCaptionSuccess), kCleared}}));
    ASSERT_TRUE(app_.WaitExit().has_value());
    EXPECT_EQ(Tables(), (std::vector<std::string>{TableOf(L"Kept")}));
}

TEST_F(ClearOpenTasksTest, DoneTasksAloneAreNotAskedAboutAgain) {
    Seed(L"Renamed A", {});
    ASSERT_TRUE(Launch(L"Kept"));
    ASSERT_TRUE(CloseMain());
    // Only finished work is left in lists whose item is gone.
    TestStore store;
    ASSERT_TRUE(OpenTaskStore(store, WideToUtf8(DbPath())));
    ASSERT_TRUE(Succeeded(DropTable(store, TableOf(L"Renamed A"))));
    ASSERT_TRUE(Succeeded(DropTable(store, TableOf(L"Renamed B"))));
    store.Close();

    ASSERT_TRUE(Launch(L"Kept"));
    EXPECT_TRUE(CommandAndAnswer(kCmdClearUnreferenced,
                                 {{Ui(TextId::kCaptionConfirm), kClearQuestion, IDYES},
                                  {Ui(TextId::kCaptionSuccess), kCleared}}));
    ASSERT_TRUE(app_.WaitExit().has_value());
    EXPECT_EQ(Tables(), (std::vector<std::string>{TableOf(L"Kept")}));
}
