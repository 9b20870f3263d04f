// PathEntry.exe: Setup's helper for the machine-wide PATH, so that pelmora-cli runs from any new
// terminal. The installer's own string variables hold 1024 characters and would cut a longer PATH
// short when they carry it; this helper edits the registry value at whatever length it has and
// changes nothing in it but the one entry.
//
//   PathEntry add DIR      appends ";DIR" (";"DIR"" when DIR holds ";") unless an entry names
//                          DIR already
//   PathEntry remove DIR   takes out every entry that names DIR, and nothing else
//
// Exit codes: 0 the value was changed, 3 there was nothing to change, 1 the value could not be
// read or written, 2 usage. After a change every top-level window is told that the environment
// changed, so that Explorer gives new terminals the new PATH.
#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

#include "win/unique_handle.h"

namespace {

constexpr wchar_t kEnvironmentKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr wchar_t kPathValue[] = L"Path";

enum : int { kChanged = 0, kFailed = 1, kUsage = 2, kUnchanged = 3 };

// An entry as PATH lookups understand it: blanks and quotes around it, and a trailing backslash,
// do not matter, and neither does letter case.
std::wstring Canonical(std::wstring entry) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'"'; };
    while (!entry.empty() && blank(entry.back())) entry.pop_back();
    size_t start = 0;
    while (start < entry.size() && blank(entry[start])) ++start;
    entry.erase(0, start);
    while (entry.size() > 3 && (entry.back() == L'\\' || entry.back() == L'/')) entry.pop_back();
    for (wchar_t& c : entry) c = static_cast<wchar_t>(std::towlower(c));
    return entry;
}

// The entries as Windows reads PATH: ";" separates them, except between double quotes, which
// is how an entry holding ";" is written.
std::vector<std::wstring> Split(const std::wstring& value) {
    std::vector<std::wstring> entries(1);
    bool quoted = false;
    for (wchar_t c : value) {
        if (c == L'"') quoted = !quoted;
        if (c == L';' && !quoted) {
            entries.emplace_back();
        } else {
            entries.back() += c;
        }
    }
    return entries;
}

bool ReadPath(HKEY key, std::wstring& value, DWORD& type) {
    std::vector<BYTE> buffer(4096);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const LONG rc = RegQueryValueExW(key, kPathValue, nullptr, &type, buffer.data(), &size);
        if (rc == ERROR_FILE_NOT_FOUND) {
            value.clear();
            type = REG_EXPAND_SZ;
            return true;
        }
        if (rc == ERROR_MORE_DATA) {
            buffer.resize(size + 2);
            continue;
        }
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
        value.assign(reinterpret_cast<const wchar_t*>(buffer.data()), size / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0') value.pop_back();
        return true;
    }
}

bool WritePath(HKEY key, const std::wstring& value, DWORD type) {
    const DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, kPathValue, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                          size) == ERROR_SUCCESS;
}

void AnnounceChange() {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                        reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000, &ignored);
}

int Run(const std::wstring& action, const std::wstring& dir) {
    const std::wstring wanted = Canonical(dir);
    // A quote cannot be part of a folder's name; one here would unbalance the quoting above.
    if (wanted.empty() || dir.find(L'"') != std::wstring::npos) return kUsage;
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                      key.put()) != ERROR_SUCCESS) {
        return kFailed;
    }
    std::wstring value;
    DWORD type = REG_EXPAND_SZ;
    if (!ReadPath(key.get(), value, type)) return kFailed;
    const std::vector<std::wstring> entries = Split(value);

    std::wstring updated;
    if (action == L"add") {
        for (const std::wstring& entry : entries) {
            if (Canonical(entry) == wanted) return kUnchanged;
        }
        // A folder holding ";" goes between quotes, as Windows writes such an entry: bare, it
        // would read as two entries, one of them a folder that is not ours.
        const std::wstring added = dir.find(L';') == std::wstring::npos ? dir : L"\"" + dir + L"\"";
        // Always a separator of our own, even after a trailing ";", so that taking the entry out
        // again gives back the value exactly as it was.
        updated = value.empty() ? added : value + L";" + added;
    } else if (action == L"remove") {
        bool removed = false;
        bool first = true;
        for (const std::wstring& entry : entries) {
            if (Canonical(entry) == wanted) {
                removed = true;
                continue;
            }
            if (!first) updated += L';';
            updated += entry;
            first = false;
        }
        if (!removed) return kUnchanged;
    } else {
        return kUsage;
    }
    if (!WritePath(key.get(), updated, type)) return kFailed;
    AnnounceChange();
    return kChanged;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return kUsage;
    return Run(argv[1], argv[2]);
}
