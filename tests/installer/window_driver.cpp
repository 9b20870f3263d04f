#include "tests/installer/window_driver.h"

#include "tests/installer/driver_support.h"

namespace {

const int kTaskListId = 1001;
const int kTitleFieldId = 1002;
const WPARAM kCmdAddTask = 40001;
const WPARAM kCmdMarkDone = 40006;
const wchar_t kEditorCaption[] = L" Task Description";
const DWORD kPatienceMs = 20000;

// Polls until found() returns a window or the patience runs out.
template <typename Finder>
HWND WaitForWindow(Finder found) {
    for (DWORD waited = 0; waited < kPatienceMs; waited += 100) {
        if (HWND window = found()) {
            return window;
        }
        Sleep(100);
    }
    return nullptr;
}

// A message box or other dialog that the program shows instead of doing what it was asked:
// its text tells what went wrong.
std::wstring VisibleDialogs(DWORD processId) {
    struct Search {
        DWORD processId;
        std::wstring texts;
    } search{processId, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && IsWindowVisible(window)) {
                wchar_t caption[256] = {};
                GetWindowTextW(window, caption, 256);
                s->texts += L" [" + std::wstring(caption);
                HWND label = FindWindowExW(window, nullptr, L"Static", nullptr);
                while (label) {
                    wchar_t text[512] = {};
                    GetWindowTextW(label, text, 512);
                    if (text[0]) {
                        s->texts += L": " + std::wstring(text);
                    }
                    label = FindWindowExW(window, label, L"Static", nullptr);
                }
                s->texts += L"]";
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.texts;
}

int ListCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
}

std::wstring ListText(HWND list, int index) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

void ExpectTitles(HWND list, const std::wstring& expected) {
    std::wstring shown;
    for (int i = 0; i < ListCount(list); ++i) {
        shown += (i ? L"|" : L"") + ListText(list, i);
    }
    if (shown != expected) {
        Fail(L"the list shows \"" + shown + L"\", expected \"" + expected + L"\"");
    }
}

void AddTask(HWND main, HWND list, DWORD processId, const std::wstring& title) {
    int before = ListCount(list);
    PostMessageW(main, WM_COMMAND, kCmdAddTask, 0);
    HWND editor = WaitForWindow([&] {
        HWND window = FindWindowW(L"#32770", kEditorCaption);
        return window && GetWindow(window, GW_OWNER) == main ? window : nullptr;
    });
    if (!editor) {
        Fail(L"\"Add New Task...\" opened no editor;" + VisibleDialogs(processId));
        return;
    }
    SendMessageW(GetDlgItem(editor, kTitleFieldId), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(title.c_str()));
    PostMessageW(editor, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(editor, IDOK)));
    HWND closed = WaitForWindow([&] { return IsWindow(editor) ? nullptr : main; });
    if (!closed || ListCount(list) != before + 1) {
        Fail(L"saving \"" + title + L"\" did not add it;" + VisibleDialogs(processId));
    }
}

void MarkDone(HWND main, HWND list, DWORD processId, int index) {
    if (SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0) == LB_ERR) {
        Fail(L"no entry " + std::to_wstring(index) + L" to mark done");
        return;
    }
    // Sent, not posted: it returns once the command is done, unless a message box stops it.
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(main, WM_COMMAND, kCmdMarkDone, 0, SMTO_NORMAL, 10000, &result)) {
        Fail(L"\"Mark As Done\" did not finish;" + VisibleDialogs(processId));
    }
}

void CloseAndWait(HWND main, HANDLE process, DWORD processId) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process, kPatienceMs) != WAIT_OBJECT_0) {
        Fail(L"the program did not end after closing its window;" + VisibleDialogs(processId));
        return;
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process, &exitCode);
    if (exitCode != 0) {
        Fail(L"the program ended with exit code " + std::to_wstring(exitCode));
    }
}

}  // namespace

void DriveMainWindow(const std::wstring& caption,
                     const std::wstring& expectedImage,
                     const std::vector<std::wstring>& operations) {
    HWND main = WaitForWindow([&] { return FindWindowW(L"#32770", caption.c_str()); });
    if (!main) {
        Fail(L"no window captioned \"" + caption + L"\" appeared");
        return;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(main, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) {
        Fail(L"cannot open the program's process");
        return;
    }
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(process, 0, image, &size);
    if (lstrcmpiW(image, expectedImage.c_str()) != 0) {
        Fail(L"the window belongs to " + std::wstring(image) + L", not " + expectedImage);
    }
    HWND list = GetDlgItem(main, kTaskListId);
    for (const std::wstring& operation : operations) {
        if (operation.rfind(L"expect=", 0) == 0) {
            ExpectTitles(list, operation.substr(7));
        } else if (operation.rfind(L"add=", 0) == 0) {
            AddTask(main, list, processId, operation.substr(4));
        } else if (operation.rfind(L"done=", 0) == 0) {
            MarkDone(main, list, processId, _wtoi(operation.c_str() + 5));
        } else if (operation == L"close") {
            CloseAndWait(main, process, processId);
        } else {
            Fail(L"unknown operation " + operation);
        }
    }
    CloseHandle(process);
}
