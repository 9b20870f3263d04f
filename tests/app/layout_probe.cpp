// Loaded into a running Pelmora.exe by the layout tests: measures, inside the program, every
// visible control of its windows in the control's own font (a font handle means nothing in
// another process), writes what it found to %TEMP%\pelmora-layout-<process id>.txt and unloads
// itself, so that it can be loaded again for the next window. The tests judge the figures.
//
// One line per window and per control, fields split by tabs, UTF-8:
//   window  client-width  client-height  caption
//   control class  id  style  left  top  right  bottom  line-width  line-height
//           wrapped-width  wrapped-height  text
//   menu    text
// A control's rectangle is in its window's client coordinates; "line" is its text on one line,
// "wrapped" its text broken at the control's width (wider than the control when a word does not
// fit).
#include <windows.h>

#include <string>

namespace {

HMODULE gModule = nullptr;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    for (char& c : out) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return out;
}

std::wstring TextOf(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

std::wstring ClassOf(HWND window) {
    wchar_t buffer[64] = {};
    GetClassNameW(window, buffer, 64);
    return buffer;
}

SIZE Measure(HWND control, const std::wstring& text, UINT format, int wrapWidth) {
    SIZE size{};
    if (text.empty()) return size;
    HDC dc = GetDC(control);
    if (dc == nullptr) return size;
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    const HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
    RECT box{0, 0, wrapWidth, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    size.cx = box.right - box.left;
    size.cy = box.bottom - box.top;
    return size;
}

struct Report {
    HWND window;
    std::string text;
};

BOOL CALLBACK AddControl(HWND control, LPARAM param) {
    auto* report = reinterpret_cast<Report*>(param);
    if (!IsWindowVisible(control)) return TRUE;
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, report->window, reinterpret_cast<POINT*>(&rect), 2);
    RECT client{};
    GetClientRect(control, &client);
    const std::wstring className = ClassOf(control);
    const std::wstring text = TextOf(control);
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    UINT format = 0;
    if (lstrcmpiW(className.c_str(), L"Static") == 0 && (style & SS_NOPREFIX) != 0) {
        format |= DT_NOPREFIX;
    }
    const SIZE line = Measure(control, text, format | DT_SINGLELINE, 0);
    const SIZE wrapped = Measure(control, text, format | DT_WORDBREAK, client.right);
    report->text += "control\t" + Utf8(className) + '\t' + std::to_string(GetDlgCtrlID(control)) +
                    '\t' + std::to_string(static_cast<unsigned long>(style)) + '\t' +
                    std::to_string(rect.left) + '\t' + std::to_string(rect.top) + '\t' +
                    std::to_string(rect.right) + '\t' + std::to_string(rect.bottom) + '\t' +
                    std::to_string(line.cx) + '\t' + std::to_string(line.cy) + '\t' +
                    std::to_string(wrapped.cx) + '\t' + std::to_string(wrapped.cy) + '\t' +
                    Utf8(text) + '\n';
    return TRUE;
}

void AddMenu(HMENU menu, std::string& out) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STRING | MIIM_SUBMENU | MIIM_FTYPE;
        item.dwTypeData = text;
        item.cch = 256;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
        if ((item.fType & MFT_SEPARATOR) == 0) out += "menu\t" + Utf8(text) + '\n';
        if (item.hSubMenu != nullptr) AddMenu(item.hSubMenu, out);
    }
}

BOOL CALLBACK AddWindow(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    auto* out = reinterpret_cast<std::string*>(param);
    RECT client{};
    GetClientRect(window, &client);
    *out += "window\t" + std::to_string(client.right) + '\t' + std::to_string(client.bottom) +
            '\t' + Utf8(TextOf(window)) + '\n';
    Report report{window, {}};
    EnumChildWindows(window, AddControl, reinterpret_cast<LPARAM>(&report));
    *out += report.text;
    if (HMENU menu = GetMenu(window)) AddMenu(menu, *out);
    return TRUE;
}

DWORD WINAPI Probe(void*) {
    std::string out;
    EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&out));
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path =
        std::wstring(temp) + L"pelmora-layout-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    const std::wstring part = path + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
        CloseHandle(file);
        MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    FreeLibraryAndExitThread(gModule, 0);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        // The work waits for the loader to finish with this library; then it unloads it.
        HANDLE thread = CreateThread(nullptr, 0, Probe, nullptr, 0, nullptr);
        if (thread != nullptr) CloseHandle(thread);
    }
    return TRUE;
}
