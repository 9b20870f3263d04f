// What every object of the extension shares with the module without depending on it: the count
// of objects and server locks that keeps the library loaded, and the library's own instance
// (for its resources). The module sets the instance when it is loaded and answers
// DllCanUnloadNow from the count; the objects only take and give back references here.
#pragma once

#include <windows.h>

LONG ServerLock() noexcept;
LONG ServerUnlock() noexcept;
LONG ServerLockCount() noexcept;

void SetServerInstance(HINSTANCE instance) noexcept;
HINSTANCE ServerInstance() noexcept;
