// Every window in English, in each language Pelmora speaks and in the long pseudo-language (every
// text about 40% longer and bracketed): each control shows its whole text inside its window
// without covering another, the commands work, the screen reader hears the language's words for
// open and done, and in the pseudo-language no text is an English literal the catalogue should
// have given. The controls are measured inside the program, in their own fonts.
#include <windows.h>

#include <oleacc.h>
#include <tlhelp32.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/app/app_fixture.h"
#include "text/texts.h"

namespace {

constexpr int kRecoverCmd = 40020;
constexpr int kAboutPictureId = 1005;
constexpr int kRecoverListId = 1102;

// One control as the probe measured it inside the program.
struct Control {
    std::string className;
    int id = 0;
    unsigned long style = 0;
    RECT rect{};
    SIZE line{};
    SIZE wrapped{};
    std::string text;
};

struct WindowSeen {
    std::string caption;
    SIZE client{};
    std::vector<Control> controls;
    std::vector<std::string> menu;
};

std::vector<WindowSeen> ParseReport(const std::string& report) {
    std::vector<WindowSeen> windows;
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
        if (f.size() < 2) continue;
        if (f[0] == "window" && f.size() >= 3) {
            windows.push_back(
                {f.size() > 3 ? f[3] : "", {std::stoi(f[1]), std::stoi(f[2])}, {}, {}});
        } else if (windows.empty()) {
            continue;
        } else if (f[0] == "menu") {
            windows.back().menu.push_back(f[1]);
        } else if (f[0] == "control" && f.size() >= 12) {
            Control c;
            c.className = f[1];
            c.id = std::stoi(f[2]);
            c.style = std::stoul(f[3]);
            c.rect = {std::stoi(f[4]), std::stoi(f[5]), std::stoi(f[6]), std::stoi(f[7])};
            c.line = {std::stoi(f[8]), std::stoi(f[9])};
            c.wrapped = {std::stoi(f[10]), std::stoi(f[11])};
            c.text = f.size() > 12 ? f[12] : "";
            windows.back().controls.push_back(c);
        }
    }
    return windows;
}

bool Named(const Control& c, const char* name) {
    return _stricmp(c.className.c_str(), name) == 0;
}

bool IsGroupBox(const Control& c) {
    return Named(c, "Button") && (c.style & BS_TYPEMASK) == BS_GROUPBOX;
}

bool IsCheckBox(const Control& c) {
    const unsigned long kind = c.style & BS_TYPEMASK;
    return Named(c, "Button") &&
           (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_3STATE ||
            kind == BS_AUTO3STATE || kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON);
}

// A label that shows a text (not a picture, a frame or a line).
bool IsTextLabel(const Control& c) {
    return Named(c, "Static") && (c.style & SS_TYPEMASK) <= SS_RIGHT;
}

bool ShowsText(const Control& c) {
    return !c.text.empty() && (Named(c, "Button") || IsTextLabel(c));
}

// The room a control's text has: a push button's frame and focus rectangle, a check box's box
// and the gap after it, a group box's corner, are not the text's.
int TextRoom(const Control& c) {
    const int width = c.rect.right - c.rect.left;
    if (IsCheckBox(c)) return width - Px(13) - Px(3);
    if (IsGroupBox(c)) return width - 2 * Px(5);
    if (Named(c, "Button")) return width - 2 * Px(3);
    return width;
}

bool Overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Where(const WindowSeen& window, const Control& c) {
    return "\"" + window.caption + "\", control " + std::to_string(c.id) + " \"" + c.text + "\"";
}

bool IsPseudoText(const std::string& text) {
    return text.find('[') != std::string::npos && text.find(']') != std::string::npos;
}

// The checks every window must pass in every language; `pseudo` adds the one for the
// bracketed pseudo-language. Returns how many texts it looked at.
int CheckWindow(const WindowSeen& window, bool pseudo) {
    int texts = 0;
    const RECT client{0, 0, window.client.cx, window.client.cy};
    if (pseudo) {
        EXPECT_TRUE(window.caption.empty() || IsPseudoText(window.caption))
            << "caption \"" << window.caption << "\"";
        for (const std::string& item : window.menu) {
            EXPECT_TRUE(IsPseudoText(item)) << "menu item \"" << item << "\"";
        }
    }
    for (size_t i = 0; i < window.controls.size(); ++i) {
        const Control& c = window.controls[i];
        // A label of no size names the field after it for a screen reader; nobody sees it.
        if (c.rect.right <= c.rect.left || c.rect.bottom <= c.rect.top) continue;
        EXPECT_TRUE(Inside(c.rect, client))
            << Where(window, c) << " reaches out of its window: " << c.rect.left << ","
            << c.rect.top << "-" << c.rect.right << "," << c.rect.bottom << " in " << client.right
            << "x" << client.bottom;
        for (size_t j = i + 1; j < window.controls.size(); ++j) {
            const Control& other = window.controls[j];
            if (IsGroupBox(c) || IsGroupBox(other) || other.rect.right <= other.rect.left) continue;
            EXPECT_FALSE(Overlap(c.rect, other.rect))
                << Where(window, c) << " covers " << Where(window, other);
        }
        if (!ShowsText(c)) continue;
        ++texts;
        if (pseudo) {
            EXPECT_TRUE(IsPseudoText(c.text)) << Where(window, c) << " is not translated";
        }
        const int height = c.rect.bottom - c.rect.top;
        if (IsTextLabel(c) && (c.style & SS_ELLIPSISMASK) == 0) {
            // A label wraps: its lines must fit its height, and no word may be wider than it.
            EXPECT_LE(c.wrapped.cx, TextRoom(c)) << Where(window, c) << ": a word is wider";
            EXPECT_LE(c.wrapped.cy, height) << Where(window, c) << ": lines " << c.wrapped.cy
                                            << " px high, the label " << height;
        } else {
            EXPECT_LE(c.line.cx, TextRoom(c))
                << Where(window, c) << ": text " << c.line.cx << " px wide, room " << TextRoom(c);
            EXPECT_LE(c.line.cy, height)
                << Where(window, c) << ": text " << c.line.cy << " px high, the control " << height;
        }
    }
    return texts;
}

std::wstring Utf16(const char16_t* text) {
    return std::wstring(text, text + std::char_traits<char16_t>::length(text));
}

size_t LanguageNumber(const char* tag) {
    for (size_t language = 0; language < LanguageCount(); ++language) {
        if (strcmp(LanguageTag(language), tag) == 0) return language;
    }
    return kEnglish;
}

bool ModuleLoaded(DWORD process, const wchar_t* name) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Module32FirstW(snapshot, &entry); more && !found;
         more = Module32NextW(snapshot, &entry)) {
        found = _wcsicmp(entry.szModule, name) == 0;
    }
    CloseHandle(snapshot);
    return found;
}

// What a screen reader hears for each entry of `list`.
std::vector<std::wstring> AccessibleNames(HWND list) {
    std::vector<std::wstring> names;
    IAccessible* server = nullptr;
    if (FAILED(AccessibleObjectFromWindow(list, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&server)))) {
        return names;
    }
    long count = 0;
    server->get_accChildCount(&count);
    for (long i = 1; i <= count; ++i) {
        VARIANT child{};
        child.vt = VT_I4;
        child.lVal = i;
        BSTR name = nullptr;
        names.emplace_back(SUCCEEDED(server->get_accName(child, &name)) && name != nullptr ? name
                                                                                           : L"");
        SysFreeString(name);
    }
    server->Release();
    return names;
}

}  // namespace

class LayoutTest : public PelmoraUiTest, public ::testing::WithParamInterface<const char*> {
protected:
    size_t Language() const { return LanguageNumber(GetParam()); }
    std::wstring In(TextId id) const { return Utf16(TextIn(Language(), id)); }
    std::wstring Switch() const {
        const std::string tag = GetParam();
        return L"/lang:" + std::wstring(tag.begin(), tag.end()) + L" ";
    }

    // The program's visible windows as the probe measured them from inside.
    std::vector<WindowSeen> Probe() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring report =
            std::wstring(temp) + L"pelmora-layout-" + std::to_wstring(app_.Id()) + L".txt";
        DeleteFileW(report.c_str());
        if (!LoadIntoProcess(app_.Id(), BuildOutputPath(PELMORA_LAYOUT_PROBE))) {
            ADD_FAILURE() << "the probe did not load";
            return {};
        }
        if (!WaitUntil([&] { return FileExists(report); })) {
            ADD_FAILURE() << "the probe wrote no report";
            return {};
        }
        // It unloads itself after writing; the next probe must load it afresh.
        EXPECT_TRUE(WaitUntil([&] { return !ModuleLoaded(app_.Id(), L"layout_probe.dll"); }));
        std::string text;
        const HANDLE file = CreateFileW(report.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char buffer[4096];
            DWORD read = 0;
            while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
                text.append(buffer, read);
            }
            CloseHandle(file);
        }
        DeleteFileW(report.c_str());
        return ParseReport(text);
    }

    // Checks the window among the probed ones that holds control `id`; returns its text count.
    int CheckWindowWith(int id) {
        for (const WindowSeen& window : Probe()) {
            for (const Control& c : window.controls) {
                if (c.id == id) return CheckWindow(window, Pseudo());
            }
        }
        ADD_FAILURE() << "no window with control " << id;
        return 0;
    }

    bool Pseudo() const { return strncmp(GetParam(), "qps-ploc", 8) == 0; }

    HWND DialogWith(int id) {
        return app_.WaitWindow([id](HWND window) { return GetDlgItem(window, id) != nullptr; });
    }
    bool Close(HWND window) {
        BringToFront(window);
        PressKey(VK_ESCAPE);
        return WaitUntil([&] { return !IsWindow(window); });
    }
};

TEST_P(LayoutTest, EveryWindowShowsItsWholeTextsAndWorks) {
    ASSERT_NE(strcmp(GetParam(), "en") != 0, Language() == kEnglish) << "unknown " << GetParam();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    Seed(L"Proj", {SeedTask("Milk", true, "2024-05-09"), SeedTask("Bread")});
    ASSERT_TRUE(StartRaw(Switch() + L"\"" + DbPath() + L"\" \"Proj\""));
    ASSERT_TRUE(WaitMainWindow());
    int texts = CheckWindowWith(kTaskListId);

    // The screen reader hears the language's words for done and open.
    const std::vector<std::wstring> names = AccessibleNames(list_);
    ASSERT_EQ(2u, names.size());
    EXPECT_EQ(0u, names[0].find(In(TextId::kEntryDone) + L" ")) << WideToUtf8(names[0]);
    EXPECT_EQ(In(TextId::kEntryOpen) + L": Bread", names[1]);

    // The editor adds a task.
    Command(kCmdAddTask);
    editor_ = DialogWith(kDescriptionFieldId);
    ASSERT_NE(nullptr, editor_);
    EXPECT_EQ(In(TextId::kEditorCaption), WindowText(editor_));
    texts += CheckWindowWith(kDescriptionFieldId);
    SetField(kTitleFieldId, L"Eggs");
    ClickSave();
    ASSERT_TRUE(WaitEditorGone());
    ASSERT_TRUE(WaitUntil([&] { return StoredTitles(L"Proj").size() == 3; }));

    // A confirmation speaks the language, and No keeps the tasks.
    EXPECT_TRUE(CommandAndAnswer(
        kCmdRemoveAll, {{In(TextId::kCaptionConfirm), In(TextId::kConfirmRemoveAll), IDNO}}));
    EXPECT_EQ(3u, StoredTitles(L"Proj").size());

    Command(kRecoverCmd);
    const HWND recover = DialogWith(kRecoverListId);
    ASSERT_NE(nullptr, recover);
    texts += CheckWindowWith(kRecoverListId);
    ASSERT_TRUE(Close(recover));

    Command(kCmdAbout);
    const HWND about = DialogWith(kAboutPictureId);
    ASSERT_NE(nullptr, about);
    texts += CheckWindowWith(kAboutPictureId);
    ASSERT_TRUE(Close(about));
    ASSERT_TRUE(CloseMain());

    CreateDirectoryW((Parent() + L"Proj").c_str(), nullptr);
    const std::wstring root = Parent().substr(0, Parent().size() - 1);
    ASSERT_TRUE(StartRaw(Switch() + L"/below \"" + root + L"\""));
    const HWND below = DialogWith(kBelowListId);
    ASSERT_NE(nullptr, below);
    ASSERT_TRUE(WaitUntil([&] { return ListTexts(GetDlgItem(below, kBelowListId)).size() > 0; }));
    texts += CheckWindowWith(kBelowListId);
    ASSERT_TRUE(Close(below));
    // The checks saw the labels and buttons of the editor (3), the recover dialog (4) and the
    // window below (6), not an empty report.
    EXPECT_EQ(13, texts);
    CoUninitialize();
}

INSTANTIATE_TEST_SUITE_P(Languages,
                         LayoutTest,
                         ::testing::Values("en",
                                           "de",
                                           "fr",
                                           "es",
                                           "pt-BR",
                                           "ru",
                                           "ja",
                                           "zh-CN",
                                           "ko",
                                           "qps-ploc",
                                           "qps-plocm"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name;
                             for (const char* c = info.param; *c != 0; ++c) {
                                 if (isalnum(static_cast<unsigned char>(*c))) name += *c;
                             }
                             return name;
                         });
