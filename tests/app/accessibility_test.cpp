// The program without sight and without a mouse: what a screen reader gets from the task list
// through Active Accessibility (names, roles, states, places, events), and every command reached
// by keys alone with the focus where the keyboard expects it.
#include <oleacc.h>
#include <sqlite3.h>

#include <algorithm>

#include "store/sqlite/task_table.h"
#include "tests/app/app_fixture.h"
#include "tests/app/ui_texts.h"
#include "tests/store/item_store.h"

namespace {

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComPtr = std::unique_ptr<T, ComRelease>;

VARIANT Child(LONG id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

std::wstring NameOf(IAccessible* server, LONG id) {
    BSTR name = nullptr;
    if (FAILED(server->get_accName(Child(id), &name)) || name == nullptr) return L"<none>";
    std::wstring text(name, SysStringLen(name));
    SysFreeString(name);
    return text;
}

LONG IntOf(HRESULT hr, const VARIANT& value) {
    return SUCCEEDED(hr) && value.vt == VT_I4 ? value.lVal : -1;
}

LONG RoleOf(IAccessible* server, LONG id) {
    VARIANT role;
    return IntOf(server->get_accRole(Child(id), &role), role);
}

LONG StateOf(IAccessible* server, LONG id) {
    VARIANT state;
    return IntOf(server->get_accState(Child(id), &state), state);
}

LONG FocusOf(IAccessible* server) {
    VARIANT focus;
    return IntOf(server->get_accFocus(&focus), focus);
}

// The window that has the keyboard focus in the thread that owns `window`.
HWND FocusIn(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

// Name changes the program announced, as (window, object, child).
struct Announcement {
    HWND window;
    LONG object;
    LONG child;
};
std::vector<Announcement> gAnnounced;

void CALLBACK
RecordEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    gAnnounced.push_back({window, object, child});
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

bool IsPopupMenu(HWND window) {
    return ClassOf(window) == L"#32768";
}

// Runs `sql` on the file as another program would, on the item's table (named "{t}" in `sql`).
void OtherWriter(const std::wstring& db, const std::wstring& folder, std::string sql) {
    for (size_t at = sql.find("{t}"); at != std::string::npos; at = sql.find("{t}", at)) {
        sql.replace(at, 3, TableOf(folder));
    }
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(WideToUtf8(db).c_str(), &raw));
    const UniqueSqlite connection(raw);
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr)) << sql;
}

}  // namespace

class AccessibilityTest : public PelmoraUiTest {
protected:
    void SetUp() override {
        PelmoraUiTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        comReady_ = true;
    }
    void TearDown() override {
        server_.reset();
        if (hook_ != nullptr) UnhookWinEvent(hook_);
        if (comReady_) CoUninitialize();
        PelmoraUiTest::TearDown();
    }

    // The task list's server, as a screen reader gets it.
    IAccessible* Server() {
        IAccessible* raw = nullptr;
        if (FAILED(AccessibleObjectFromWindow(list_, static_cast<DWORD>(OBJID_CLIENT),
                                              __uuidof(IAccessible),
                                              reinterpret_cast<void**>(&raw)))) {
            return nullptr;
        }
        server_.reset(raw);
        return raw;
    }

    void ListenForNameChanges() {
        gAnnounced.clear();
        hook_ = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
                                &RecordEvent, app_.Id(), 0, WINEVENT_OUTOFCONTEXT);
        ASSERT_NE(nullptr, hook_);
    }

    bool Announced(LONG child) {
        return WaitUntil([&] {
            PumpMessages();
            for (const Announcement& seen : gAnnounced) {
                if (seen.window == list_ && seen.object == OBJID_CLIENT && seen.child == child) {
                    return true;
                }
            }
            return false;
        });
    }

    // The list has the keyboard focus, with `index` selected and as the focused child.
    ::testing::AssertionResult FocusedOn(int index) {
        if (!WaitUntil([&] { return FocusIn(main_) == list_ && ListSelection(list_) == index; })) {
            return ::testing::AssertionFailure() << "selection " << ListSelection(list_)
                                                 << ", focus in list " << (FocusIn(main_) == list_);
        }
        if (FocusOf(server_.get()) != index + 1) {
            return ::testing::AssertionFailure() << "focused child " << FocusOf(server_.get());
        }
        return ::testing::AssertionSuccess();
    }

    // Whether the top band of entry `index`, just inside its outline, shows the dotted focus
    // rectangle: a uniform band is the entry's fill alone.
    bool DottedFocusOn(int index) {
        const int height = static_cast<int>(SendTo(list_, LB_GETITEMHEIGHT, 0));
        const int top = static_cast<int>(SendTo(list_, LB_GETTOPINDEX));
        RECT client{};
        GetClientRect(list_, &client);
        POINT corner{Px(20), (index - top) * height + Px(1)};
        ClientToScreen(list_, &corner);
        const RECT band{corner.x, corner.y, corner.x + client.right / 2, corner.y + Px(4)};
        const std::vector<COLORREF> pixels = CaptureScreen(band);
        return std::any_of(pixels.begin(), pixels.end(),
                           [&](COLORREF pixel) { return pixel != pixels.back(); });
    }

    // F10, and the wait until the menu bar has taken the keyboard: keys pressed sooner would
    // go to the list.
    bool EnterMenuBar() {
        PressInMain(VK_F10);
        return WaitUntil([&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof(info);
            return GetGUIThreadInfo(GetWindowThreadProcessId(main_, nullptr), &info) &&
                   (info.flags & GUI_INMENUMODE) != 0;
        });
    }

    bool OpenContextMenuWith(WORD key, std::initializer_list<WORD> modifiers = {}) {
        PressInMain(key, modifiers);
        return app_.WaitWindow(IsPopupMenu) != nullptr;
    }

    ComPtr<IAccessible> server_;
    HWINEVENTHOOK hook_ = nullptr;
    bool comReady_ = false;
};

TEST_F(AccessibilityTest, EveryEntrySaysItsStateAndTitleAndWhereItIs) {
    const std::string longTitle(32767, 'x');
    std::vector<SeedTask> tasks = {{"Buy milk"},
                                   {"Pay rent", true, "2024-05-02"},
                                   {"line one\nline two"},
                                   {"\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d"},
                                   {longTitle}};
    // Enough entries below to scroll the list.
    for (const char* more : {"m1", "m2", "m3", "m4", "m5", "m6", "m7", "m8", "m9", "m10"}) {
        tasks.push_back({more});
    }
    Seed(L"Proj", tasks);
    ASSERT_TRUE(Launch(L"Proj"));
    IAccessible* server = Server();
    ASSERT_NE(nullptr, server);
    // Wine's own object for a list box has no window of this kind and no children.
    IOleWindow* window = nullptr;
    ASSERT_TRUE(
        SUCCEEDED(server->QueryInterface(__uuidof(IOleWindow), reinterpret_cast<void**>(&window))));
    HWND answered = nullptr;
    window->GetWindow(&answered);
    window->Release();
    EXPECT_EQ(list_, answered);

    LONG count = 0;
    ASSERT_TRUE(SUCCEEDED(server->get_accChildCount(&count)));
    EXPECT_EQ(ListCount(list_), count);
    EXPECT_EQ(Ui(TextId::kTaskListName), NameOf(server, CHILDID_SELF));
    EXPECT_EQ(ROLE_SYSTEM_LIST, RoleOf(server, CHILDID_SELF));
    EXPECT_EQ(Ui(TextId::kEntryOpen) + L": Buy milk", NameOf(server, 1));
    EXPECT_EQ(Ui(TextId::kEntryDone) + L" 2024-05-02: Pay rent", NameOf(server, 2));
    EXPECT_EQ(Ui(TextId::kEntryOpen) + L": line one line two", NameOf(server, 3));
    EXPECT_EQ(Ui(TextId::kEntryOpen) + L": \u05e9\u05dc\u05d5\u05dd", NameOf(server, 4));
    EXPECT_EQ(Ui(TextId::kEntryOpen) + L": " + std::wstring(32767, L'x'), NameOf(server, 5));
    // The list's own texts stay the titles.
    EXPECT_EQ(L"Pay rent", ListText(list_, 1));
    EXPECT_EQ(L"line one\nline two", ListText(list_, 2));
    EXPECT_EQ(ROLE_SYSTEM_LISTITEM, RoleOf(server, 2));

    ASSERT_TRUE(SelectEntry(1));
    const LONG kEntry = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    EXPECT_EQ(kEntry | STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED, StateOf(server, 2));
    EXPECT_EQ(kEntry, StateOf(server, 1)) << "done or open never rides on the states";
    EXPECT_EQ(2, FocusOf(server));
    VARIANT selection;
    EXPECT_EQ(2, IntOf(server->get_accSelection(&selection), selection));

    // Places: the entry's rectangle on the screen, and the entry found at its centre.
    const int height = static_cast<int>(SendTo(list_, LB_GETITEMHEIGHT, 0));
    RECT client{};
    GetClientRect(list_, &client);
    POINT origin{0, height};
    ClientToScreen(list_, &origin);
    LONG x = 0, y = 0, width = 0, tall = 0;
    ASSERT_TRUE(SUCCEEDED(server->accLocation(&x, &y, &width, &tall, Child(2))));
    EXPECT_EQ(origin.x, x);
    EXPECT_EQ(origin.y, y);
    EXPECT_EQ(client.right, width);
    EXPECT_EQ(height, tall);
    const POINT centre = ListEntryCentre(list_, 2);
    VARIANT hit;
    EXPECT_EQ(3, IntOf(server->accHitTest(centre.x, centre.y, &hit), hit));
    VARIANT next;
    EXPECT_EQ(3, IntOf(server->accNavigate(NAVDIR_NEXT, Child(2), &next), next));
    VARIANT last;
    EXPECT_EQ(count,
              IntOf(server->accNavigate(NAVDIR_LASTCHILD, Child(CHILDID_SELF), &last), last));
    // Past either end there is nothing: no id beyond the list, no list itself.
    for (const auto& [direction, from] :
         {std::pair{NAVDIR_NEXT, count}, std::pair{NAVDIR_DOWN, count},
          std::pair{NAVDIR_PREVIOUS, LONG{1}}, std::pair{NAVDIR_UP, LONG{1}}}) {
        VARIANT beyond;
        EXPECT_EQ(S_FALSE, server->accNavigate(direction, Child(from), &beyond)) << direction;
        EXPECT_EQ(VT_EMPTY, beyond.vt) << direction;
    }

    // Scrolled down by three: the entries above the top and below the bottom are offscreen, their
    // places outside the list's client area, and a point gets the entry drawn under it.
    SendTo(list_, LB_SETTOPINDEX, 3);
    ASSERT_TRUE(WaitUntil([&] { return SendTo(list_, LB_GETTOPINDEX) == 3; }));
    POINT clientTop{0, 0};
    POINT clientBottom{0, client.bottom};
    ClientToScreen(list_, &clientTop);
    ClientToScreen(list_, &clientBottom);
    for (const LONG id : {LONG{1}, LONG{3}, count}) {
        EXPECT_NE(0, StateOf(server, id) & STATE_SYSTEM_OFFSCREEN) << id;
        ASSERT_TRUE(SUCCEEDED(server->accLocation(&x, &y, &width, &tall, Child(id))));
        EXPECT_TRUE(y + tall <= clientTop.y || y >= clientBottom.y) << id << " at " << y;
    }
    for (const LONG id : {LONG{4}, LONG{5}}) {
        EXPECT_EQ(0, StateOf(server, id) & STATE_SYSTEM_OFFSCREEN) << id;
    }
    const POINT shown = ListEntryCentre(list_, 4);
    EXPECT_EQ(5, IntOf(server->accHitTest(shown.x, shown.y, &hit), hit));
    SendTo(list_, LB_SETTOPINDEX, 0);

    // What an event handler reaches from the list's window and a child id.
    IAccessible* fromEvent = nullptr;
    VARIANT eventChild;
    VariantInit(&eventChild);
    ASSERT_TRUE(SUCCEEDED(AccessibleObjectFromEvent(list_, static_cast<DWORD>(OBJID_CLIENT), 2,
                                                    &fromEvent, &eventChild)));
    ASSERT_NE(nullptr, fromEvent);
    BSTR eventName = nullptr;
    EXPECT_TRUE(SUCCEEDED(fromEvent->get_accName(eventChild, &eventName)));
    EXPECT_EQ(Ui(TextId::kEntryDone) + L" 2024-05-02: Pay rent",
              std::wstring(eventName ? eventName : L""));
    SysFreeString(eventName);
    fromEvent->Release();

    // Ids that name no entry.
    BSTR name = nullptr;
    EXPECT_EQ(E_INVALIDARG, server->get_accName(Child(-1), &name));
    EXPECT_EQ(E_INVALIDARG, server->get_accName(Child(count + 1), &name));
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = nullptr;
    EXPECT_EQ(E_INVALIDARG, server->get_accName(text, &name));
    IDispatch* child = nullptr;
    EXPECT_EQ(E_INVALIDARG, server->get_accChild(Child(CHILDID_SELF), &child));

    // A reader that still holds the list after the window closed gets an error, and the program
    // ends normally.
    ASSERT_TRUE(CloseMain());
    EXPECT_TRUE(FAILED(server->get_accChildCount(&count)));
    EXPECT_TRUE(FAILED(server->get_accName(Child(1), &name)));
}

TEST_F(AccessibilityTest, EveryCommandByKeysLeavesFocusAndNamesRight) {
    Seed(L"Proj", {{"one"}, {"two"}, {"three"}});
    ASSERT_TRUE(Launch(L"Proj"));
    // A done entry's name carries the date its task has in the file.
    const auto doneName = [&](const std::string& title) {
        for (const StoredTask& task : Stored(L"Proj")) {
            if (task.title == title)
                return Ui(TextId::kEntryDone) + L" " + Utf8ToWideText(task.doneDate + ": " + title);
        }
        return std::wstring(L"<no task ") + Utf8ToWideText(title) + L">";
    };
    ASSERT_NE(nullptr, Server());
    ListenForNameChanges();
    BringToFront(main_);
    EXPECT_FALSE(DottedFocusOn(0)) << "a focus rectangle before any key was pressed";
    // With nothing selected the menu key still opens the menu, at the top of the list.
    ASSERT_TRUE(OpenContextMenuWith(VK_APPS));
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !app_.WaitWindow(IsPopupMenu, 200); }));
    EXPECT_EQ(-1, ListSelection(list_));
    ASSERT_TRUE(SelectEntry(0));

    // The right-click menu from the keyboard, on the selected entry: Shift+F10, then Down and
    // Enter on "Mark As Done".
    ASSERT_TRUE(OpenContextMenuWith(VK_F10, {VK_SHIFT}));
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    ASSERT_TRUE(Announced(1)) << "no name change for the marked entry";
    EXPECT_EQ(doneName("one"), NameOf(server_.get(), 1));
    EXPECT_EQ(L"one", ListText(list_, 0));
    ASSERT_TRUE(OpenContextMenuWith(VK_APPS));
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !app_.WaitWindow(IsPopupMenu, 200); }));
    EXPECT_TRUE(FocusedOn(0));
    EXPECT_TRUE(WaitUntil([&] { return DottedFocusOn(0); })) << "no focus rectangle after keys";

    // Moving keeps the moved entry selected; the children follow the list.
    PressInMain(VK_DOWN, {VK_SHIFT});
    ASSERT_TRUE(WaitUntil([&] { return ListText(list_, 1) == L"one"; }));
    EXPECT_TRUE(FocusedOn(1));
    EXPECT_EQ(Ui(TextId::kEntryOpen) + L": two", NameOf(server_.get(), 1));
    EXPECT_EQ(doneName("one"), NameOf(server_.get(), 2));

    // Removing: the next entry takes the place, selected and focused.
    PressInMain(VK_DELETE);
    ASSERT_TRUE(ExpectBox(Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveTask), IDYES));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list_) == 2; }));
    LONG count = 0;
    server_->get_accChildCount(&count);
    EXPECT_EQ(2, count);
    EXPECT_EQ(Ui(TextId::kEntryOpen) + L": three", NameOf(server_.get(), 2));
    EXPECT_TRUE(FocusedOn(1));

    // Editing by Enter: the fields are named, the name changes, the focus comes back.
    PressInMain(VK_RETURN);
    ASSERT_TRUE(WaitEditor());
    for (const auto& [id, label] :
         {std::pair{kTitleFieldId, Ui(TextId::kTitleLabel)},
          std::pair{kDescriptionFieldId, Ui(TextId::kDescriptionLabel)}}) {
        const HWND before = GetWindow(GetDlgItem(editor_, id), GW_HWNDPREV);
        EXPECT_EQ(L"Static", ClassOf(before));
        EXPECT_EQ(label, WindowText(before));
    }
    SetField(kTitleFieldId, L"three!");
    ClickSave();
    ASSERT_TRUE(WaitEditorGone());
    ASSERT_TRUE(Announced(2)) << "no name change for the edited entry";
    EXPECT_EQ(Ui(TextId::kEntryOpen) + L": three!", NameOf(server_.get(), 2));
    EXPECT_TRUE(FocusedOn(1));

    // Adding by Insert: the new entry is selected and focused.
    ASSERT_TRUE(AddTask(L"four"));
    EXPECT_TRUE(FocusedOn(2));
    EXPECT_EQ(Ui(TextId::kEntryOpen) + L": four", NameOf(server_.get(), 3));

    // Removing the last entry moves to the one above.
    PressInMain(VK_DELETE);
    ASSERT_TRUE(ExpectBox(Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveTask), IDYES));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list_) == 2; }));
    EXPECT_TRUE(FocusedOn(1));

    // The menu bar by keys: F10, over to "Edit", down to "Remove All Tasks...".
    ASSERT_TRUE(EnterMenuBar());
    PressKey(VK_RIGHT);
    PressKey(VK_DOWN);
    PressKey(VK_DOWN);
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    ASSERT_TRUE(ExpectBox(Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveAll), IDNO));
    EXPECT_EQ(2, ListCount(list_));
    EXPECT_TRUE(FocusedOn(1)) << "after the question";

    // Menu letters, though the menu texts mark none: E opens "Edit" (as Alt + E does), M is
    // "Mark As Done". A language whose words start otherwise goes there by the arrow keys.
    gAnnounced.clear();
    ASSERT_TRUE(EnterMenuBar());
    if (Ui(TextId::kMenuEdit)[0] == L'E' && Ui(TextId::kMarkAsDone)[0] == L'M') {
        PressKey('E');
        ASSERT_TRUE(app_.WaitWindow(IsPopupMenu));
        PressKey('M');
    } else {
        PressKey(VK_RIGHT);
        for (int i = 0; i < 4; ++i) PressKey(VK_DOWN);
        PressKey(VK_RETURN);
    }
    ASSERT_TRUE(Announced(2)) << "Alt + E, M did not mark the selected task";
    EXPECT_EQ(doneName("three!"), NameOf(server_.get(), 2));

    // Ctrl + R opens "Recover Tasks..."; a plain R is the list's own search by first letter.
    PressInMain('R');
    EXPECT_TRUE(ExpectNothingShown());
    PressInMain('R', {VK_CONTROL});
    const HWND recover = app_.WaitWindow(
        [](HWND window) { return WindowText(window) == Ui(TextId::kRecoverCaption); });
    ASSERT_NE(nullptr, recover) << "Ctrl + R did not open Recover Tasks";
    BringToFront(recover);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(recover); }));
}

// A screen reader (or another program) acting on the list while the editor or a question is open
// over it: the list refuses, no command starts inside the open window, and what the user typed
// or confirmed is what happens, also when another program changed the rows meanwhile.
TEST_F(AccessibilityTest, NothingActsOnTheListUnderAnEditorOrAQuestion) {
    Seed(L"Proj", {{"one"}, {"two"}, {"three"}});
    ASSERT_TRUE(Launch(L"Proj"));
    IAccessible* server = Server();
    ASSERT_NE(nullptr, server);

    const auto expectRefused = [&](const char* under, HWND modal, int selected) {
        SCOPED_TRACE(under);
        EXPECT_TRUE(FAILED(server->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, Child(3))));
        EXPECT_TRUE(FAILED(server->accDoDefaultAction(Child(2))));
        for (const LONG id : {LONG{CHILDID_SELF}, LONG{selected + 1}, LONG{3}}) {
            const LONG state = StateOf(server, id);
            EXPECT_NE(0, state & STATE_SYSTEM_UNAVAILABLE) << id;
            EXPECT_EQ(0, state & STATE_SYSTEM_FOCUSED) << id << ": the keyboard is elsewhere";
        }
        VARIANT focus;
        EXPECT_EQ(S_FALSE, server->get_accFocus(&focus));
        // A double click and commands that reach the window by other roads (another program, or
        // queued before the window opened) start nothing either.
        PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kTaskListId, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(list_));
        Command(kCmdAddTask);
        Command(kCmdRemoveSelected);
        const HWND other =
            app_.WaitWindow([&](HWND window) { return window != main_ && window != modal; }, 800);
        EXPECT_EQ(nullptr, other) << "\"" << WideToUtf8(WindowText(other)) << "\" opened";
        EXPECT_EQ(selected, ListSelection(list_));
    };

    // Under the editor, adding and then editing: the typed texts are saved.
    ASSERT_TRUE(SelectEntry(0));
    PressInMain(VK_INSERT);
    ASSERT_TRUE(WaitEditor());
    SetField(kTitleFieldId, L"typed");
    expectRefused("adding", editor_, 0);
    ClickSave();
    ASSERT_TRUE(WaitEditorGone());
    ASSERT_TRUE(SelectEntry(0));
    PressInMain(VK_RETURN);
    ASSERT_TRUE(WaitEditor());
    SetField(kTitleFieldId, L"one!");
    expectRefused("editing", editor_, 0);
    ClickSave();
    ASSERT_TRUE(WaitEditorGone());
    EXPECT_EQ((std::vector<std::string>{"one!", "two", "three", "typed"}), StoredTitles(L"Proj"));

    // Under the question, while another program removes "three" and turns the order round:
    // "two", the task confirmed, goes and nothing else; the rest keep the other program's order.
    ASSERT_TRUE(SelectEntry(1));
    PressInMain(VK_DELETE);
    const auto question = app_.WaitMessageBox();
    ASSERT_TRUE(question.has_value());
    ASSERT_EQ(Ui(TextId::kConfirmRemoveTask), question->text);
    expectRefused("asking", question->window, 1);
    OtherWriter(DbPath(), L"Proj",
                "DELETE FROM {t} WHERE priority = 2; UPDATE {t} SET priority = 10 - priority;");
    ASSERT_TRUE(AnswerMessageBox(*question, IDYES));
    ASSERT_TRUE(WaitUntil([&] { return ListCount(list_) == 3; }));
    EXPECT_EQ((std::vector<std::string>{"typed", "one!"}), StoredTitles(L"Proj"));

    // The task confirmed is the one another program removed: the designed message, nothing else
    // removed, and the list shows what the file holds.
    ASSERT_TRUE(SelectEntry(0));
    PressInMain(VK_DELETE);
    ASSERT_TRUE(app_.WaitMessageBox().has_value());
    OtherWriter(DbPath(), L"Proj", "DELETE FROM {t} WHERE priority = 1;");
    ASSERT_TRUE(ExpectBox(Ui(TextId::kCaptionConfirm), Ui(TextId::kConfirmRemoveTask), IDYES));
    ASSERT_TRUE(ExpectBox(Ui(TextId::kCaptionError), Ui(TextId::kCannotRemoveRecord)));
    EXPECT_EQ((std::vector<std::string>{"typed"}), StoredTitles(L"Proj"));
    EXPECT_TRUE(WaitUntil([&] { return Shown() == std::vector<std::wstring>{L"typed"}; }));
}
