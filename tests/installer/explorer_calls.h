// The calls Explorer makes on the extension, made the same way: the handler's class identifier
// read from the registry, the object created through COM, the shell's own data object for the
// selection, a real popup menu.
#pragma once

#include <string>

// Right-click on itemPath and choose "Task Management...". Failures go through Fail().
void ChooseTaskManagement(const std::wstring& itemPath);

// The names ("done", "half", "zero") of the overlay identifiers that claim itemPath, in that
// order, separated by blanks; "none" when no identifier claims it.
std::wstring ClaimingOverlays(const std::wstring& itemPath);

// Keeps an overlay identifier alive, as Explorer does all session long, until releaseFile exists
// (at most a minute). Prints "holding" once the extension is loaded.
void HoldExtension(const std::wstring& releaseFile);
