// What the registry must hold after Setup, and what must be gone after the uninstaller.
#pragma once

#include <string>

// Every entry of the extension's registration for the machine, pointing at the DLL in installDir,
// and the Apps & features entry. Failures are reported through Fail().
void CheckRegistered(const std::wstring& installDir);

// The extension's keys and the Apps & features entry are gone. With parentsKept, the shared
// parent keys (which a machine that never had the extension may lack) must still be there.
void CheckUnregistered(bool parentsKept);
