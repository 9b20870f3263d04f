// The entries of a status file parsed once into a table sorted by key, so that the overlay
// identifiers answer each item with a binary search instead of reading the file again. The rules
// are the profile reader's, from the one scanner both use (ini_scan.h): the first "[pelmora]"
// section, the first entry of a key winning, a UTF-16LE file behind its byte-order mark and a
// UTF-8 mark skipped. Free of the C++ runtime and of the heap: the shell extension compiles it on
// its own and hands in the memory.
#pragma once

#include <cstddef>
#include <cstdint>

// One item's entry: the folder key as its 16 bytes (two numbers, the first byte highest, so they
// compare as the bytes do), and the value as the reader converts it.
struct StatusTableKey {
    uint64_t high;
    uint64_t low;
};

struct StatusTableEntry {
    StatusTableKey key;
    int32_t value;
    uint32_t line;  // which entry of the file came first; only used while sorting
    bool hasValue;  // false for "key=" with nothing after it, which reads as the default
};

// An upper bound on the entries a file of `size` bytes can hold, for sizing the table: every
// entry line holds at least a 32-digit key and a line break (or is the last line).
constexpr size_t MaxStatusEntries(size_t size) noexcept {
    return size / 33 + 1;
}

// Parses the file `bytes` into `entries` (room for MaxStatusEntries(size)), sorted by key, one
// entry per key (its first in the section). Returns the number of entries. Keys that are not 32
// hexadecimal digits are no folder key and cannot be asked for: they are left out.
size_t ParseStatusTable(const unsigned char* bytes,
                        size_t size,
                        StatusTableEntry* entries,
                        size_t capacity) noexcept;

// The value of the folder key `hex` (32 lower-case digits) in a parsed table, or `missing`.
int32_t LookUpStatus(const StatusTableEntry* entries,
                     size_t count,
                     const char* hex,
                     int32_t missing) noexcept;
