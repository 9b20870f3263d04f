// MD5 (RFC 1321), the digest behind the folder key. Allocation-free: the shell extension compiles
// it on its own.
#pragma once

#include <cstddef>
#include <cstdint>

// MD5 (RFC 1321). After Md5Final the state, bit count and input buffer are cleared; the digest
// and its hexadecimal text stay in the context.
struct Md5Context {
    uint32_t state[4];
    uint32_t count[2];  // message length in bits, low word first
    uint8_t buffer[64];
    uint8_t digest[16];
    char hex[33];
};

void Md5Init(Md5Context& ctx) noexcept;
void Md5Update(Md5Context& ctx, const void* data, size_t length) noexcept;
void Md5Final(Md5Context& ctx) noexcept;
