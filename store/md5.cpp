#include "store/md5.h"

#include <cstring>

namespace {

constexpr uint8_t kPadding[64] = {0x80};

constexpr uint32_t RotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

uint32_t LoadLittleEndian(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void StoreLittleEndian(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The four rounds of RFC 1321, section 3.4, one 64-byte block at a time.
void Md5Transform(uint32_t state[4], const uint8_t block[64]) {
    static constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                       5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                       4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                       6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    // T[i] = floor(2^32 * abs(sin(i + 1))), the table of RFC 1321, section 3.4.
    static constexpr uint32_t kSine[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
        0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
        0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
        0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
        0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
        0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
        0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
        0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
        0xeb86d391};
    uint32_t x[16];
    for (size_t i = 0; i < 16; ++i) x[i] = LoadLittleEndian(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (b & d) | (c & ~d);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t next = b + RotateLeft(a + f + kSine[i] + x[g], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

void Md5Init(Md5Context& ctx) noexcept {
    std::memset(&ctx, 0, sizeof ctx);
    ctx.state[0] = 0x67452301;
    ctx.state[1] = 0xefcdab89;
    ctx.state[2] = 0x98badcfe;
    ctx.state[3] = 0x10325476;
}

void Md5Update(Md5Context& ctx, const void* data, size_t length) noexcept {
    const auto* input = static_cast<const uint8_t*>(data);
    size_t index = (ctx.count[0] >> 3) & 0x3F;
    // The bit count is 64 bits wide, kept as two words; it wraps like RFC 1321's.
    const uint64_t bits = (static_cast<uint64_t>(ctx.count[1]) << 32 | ctx.count[0]) +
                          (static_cast<uint64_t>(length) << 3);
    ctx.count[0] = static_cast<uint32_t>(bits);
    ctx.count[1] = static_cast<uint32_t>(bits >> 32);
    const size_t room = 64 - index;
    size_t i = 0;
    if (length >= room) {
        std::memcpy(ctx.buffer + index, input, room);
        Md5Transform(ctx.state, ctx.buffer);
        for (i = room; i + 63 < length; i += 64) Md5Transform(ctx.state, input + i);
        index = 0;
    }
    if (length > i) std::memcpy(ctx.buffer + index, input + i, length - i);
}

void Md5Final(Md5Context& ctx) noexcept {
    uint8_t bits[8];
    StoreLittleEndian(bits, ctx.count[0]);
    StoreLittleEndian(bits + 4, ctx.count[1]);
    const size_t index = (ctx.count[0] >> 3) & 0x3F;
    Md5Update(ctx, kPadding, index < 56 ? 56 - index : 120 - index);
    Md5Update(ctx, bits, 8);
    static constexpr char kHexDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < 4; ++i) StoreLittleEndian(ctx.digest + 4 * i, ctx.state[i]);
    for (size_t i = 0; i < 16; ++i) {
        ctx.hex[2 * i] = kHexDigits[ctx.digest[i] >> 4];
        ctx.hex[2 * i + 1] = kHexDigits[ctx.digest[i] & 0x0F];
    }
    ctx.hex[32] = '\0';
    std::memset(ctx.state, 0, sizeof ctx.state);
    std::memset(ctx.count, 0, sizeof ctx.count);
    std::memset(ctx.buffer, 0, sizeof ctx.buffer);
}
