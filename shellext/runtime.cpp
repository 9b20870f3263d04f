// Explorer loads this library into its own process, so the extension carries its own small
// allocator on the process heap and nothing here throws. The library is linked without the C++
// runtime: these are the only pieces of it there are, and there is deliberately no throwing
// `new`, so a `new` without std::nothrow fails to link instead of reaching Explorer.
#include <windows.h>

#include <cstddef>
#include <new>

// The tag object of `new (std::nothrow)`, which <new> declares and the runtime would define.
const std::nothrow_t std::nothrow{};

void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void operator delete(void* block) noexcept {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

void operator delete(void* block, size_t) noexcept {
    operator delete(block);
}
