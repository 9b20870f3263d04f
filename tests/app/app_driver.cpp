#include "tests/app/app_driver.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Message boxes keep their text in a static control with this id; the icon sits in another one.
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr DWORD kPollMs = 10;
// Time between the two clicks of a double click and between the steps of a drag: long enough
// for the program to see separate events, short enough to stay within the double-click time.
constexpr DWORD kInputGapMs = 30;

struct EnumState {
    DWORD pid;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* state = reinterpret_cast<EnumState*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == state->pid && IsWindowVisible(window)) state->windows.push_back(window);
    return TRUE;
}

void SendKey(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    switch (key) {
        case VK_UP:
        case VK_DOWN:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_INSERT:
        case VK_DELETE:
        case VK_HOME:
        case VK_END:
            input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
            break;
        default:
            break;
    }
    SendInput(1, &input, sizeof(input));
}

// Absolute mouse coordinates run from 0 to 65535 across the primary screen.
INPUT MouseInput(POINT screen, DWORD flags) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, width - 1);
    input.mi.dy = MulDiv(screen.y, 65535, height - 1);
    input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    return input;
}

void SendMouse(POINT screen, DWORD flags) {
    INPUT input = MouseInput(screen, flags);
    SendInput(1, &input, sizeof(input));
}

std::wstring Utf8ToWide(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    return wide;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(kPollMs);
    }
}

std::wstring BuildOutputPath(const char* path) {
    std::wstring wide = Utf8ToWide(path);
    if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;  // Wine maps the root to Z:
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

std::wstring ProgramPath() {
    return BuildOutputPath(PELMORA_EXE);
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT crosses the process boundary; the length first, so no text is ever cut.
    const LRESULT length = SendTo(window, WM_GETTEXTLENGTH);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendTo(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

RECT OuterRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

SIZE OuterSize(HWND window) {
    const RECT rect = OuterRect(window);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

RECT ChildRect(HWND parent, HWND child) {
    RECT rect = OuterRect(child);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

AppProcess::~AppProcess() {
    Kill();
}

bool AppProcess::Start(const std::wstring& program,
                       const std::wstring& arguments,
                       const std::wstring& workingDir) {
    Kill();
    // argv[0] quoted as a shell would pass it, then the caller's tail unchanged.
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    return CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info_) != 0;
}

bool AppProcess::Running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> AppProcess::WaitExit(DWORD timeoutMs) {
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

std::vector<HWND> AppProcess::VisibleWindows() const {
    EnumState state{info_.dwProcessId, {}};
    if (info_.hProcess) EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
    return state.windows;
}

HWND AppProcess::WaitWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : VisibleWindows()) {
                if (match(window)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

std::optional<MessageBoxSeen> AppProcess::CurrentMessageBox() const {
    for (HWND window : VisibleWindows()) {
        if (IsMessageBox(window)) return ReadMessageBox(window);
    }
    return std::nullopt;
}

std::optional<MessageBoxSeen> AppProcess::WaitMessageBox(DWORD timeoutMs) const {
    // A box is read once its texts are in place: under load the poll can find the dialog
    // between its creation and the moment it is given its caption and message.
    HWND box = WaitWindow(
        [](HWND window) {
            return IsMessageBox(window) && !WindowText(window).empty() &&
                   !WindowText(GetDlgItem(window, kMessageBoxTextId)).empty();
        },
        timeoutMs);
    if (!box) return std::nullopt;
    return ReadMessageBox(box);
}

void AppProcess::Kill() {
    if (!info_.hProcess) return;
    if (Running()) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, kWaitMs);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    info_ = PROCESS_INFORMATION{};
}

bool IsMessageBox(HWND window) {
    if (ClassOf(window) != L"#32770") return false;
    HWND text = GetDlgItem(window, kMessageBoxTextId);
    if (!text || ClassOf(text) != L"Static") return false;
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        if (GetDlgItem(window, id)) return true;
    }
    return false;
}

MessageBoxSeen ReadMessageBox(HWND window) {
    MessageBoxSeen box;
    box.window = window;
    box.caption = WindowText(window);
    box.text = WindowText(GetDlgItem(window, kMessageBoxTextId));
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Button" && IsWindowVisible(child))
            box.buttons.push_back(GetDlgCtrlID(child));
    }
    return box;
}

bool AnswerMessageBox(const MessageBoxSeen& box, int id) {
    HWND button = GetDlgItem(box.window, id);
    if (!button) return false;
    // BM_CLICK makes the button go through a press and release, as a mouse click does.
    PostMessageW(button, BM_CLICK, 0, 0);
    return WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); });
}

bool BringToFront(HWND window) {
    if (GetForegroundWindow() == window) return true;
    return WaitUntil(
        [&] {
            SetForegroundWindow(window);
            return GetForegroundWindow() == window;
        },
        2000);
}

void PressKey(WORD key, std::initializer_list<WORD> modifiers) {
    for (WORD modifier : modifiers) SendKey(modifier, false);
    SendKey(key, false);
    SendKey(key, true);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) SendKey(*it, true);
}

void TypeText(const std::wstring& text) {
    for (wchar_t ch : text) {
        INPUT input[2] = {};
        for (INPUT& one : input) {
            one.type = INPUT_KEYBOARD;
            one.ki.wScan = ch;
            one.ki.dwFlags = KEYEVENTF_UNICODE;
        }
        input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
}

void MoveMouse(POINT screen) {
    SendMouse(screen, 0);
}

// Two clicks at one spot within the double-click time make a double click; a test that clicks
// the same entry twice in a row means two single clicks, so the second one waits.
static void SendClick(POINT screen, bool right) {
    SendMouse(screen, 0);
    SendMouse(screen, right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
    SendMouse(screen, right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
}

void ClickAt(POINT screen, bool right) {
    static ULONGLONG lastTime = 0;
    static POINT lastPoint{-1000, -1000};
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG quiet = GetDoubleClickTime() + 50;
    if (std::abs(screen.x - lastPoint.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
        std::abs(screen.y - lastPoint.y) <= GetSystemMetrics(SM_CYDOUBLECLK) &&
        now - lastTime < quiet) {
        Sleep(static_cast<DWORD>(quiet - (now - lastTime)));
    }
    SendClick(screen, right);
    lastTime = GetTickCount64();
    lastPoint = screen;
}

void DoubleClickAt(POINT screen) {
    SendClick(screen, false);
    Sleep(kInputGapMs);
    SendClick(screen, false);
}

void DragMouse(POINT from, POINT to) {
    SendMouse(from, 0);
    Sleep(kInputGapMs);
    SendMouse(from, MOUSEEVENTF_LEFTDOWN);
    constexpr int kSteps = 8;
    for (int step = 1; step <= kSteps; ++step) {
        Sleep(kInputGapMs);
        POINT at{from.x + (to.x - from.x) * step / kSteps,
                 from.y + (to.y - from.y) * step / kSteps};
        SendMouse(at, 0);
    }
    Sleep(kInputGapMs);
    SendMouse(to, MOUSEEVENTF_LEFTUP);
}

POINT CentreOf(HWND window) {
    const RECT rect = OuterRect(window);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kWaitMs, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

int ListCount(HWND list) {
    return static_cast<int>(SendTo(list, LB_GETCOUNT));
}

std::wstring ListText(HWND list, int index) {
    const LRESULT length = SendTo(list, LB_GETTEXTLEN, index);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendTo(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

std::vector<std::wstring> ListTexts(HWND list) {
    std::vector<std::wstring> texts;
    const int count = ListCount(list);
    for (int i = 0; i < count; ++i) texts.push_back(ListText(list, i));
    return texts;
}

int ListSelection(HWND list) {
    return static_cast<int>(SendTo(list, LB_GETCURSEL));
}

POINT ListEntryCentre(HWND list, int index) {
    const int height = static_cast<int>(SendTo(list, LB_GETITEMHEIGHT, 0));
    const int top = static_cast<int>(SendTo(list, LB_GETTOPINDEX));
    RECT client{};
    GetClientRect(list, &client);
    POINT point{client.right / 3, (index - top) * height + height / 2};
    ClientToScreen(list, &point);
    return point;
}

bool LoadIntoProcess(DWORD pid, const std::wstring& dllPath) {
    HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                     PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ,
                                 FALSE, pid);
    if (process == nullptr) return false;
    const SIZE_T bytes = (dllPath.size() + 1) * sizeof(wchar_t);
    void* remote =
        VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    bool loaded = false;
    if (remote != nullptr && WriteProcessMemory(process, remote, dllPath.c_str(), bytes, nullptr)) {
        // kernel32 lies at the same address in every process of the session.
        auto* loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
        HANDLE thread = CreateRemoteThread(process, nullptr, 0, loadLibrary, remote, 0, nullptr);
        if (thread != nullptr) {
            DWORD module = 0;
            loaded = WaitForSingleObject(thread, kWaitMs) == WAIT_OBJECT_0 &&
                     GetExitCodeThread(thread, &module) && module != 0;
            CloseHandle(thread);
        }
    }
    if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return loaded;
}

bool SendDpiChanged(DWORD pid, HWND window, int dpi, const RECT& suggested) {
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr) return false;
    // Whether the system copies the rectangle along with the message or hands the pointer on as
    // it is, the receiver finds it: it is placed at the same address here and there.
    void* shared = nullptr;
    for (ULONG_PTR candidate = 0x30000000; candidate < 0x70000000 && shared == nullptr;
         candidate += 0x01000000) {
        void* remote = VirtualAllocEx(process, reinterpret_cast<void*>(candidate), sizeof(RECT),
                                      MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (remote == nullptr) continue;
        if (VirtualAlloc(remote, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE) ==
            remote) {
            shared = remote;
        } else {
            VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        }
    }
    bool sent = false;
    if (shared != nullptr) {
        *static_cast<RECT*>(shared) = suggested;
        if (WriteProcessMemory(process, shared, &suggested, sizeof(suggested), nullptr)) {
            DWORD_PTR result = 0;
            sent = SendMessageTimeoutW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                       reinterpret_cast<LPARAM>(shared), SMTO_ABORTIFHUNG, kWaitMs,
                                       &result) != 0;
        }
        VirtualFreeEx(process, shared, 0, MEM_RELEASE);
        VirtualFree(shared, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return sent;
}

std::vector<COLORREF> CaptureScreen(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    std::vector<COLORREF> pixels;
    if (width <= 0 || height <= 0) return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* bgra = static_cast<const BYTE*>(bits);
        pixels.reserve(static_cast<size_t>(width) * height);
        for (int i = 0; i < width * height; ++i)
            pixels.push_back(RGB(bgra[4 * i + 2], bgra[4 * i + 1], bgra[4 * i]));
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}
