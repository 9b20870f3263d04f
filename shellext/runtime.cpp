// The extension runs inside Explorer and is built without exceptions, so it must not drag in
// the C++ runtime's exception machinery. The shared text and key sources also hold
// std::string helpers that the extension never calls; their string code is instantiated here,
// without exceptions, and the few runtime hooks it names end the process instead of throwing.
// The linker drops all of it again, since nothing the extension runs reaches it.
#include <windows.h>

#include <bits/functexcept.h>
#include <cstddef>
#include <new>
#include <string>

template class std::basic_string<char>;

namespace {

[[noreturn]] void Unreachable() noexcept {
    RaiseFailFastException(nullptr, nullptr, 0);
    __builtin_unreachable();
}

}  // namespace

namespace std {
void __throw_length_error(const char*) {
    Unreachable();
}
void __throw_logic_error(const char*) {
    Unreachable();
}
void __throw_out_of_range(const char*) {
    Unreachable();
}
void __throw_out_of_range_fmt(const char*, ...) {
    Unreachable();
}
void __throw_bad_alloc() {
    Unreachable();
}
void __throw_bad_array_new_length() {
    Unreachable();
}
}  // namespace std

// Explorer loads this library into its own process, so the extension carries its own small
// allocator on the process heap: nothing here throws, and no C++ runtime heap is needed.
void* operator new(size_t size) {
    void* block = HeapAlloc(GetProcessHeap(), 0, size);
    if (block == nullptr) Unreachable();
    return block;
}

void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void operator delete(void* block) noexcept {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

void operator delete(void* block, size_t) noexcept {
    operator delete(block);
}
