#include <windows.h>

#include <shellapi.h>

#include "cli/cli_platform.h"
#include "text/text_encoding.h"
#include "win/unique_handle.h"

namespace {

void WriteTo(DWORD which, std::string_view text) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        // The console shows UTF-16; bytes would be read in its code page and garble anything
        // outside it.
        const std::u16string wide = Utf8ToUtf16(text);
        const auto* data = reinterpret_cast<const wchar_t*>(wide.data());
        size_t left = wide.size();
        while (left > 0) {
            const DWORD chunk = static_cast<DWORD>(left < 16384 ? left : 16384);
            DWORD written = 0;
            if (!WriteConsoleW(handle, data, chunk, &written, nullptr) || written == 0) return;
            data += written;
            left -= written;
        }
        return;
    }
    while (!text.empty()) {
        const DWORD chunk = static_cast<DWORD>(text.size() < (1u << 20) ? text.size() : 1u << 20);
        DWORD written = 0;
        if (!WriteFile(handle, text.data(), chunk, &written, nullptr) || written == 0) return;
        text.remove_prefix(written);
    }
}

}  // namespace

std::vector<std::string> CommandLineUtf8(int, char**) {
    int count = 0;
    const UniqueLocalArgv argv(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::string> arguments;
    if (!argv) return arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(argv.get()[i])));
    }
    return arguments;
}

void WriteStandardOutput(std::string_view text) {
    WriteTo(STD_OUTPUT_HANDLE, text);
}

void WriteStandardError(std::string_view text) {
    WriteTo(STD_ERROR_HANDLE, text);
}

std::optional<std::u16string> EntryNameOnDisk(const std::filesystem::path& path) {
    const std::wstring text = path.wstring();
    // Wildcards would match some other entry; Windows names never hold them.
    if (text.find_first_of(L"*?") != std::wstring::npos) return std::nullopt;
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle find(FindFirstFileW(text.c_str(), &found));
    if (!find) return std::nullopt;
    return std::u16string(reinterpret_cast<const char16_t*>(found.cFileName));
}
