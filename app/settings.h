// The settings file "config.ini" in the folder "Pelmora" under the common application data
// folder: window sizes only, section "pelmora".
#pragma once

#include <string>
#include <string_view>

inline constexpr char16_t kMainWidthKey[] = u"wnd_main_width";
inline constexpr char16_t kMainHeightKey[] = u"wnd_main_height";
inline constexpr char16_t kEditorWidthKey[] = u"wnd_add_width";
inline constexpr char16_t kEditorHeightKey[] = u"wnd_add_height";
inline constexpr char16_t kBelowWidthKey[] = u"wnd_below_width";
inline constexpr char16_t kBelowHeightKey[] = u"wnd_below_height";

// Finds the common application data folder, creates "Pelmora" in it (an existing folder is
// fine, a failure is ignored) and returns the settings file's path; empty when the shell does
// not name the folder.
std::u16string PrepareSettingsPath();

// The stored number, or `defaultValue` when the file or the key is missing. A file larger than
// kMaxProfileFileBytes is no settings file Pelmora wrote: it is ignored, so the defaults are
// used and nothing is written into it.
int ReadSetting(std::u16string_view key, int defaultValue);

// Stores `value` as decimal text; failures are ignored (the next run uses the old size).
void WriteSetting(std::u16string_view key, int value);
