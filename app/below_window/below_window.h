// "Tasks Below This Folder...": a window listing every item below a folder that has open tasks,
// filled while the tree is walked, from which each item's own task window opens.
#pragma once

#include <string>

// The program's switch that starts this window instead of an item's: Pelmora.exe /below FOLDER.
inline constexpr wchar_t kBelowSwitch[] = L"/below";

// Runs the window for `root` until it closes. A root that does not exist, is no folder or cannot
// be listed is told in a message box instead.
void RunBelowWindow(const std::u16string& root);

// Starts this program's window for `folder` in a process of its own. False when it could not be
// started.
bool StartBelowWindow(const std::u16string& folder);
