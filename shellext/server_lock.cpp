#include "shellext/server_lock.h"

namespace {
volatile LONG gLockCount = 0;
HINSTANCE gInstance = nullptr;
}  // namespace

LONG ServerLock() noexcept {
    return InterlockedIncrement(&gLockCount);
}

LONG ServerUnlock() noexcept {
    return InterlockedDecrement(&gLockCount);
}

LONG ServerLockCount() noexcept {
    return InterlockedCompareExchange(&gLockCount, 0, 0);
}

void SetServerInstance(HINSTANCE instance) noexcept {
    gInstance = instance;
}

HINSTANCE ServerInstance() noexcept {
    return gInstance;
}
