// Stands in for Pelmora.exe in the tests: appends the arguments it was started with, as the
// program would parse them, to the file named by PELMORA_RECORDER_LOG. One line per start,
// UTF-8, the arguments separated by tabs (which no file name can contain).
#include <windows.h>

#include <shellapi.h>

#include <string>

int main() {
    wchar_t logPath[MAX_PATH];
    if (GetEnvironmentVariableW(L"PELMORA_RECORDER_LOG", logPath, MAX_PATH) == 0) return 1;
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr) return 1;
    std::wstring line = std::to_wstring(count - 1);
    for (int i = 1; i < count; ++i) line += L"\t" + std::wstring(args[i]);
    line += L"\n";
    LocalFree(args);

    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), bytes,
                        nullptr, nullptr);
    // Appending with one write keeps the lines of several starts apart.
    HANDLE file = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
