// Drives a running Pelmora.exe from outside, the way a person at the screen would: it finds the
// program's windows, brings them to the front, presses keys and mouse buttons through the system's
// input queue, answers message boxes and reads back what the windows show.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// How long any wait for the program gives up after. Generous: Wine starts slowly on a busy machine,
// and a wait that succeeds returns as soon as its condition holds.
constexpr DWORD kWaitMs = 15000;

// Polls `condition` every few milliseconds until it holds or `timeoutMs` has passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs);

// The Windows path of the program under test (a Unix path from the build is mapped onto Wine's
// drive for the file system root).
std::wstring ProgramPath();
// The Windows path of a file the build made (given as CMake names it).
std::wstring BuildOutputPath(const char* path);

std::wstring WindowText(HWND window);
std::wstring ClassOf(HWND window);
RECT OuterRect(HWND window);
SIZE OuterSize(HWND window);
// A child control's outer rectangle in the client coordinates of `parent`.
RECT ChildRect(HWND parent, HWND child);

// A message box as the user sees it: its caption, its text and the buttons it offers.
struct MessageBoxSeen {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;  // IDOK, IDYES, IDNO, ... in the order they appear
};

// One started process. Terminates the program if a test leaves it running, so that a failed test
// does not leave a window behind for the next one.
class AppProcess {
public:
    AppProcess() = default;
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // Starts `program` with the command line tail `arguments` (already quoted as needed) in
    // `workingDir`. False when the process could not be created.
    bool Start(const std::wstring& program,
               const std::wstring& arguments,
               const std::wstring& workingDir);
    bool Running() const;
    DWORD Id() const { return info_.dwProcessId; }
    // The exit code, or nothing when the process is still running after `timeoutMs`.
    std::optional<DWORD> WaitExit(DWORD timeoutMs = kWaitMs);
    // Every visible top-level window of the process.
    std::vector<HWND> VisibleWindows() const;
    // Waits for a visible top-level window of the process that `match` accepts.
    HWND WaitWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs = kWaitMs) const;
    // The message box the process shows now, if any.
    std::optional<MessageBoxSeen> CurrentMessageBox() const;
    std::optional<MessageBoxSeen> WaitMessageBox(DWORD timeoutMs = kWaitMs) const;
    void Kill();

private:
    PROCESS_INFORMATION info_{};
};

// True for a dialog that MessageBox made: the text control and at least one push button.
bool IsMessageBox(HWND window);
MessageBoxSeen ReadMessageBox(HWND window);
// Presses the button with `id` in the box the way a click would, and waits until the box is gone.
bool AnswerMessageBox(const MessageBoxSeen& box, int id);

// Makes `window` the foreground window so that keys go to it; false if it did not come forward.
bool BringToFront(HWND window);

// Keys through the input queue, so the program's keyboard state (Shift held) is what it would be
// for a real key press. `modifiers` are held while `key` goes down and up.
void PressKey(WORD key, std::initializer_list<WORD> modifiers = {});
// Types `text` character by character as Unicode key events.
void TypeText(const std::wstring& text);

// Mouse actions at screen coordinates.
void MoveMouse(POINT screen);
void ClickAt(POINT screen, bool right = false);
void DoubleClickAt(POINT screen);
// Presses the left button at `from`, moves in steps to `to` and releases it there.
void DragMouse(POINT from, POINT to);
POINT CentreOf(HWND window);

// Sends a message to another process's window without hanging the test if the program is stuck.
LRESULT SendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Loads the DLL at `dllPath` into the running process `pid` and waits until its DllMain has run.
bool LoadIntoProcess(DWORD pid, const std::wstring& dllPath);

// Sends WM_DPICHANGED as the system does when a window moves to a display of density `dpi`, with
// `suggested` as the proposed outer rectangle (the rectangle lives in the program's memory, where
// the message's receiver reads it).
bool SendDpiChanged(DWORD pid, HWND window, int dpi, const RECT& suggested);

// What the screen shows inside `area` (screen coordinates), as COLORREF values row by row.
std::vector<COLORREF> CaptureScreen(const RECT& area);

// List box reading (the program's list keeps each entry's title as its text).
int ListCount(HWND list);
std::wstring ListText(HWND list, int index);
std::vector<std::wstring> ListTexts(HWND list);
int ListSelection(HWND list);
// The centre of entry `index` in screen coordinates; the entry must be scrolled into view.
POINT ListEntryCentre(HWND list, int index);
