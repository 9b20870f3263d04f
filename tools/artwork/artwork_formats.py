"""The picture containers Pelmora's artwork is stored in: PNG, the DIB images inside icons, BMP
files and ICO files. Written here rather than by Pillow so that the bytes depend on nothing else.
"""

import struct
import zlib

from PIL import Image

# The nine images of every icon, in the order the resource compiler keeps them: (size, bits).
ICON_LAYOUT = [(32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (256, 32), (48, 32), (32, 32), (16, 32)]


def png_bytes(size, pixels):
    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for p in pixels[y * size:(y + 1) * size]:
            raw.extend(p)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(
        b"IEND", b"")


def row_stride(width, bits):
    return (width * bits + 31) // 32 * 4


def and_mask(size, transparent):
    stride = row_stride(size, 1)
    out = bytearray()
    for y in reversed(range(size)):
        row = bytearray(stride)
        for x in range(size):
            if transparent[y * size + x]:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def quantise(pixels, count, fixed=None):
    """Palette for the opaque pixels (index 0 stays black for the transparent ones) and indices.

    Sixteen colours chosen by median cut lose the small accents (the green ticks go teal), so the
    4-bit images use the artwork's own colours, given in fixed."""
    opaque = [p[:3] for p in pixels if p[3] >= 128]
    colours = sorted(set(opaque))
    if fixed:
        palette = [(0, 0, 0)] + [tuple(round(v) for v in c) for c in fixed]
    elif len(colours) <= count - 1:
        palette = [(0, 0, 0)] + colours
    else:
        strip = Image.new("RGB", (len(opaque), 1))
        strip.putdata(opaque)
        q = strip.quantize(colors=count - 1, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
        flat = q.getpalette()[:3 * (count - 1)]
        palette = [(0, 0, 0)] + sorted({tuple(flat[i:i + 3]) for i in range(0, len(flat), 3)})
    palette += [(0, 0, 0)] * (count - len(palette))
    cache = {}

    def nearest(c):
        if c not in cache:
            cache[c] = min(range(1, count), key=lambda i: (sum((c[j] - palette[i][j]) ** 2 for j in range(3)), i))
        return cache[c]
    return palette, [nearest(p[:3]) if p[3] >= 128 else 0 for p in pixels]


def dib_bytes(size, bits, pixels, fixed=None):
    """An icon image as Windows stores it: BITMAPINFOHEADER, palette, colour rows and AND mask."""
    stride = row_stride(size, bits)
    if bits == 32:
        palette = []
        body = bytearray()
        for y in reversed(range(size)):
            for r, g, b, a in pixels[y * size:(y + 1) * size]:
                body += bytes((b, g, r, a))
        transparent = [p[3] == 0 for p in pixels]
    else:
        palette, index = quantise(pixels, 1 << bits, fixed if bits == 4 else None)
        body = bytearray()
        for y in reversed(range(size)):
            row = bytearray(stride)
            for x in range(size):
                i = index[y * size + x]
                if bits == 8:
                    row[x] = i
                else:
                    row[x // 2] |= i << (4 if x % 2 == 0 else 0)
            body += row
        transparent = [p[3] < 128 for p in pixels]
    mask = and_mask(size, transparent)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(body) + len(mask), 0, 0,
                         len(palette), 0)
    return header + b"".join(bytes((b, g, r, 0)) for r, g, b in palette) + bytes(body) + mask


def ico_bytes(draw, palette16):
    images = []
    cache = {}
    for size, bits in ICON_LAYOUT:
        if size not in cache:
            cache[size] = draw(size).rgba()
        data = png_bytes(size, cache[size]) if size == 256 else dib_bytes(size, bits, cache[size], palette16)
        images.append((size, bits, data))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits, len(data),
                           offset)
        offset += len(data)
    return out + b"".join(d for _, _, d in images)


def bmp_bytes(image):
    width, height = image.size
    # Bottom-up BGR rows padded to four bytes, as BMP files keep them.
    body = image.convert("RGB").tobytes("raw", "BGR", row_stride(width, 24), -1)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(body), 0, 0, 14 + 40) + header + bytes(body)
