#include "app/settings.h"

#include <shlobj.h>
#include <windows.h>

#include "app/app_state.h"
#include "app/text_util.h"
#include "store/status/profile.h"

namespace {
constexpr char16_t kSettingsSection[] = u"pelmora";
}

std::u16string PrepareSettingsPath() {
    // The shell fills a buffer of MAX_PATH units; everything built from it is a string of its
    // own length, so a long data folder can never overflow anything here.
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE)) return {};
    std::u16string path = FromWide(folder);
    if (path.empty()) return {};
    if (path.back() != u'\\') path += u'\\';
    path += u"Pelmora";
    CreateDirectoryW(WidePtr(path), nullptr);
    path += u"\\config.ini";
    return path;
}

int ReadSetting(std::u16string_view key, int defaultValue) {
    if (gApp.settingsPath.empty()) return defaultValue;
    return ProfileReadInt(gApp.settingsPath, kSettingsSection, key, defaultValue);
}

void WriteSetting(std::u16string_view key, int value) {
    if (gApp.settingsPath.empty()) return;
    const std::string digits = std::to_string(value);
    // A setting that cannot be saved only means the next start uses the one saved before.
    (void)ProfileWriteString(gApp.settingsPath, kSettingsSection, key,
                             std::u16string(digits.begin(), digits.end()));
}
