// Small helpers shared by the parts of the end-to-end driver: failure reporting, wide text, and
// the class identifiers of the extension in registry form.
#pragma once

#include <windows.h>

#include <string>

// Prints one failed expectation to stderr and remembers that the command failed.
void Fail(const std::wstring& what);
// True while no expectation of the current command has failed.
bool AllPassed();

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const char* text);

// "{XXXXXXXX-...}" as the registry writes it.
std::wstring GuidText(const GUID& guid);

// Reads a REG_SZ value; false when the key or value is missing or of another type.
bool ReadRegString(HKEY root, const std::wstring& key, const wchar_t* value, std::wstring& out);
bool KeyExists(HKEY root, const std::wstring& key);
