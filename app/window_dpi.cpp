#include "app/window_dpi.h"

#include "app/ui/dpi.h"
#include "win/dc_selection.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

// GetProcAddress returns a generic function pointer; the casts name the real signatures.
template <typename Fn>
Fn User32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

// Windows 8.1 tells each monitor's density through the shell's scaling library.
int MonitorDpi(HWND window) {
    static const auto getDpiForMonitor = [] {
        const HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (shcore == nullptr) return GetDpiForMonitorFn{};
        return reinterpret_cast<GetDpiForMonitorFn>(
            reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    }();
    if (getDpiForMonitor == nullptr || window == nullptr) return 0;
    UINT x = 0;
    UINT y = 0;
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    const HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    if (FAILED(getDpiForMonitor(monitor, kEffectiveDpi, &x, &y))) return 0;
    return static_cast<int>(y);
}

// Windows 7 and 8 have one density for the whole session, which the screen reports.
int ScreenDpi() {
    const ScopedWindowDC screen(nullptr);
    if (screen.get() == nullptr) return kDefaultDpi;
    return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

}  // namespace

int WindowDpi(HWND window) {
    // Windows 10 1607 and later: the density of the window's own monitor.
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) return SaneDpi(static_cast<int>(dpi));
    }
    const int monitorDpi = MonitorDpi(window);
    if (monitorDpi != 0) return SaneDpi(monitorDpi);
    static const auto getDpiForSystem = User32Function<GetDpiForSystemFn>("GetDpiForSystem");
    if (getDpiForSystem != nullptr) return SaneDpi(static_cast<int>(getDpiForSystem()));
    return SaneDpi(ScreenDpi());
}

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0)) return false;
    return (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

namespace {

Box BoxOf(const RECT& rect) {
    return Box{rect.left, rect.top, rect.right, rect.bottom};
}

// The work area of the monitor that holds most of `rect`, or of the one nearest to it.
Box WorkAreaFor(const RECT& rect) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info)) {
        RECT area{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        return BoxOf(area);
    }
    return BoxOf(info.rcWork);
}

}  // namespace

void PlaceOnScreen(HWND window, Size size) {
    const Point origin =
        CentredOrigin(Size{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, size);
    const RECT centred{origin.x, origin.y, origin.x + size.width, origin.y + size.height};
    const Box placed = FitInWorkArea(BoxOf(centred), WorkAreaFor(centred));
    SetWindowPos(window, nullptr, placed.left, placed.top, placed.Width(), placed.Height(),
                 SWP_NOZORDER);
}

void KeepInWorkArea(HWND window) {
    RECT rect{};
    if (!GetWindowRect(window, &rect)) return;
    const Box now = BoxOf(rect);
    const Box placed = FitInWorkArea(now, WorkAreaFor(rect));
    if (placed.left == now.left && placed.top == now.top && placed.Width() == now.Width() &&
        placed.Height() == now.Height()) {
        return;
    }
    SetWindowPos(window, nullptr, placed.left, placed.top, placed.Width(), placed.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}
