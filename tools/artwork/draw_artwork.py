#!/usr/bin/env python3
"""Draws Pelmora's icons and bitmaps and writes them into the source tree.

    draw_artwork.py           regenerate every picture in place
    draw_artwork.py --check   regenerate into a temporary folder, compare byte for byte with the
                              committed files and verify the layout Windows expects

The output is deterministic: shapes are rasterised by Pillow at eight times the target size and
averaged down, shading is computed per pixel, and the containers (ICO, PNG, BMP) are written here
rather than by Pillow, so the bytes depend only on this file, Pillow's rasteriser, FreeType (the
about text) and zlib. Those come from Debian's packages (python3-pil, fonts-dejavu-core).
"""

import io
import math
import os
import re
import struct
import sys
import tempfile
import zlib

SYSTEM_PYTHON = "/usr/bin/python3"
if os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON) and os.path.exists(SYSTEM_PYTHON):
    # Another interpreter (pyenv, a venv) may carry a different Pillow, whose rasteriser would give
    # different bytes; the committed files are made with Debian's.
    os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON] + sys.argv)

try:
    from PIL import IcoImagePlugin, Image, ImageDraw, ImageFont
except ImportError:
    sys.exit("draw_artwork: Pillow is missing (install python3-pil, see scripts/setup.sh)")

from artwork_formats import ICON_LAYOUT, bmp_bytes, ico_bytes, row_stride  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FONT_DIR = "/usr/share/fonts/truetype/dejavu"
SS = 8  # supersampling factor for shape coverage


OUTPUTS = {
    "app/res/pelmora.ico": "app",
    "app/res/about.bmp": "about",
    "app/res/about-150.bmp": "about-150",
    "app/res/about-200.bmp": "about-200",
    "shellext/res/menu.bmp": "menu",
    "shellext/res/menu-150.bmp": "menu-150",
    "shellext/res/menu-200.bmp": "menu-200",
    "shellext/res/done.ico": "done",
    "shellext/res/half.ico": "half",
    "shellext/res/zero.ico": "zero",
}


def hexrgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def blend(p, colour, a):
    """Paints colour with opacity a over the premultiplied pixel p."""
    k = 1.0 - a
    p[0] = colour[0] * a + p[0] * k
    p[1] = colour[1] * a + p[1] * k
    p[2] = colour[2] * a + p[2] * k
    p[3] = 255.0 * a + p[3] * k


# ---------------------------------------------------------------------------------------------
# Raster canvas: premultiplied RGBA floats; shapes come in as coverage masks, colour as a constant
# or a function of the pixel centre in units of the picture's side (0..1).


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]

    def coverage(self, draw, grid):
        """Rasterises draw(d, k) at SS times the size; k maps design units to supersampled pixels."""
        big = Image.new("L", (self.size * SS, self.size * SS), 0)
        scale = self.size * SS / grid
        def k(*v):
            if len(v) == 1:
                return v[0] * scale
            xy = [round(x * scale) for x in v]
            # Pillow's boxes include their last row and column.
            return xy if len(xy) == 2 else [xy[0], xy[1], xy[2] - 1, xy[3] - 1]
        draw(ImageDraw.Draw(big), k)
        return list(big.resize((self.size, self.size), Image.BOX).getdata())

    def paint(self, mask, colour, opacity=1.0):
        n = self.size
        for i, m in enumerate(mask):
            if not m:
                continue
            a = m / 255.0 * opacity
            blend(self.px[i], colour(((i % n) + 0.5) / n, ((i // n) + 0.5) / n) if callable(colour) else colour, a)

    def shape(self, grid, colour, draw, opacity=1.0):
        self.paint(self.coverage(draw, grid), colour, opacity)

    def put(self, x, y, colour, alpha=255):
        blend(self.px[y * self.size + x], colour, alpha / 255.0)

    def rgba(self):
        """Straight (not premultiplied) 8-bit RGBA rows; fully transparent pixels are black."""
        out = []
        for p in self.px:
            a = round(p[3])
            if a <= 0:
                out.append((0, 0, 0, 0))
            else:
                out.append(tuple(min(255, round(p[c] * 255.0 / p[3])) for c in range(3)) + (min(a, 255),))
        return out


def pixel_art(canvas, rows, legend, left=0, top=0):
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            if ch in legend:
                colour, alpha = legend[ch]
                canvas.put(left + x, top + y, colour, alpha)


# ---------------------------------------------------------------------------------------------
# The program icon: a clipboard holding a task sheet, two tasks ticked and one open. Designed on a
# 32-unit grid so that the 32 and 256 pixel images fall on whole pixels.

APP = {
    "board_dark": hexrgb("1d4478"), "board_top": hexrgb("4a8ad4"), "board_bottom": hexrgb("2a62a8"),
    "paper_top": hexrgb("ffffff"), "paper_bottom": hexrgb("e6ecf3"), "paper_edge": hexrgb("b7c3d1"),
    "clip_dark": hexrgb("3c4552"), "clip_light": hexrgb("e3e8ee"), "clip_shade": hexrgb("98a4b3"),
    "tick": hexrgb("25a244"), "tick_dark": hexrgb("17772f"), "box": hexrgb("8391a3"),
    "text": hexrgb("9aa7b7"), "text_done": hexrgb("c3ccd6"),
}


def draw_app_vector(size):
    c = Canvas(size)
    g = 32
    vertical = lambda top, bottom, y0, y1: (lambda u, v: mix(top, bottom, (v * g - y0) / (y1 - y0)))
    # Board with a darker rim, then its lighter face.
    c.shape(g, APP["board_dark"], lambda d, k: d.rounded_rectangle(k(3, 3, 29, 31), radius=k(3.2), fill=255))
    c.shape(g, vertical(APP["board_top"], APP["board_bottom"], 4, 30),
            lambda d, k: d.rounded_rectangle(k(4, 4, 28, 30), radius=k(2.2), fill=255))
    # Sheet: a soft shadow, its edge, then the face.
    c.shape(g, APP["board_dark"], lambda d, k: d.rectangle(k(7, 7, 26.5, 28.5), fill=255), opacity=0.35)
    c.shape(g, APP["paper_edge"], lambda d, k: d.rectangle(k(6, 6, 26, 28), fill=255))
    c.shape(g, vertical(APP["paper_top"], APP["paper_bottom"], 6, 28),
            lambda d, k: d.rectangle(k(6, 6, 25.5 if size > 32 else 25, 27.5 if size > 32 else 27), fill=255))
    # Clip: dark outline, metal face with a highlight, and the hanging loop above it.
    c.shape(g, APP["clip_dark"], lambda d, k: d.rounded_rectangle(k(12, 0, 20, 5), radius=k(2), fill=255))
    c.shape(g, APP["clip_dark"], lambda d, k: d.rounded_rectangle(k(9, 3, 23, 9), radius=k(1.5), fill=255))
    c.shape(g, vertical(APP["clip_light"], APP["clip_shade"], 4, 8),
            lambda d, k: d.rounded_rectangle(k(10, 4, 22, 8), radius=k(1), fill=255))
    c.shape(g, APP["clip_shade"], lambda d, k: d.rounded_rectangle(k(14, 1.5, 18, 3.5), radius=k(0.8), fill=255))
    # Three tasks: ticked, ticked, open.
    for row, done in enumerate((True, True, False)):
        top = 11 + row * 6
        c.shape(g, APP["box"], lambda d, k: d.rectangle(k(8, top, 13, top + 5), fill=255))
        c.shape(g, (255, 255, 255), lambda d, k: d.rectangle(k(9, top + 1, 12, top + 4), fill=255))
        c.shape(g, APP["text_done"] if done else APP["text"],
                lambda d, k: d.rectangle(k(15, top + 1.5, 24 if row != 1 else 22, top + 3.5), fill=255))
        if done and size == 32:
            # A drawn stroke only two pixels wide smears over the box; place the tick by hand.
            pixel_art(c, TICK32, {"g": (APP["tick"], 255), "d": (APP["tick_dark"], 255)}, 8, top - 2)
        elif done:
            pts = [(9.2, top + 2.2), (11.0, top + 4.0), (14.6, top - 0.6)]
            c.shape(g, APP["tick"], lambda d, k: d.line([tuple(k(*p)) for p in pts], fill=255,
                                                        width=round(k(1.9)), joint="curve"))
    return c


TICK32 = [
    "......g",
    ".....gg",
    "....gg.",
    ".g.gg..",
    ".dgg...",
    "..d....",
]

APP16 = [
    "......kkkk......",
    ".bbbbkmmmmkbbbb.",
    ".bBBBkkkkkkBBBb.",
    ".bBwwwwwwwwwwBb.",
    ".bBwwwwgwwwwwBb.",
    ".bBwgwgwwssswBb.",
    ".bBwwgwwwwwwwBb.",
    ".bBwwwwgwwwwwBb.",
    ".bBwgwgwwssswBb.",
    ".bBwwgwwwwwwwBb.",
    ".bBweeewwwwwwBb.",
    ".bBwewewwtttwBb.",
    ".bBweeewwwwwwBb.",
    ".bBppppppppppBb.",
    ".bBBBBBBBBBBBBb.",
    ".bbbbbbbbbbbbbb.",
]


APP_BOARD16 = hexrgb("3a76c0")


def draw_app(size):
    if size != 16:
        return draw_app_vector(size)
    c = Canvas(16)
    opaque = lambda name: (APP[name], 255)
    pixel_art(c, APP16, {
        "b": opaque("board_dark"), "B": (APP_BOARD16, 255), "w": opaque("paper_top"),
        "p": opaque("paper_bottom"), "k": opaque("clip_dark"), "m": opaque("clip_light"),
        "g": opaque("tick"), "e": opaque("box"), "t": opaque("text"), "s": opaque("text_done"),
    })
    return c


# ---------------------------------------------------------------------------------------------
# Overlay balls. The ball is inscribed in the lower right quarter; everything else stays clear.

BALLS = {
    "done": {"light": hexrgb("8be38a"), "body": hexrgb("2fae3f"), "rim": hexrgb("146e22")},
    "half": {"light": hexrgb("ffe27a"), "body": hexrgb("f0a800"), "rim": hexrgb("9a6400")},
    "zero": {"light": hexrgb("ff8f84"), "body": hexrgb("d92c2c"), "rim": hexrgb("8a1010")},
}

# Marks for the 8-pixel ball of the 16x16 images, placed by hand so that they stay legible:
# the check, the exclamation mark and the cross side by side.
MARKS8_ROWS = [
    "........ ........ ........",
    "........ ...WW... ........",
    "......W. ...WW... ..W..W..",
    ".....WW. ...WW... ...WW...",
    ".W..WW.. ...WW... ...WW...",
    ".WWWW... ........ ..W..W..",
    "..WW.... ...WW... ........",
    "........ ........ ........",
]
MARKS8 = {kind: [row[9 * n:9 * n + 8] for row in MARKS8_ROWS] for n, kind in enumerate(("done", "half", "zero"))}


def ball_palette(style):
    body, light, rim, white = style["body"], style["light"], style["rim"], (255, 255, 255)
    return [rim, mix(rim, body, 0.5), body, mix(body, light, 0.33), mix(body, light, 0.66), light, white,
            mix(body, white, 0.5), mix(light, white, 0.5)]


def ball_colour(style, size):
    # The small balls are shaded more flatly so that the white mark keeps its contrast.
    gloss = 1.25 if size > 32 else 1.9 if size > 16 else 3.0

    def shade(u, v):
        # Coordinates within the ball, centre (0, 0), radius 1; light falls from the upper left.
        x, y = (u - 0.75) * 4.0, (v - 0.75) * 4.0
        glow = math.hypot(x + 0.35, y + 0.45) / 1.45
        base = mix(style["light"], style["body"], glow * gloss)
        return mix(base, style["rim"], (math.hypot(x, y) - 0.55) / 0.45 * 0.6)
    return shade


def draw_mark(c, kind, colour=(255, 255, 255), shift=0.0, opacity=1.0):
    """The mark on a ball that spans 16..32 of a 32-unit grid (the lower right quarter)."""
    def at(k, *points):
        return [tuple(k(x + shift, y + shift)) for x, y in points]

    def shape(draw):
        c.shape(32, colour, draw, opacity)
    if kind == "done":
        shape(lambda d, k: d.line(at(k, (20.4, 24.6), (23.2, 27.4), (28.0, 20.6)), fill=255, width=round(k(2.3)),
                                  joint="curve"))
    elif kind == "half":
        shape(lambda d, k: d.polygon(at(k, (22.7, 18.9), (25.3, 18.9), (24.7, 26.0), (23.3, 26.0)), fill=255))
        shape(lambda d, k: d.ellipse(k(22.8 + shift, 27.0 + shift, 25.2 + shift, 29.4 + shift), fill=255))
    else:
        shape(lambda d, k: d.line(at(k, (20.6, 20.6), (27.4, 27.4)), fill=255, width=round(k(2.4))))
        shape(lambda d, k: d.line(at(k, (27.4, 20.6), (20.6, 27.4)), fill=255, width=round(k(2.4))))


def draw_ball(kind, size):
    style = BALLS[kind]
    c = Canvas(size)
    g = 32
    rim = 1.0 if size <= 32 else 0.6
    rim = rim * 32 / size * (1 if size < 256 else 1.8)
    c.shape(g, style["rim"], lambda d, k: d.ellipse(k(16, 16, 32, 32), fill=255))
    c.shape(g, ball_colour(style, size), lambda d, k: d.ellipse(k(16 + rim, 16 + rim, 32 - rim, 32 - rim), fill=255))
    if size == 16:
        pixel_art(c, MARKS8[kind], {"W": ((255, 255, 255), 255)}, 8, 8)
    else:
        if size >= 48:
            # A faint shadow lifts the mark off the ball where there is room for it.
            draw_mark(c, kind, style["rim"], 0.35, 0.45)
        draw_mark(c, kind)
    return c


# ---------------------------------------------------------------------------------------------
# Bitmaps.

# The menu mark, placed from row 3 of the 13x13 field.
MENU_MARK_TOP = 3
MENU_MARK = [
    ".........#...",
    "........##...",
    "...#...##....",
    "...##.##.....",
    "....###......",
    ".....#.......",
]


MENU_FIELD = (0, 115, 0)
MENU_INK = (240, 248, 255)
# The menu mark is drawn for the menu's check-mark size at 100%, 150% and 200%.
MENU_SIZES = {100: 13, 150: 20, 200: 26}


def draw_menu(scale=100):
    size = MENU_SIZES[scale]
    if scale == 100:
        image = Image.new("RGB", (13, 13), MENU_FIELD)
        for y, row in enumerate(MENU_MARK):
            for x, ch in enumerate(row):
                if ch == "#":
                    image.putpixel((x, MENU_MARK_TOP + y), MENU_INK)
        return image
    # Larger sizes have room for a smooth tick; its stroke follows the pixel mark's shape, on a
    # 13-unit grid, centred the same way.
    c = Canvas(size)
    c.shape(13, MENU_FIELD, lambda d, k: d.rectangle(k(0, 0, 13, 13), fill=255))
    points = [(3.5, 6.4), (5.6, 8.5), (9.7, 3.6)]
    c.shape(13, MENU_INK, lambda d, k: d.line([tuple(k(*p)) for p in points], fill=255, width=round(k(1.45)),
                                              joint="curve"))
    image = Image.new("RGB", (size, size))
    image.putdata([p[:3] for p in c.rgba()])
    return image


def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


ABOUT_SIZE = (245, 189)


def project_version():
    """The product's version as the top-level CMakeLists.txt declares it; the about picture shows it,
    so a new version needs the pictures drawn again (the check below says so)."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"project\(Pelmora\s+VERSION\s+([0-9]+\.[0-9]+\.[0-9]+)\b", f.read())
    if not match:
        sys.exit("draw_artwork: no three-number project version in CMakeLists.txt")
    return match.group(1)


def file_version():
    """The version every binary's version block carries and the about picture shows: the project
    version and the build number, fixed at 1 (cmake/version.cmake)."""
    return project_version() + ".1"


def about_size(scale):
    """The about picture's size for a display at scale percent: the 100% size scaled, rounded."""
    return tuple((v * scale + 50) // 100 for v in ABOUT_SIZE)


def draw_about(scale=100):
    """The about picture, drawn afresh at each scale rather than stretched: text, icon and balls are
    rendered at their own size for the denser display."""
    def px(v):
        return (v * scale + 50) // 100
    w, h = about_size(scale)
    image = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(image)
    top, bottom = hexrgb("f7f9fc"), hexrgb("e4eaf2")
    for y in range(h):
        d.line([(0, y), (w - 1, y)], fill=tuple(round(v) for v in mix(top, bottom, y / (h - 1))))
    band = px(86)
    for y in range(band):
        d.line([(0, y), (w - 1, y)], fill=tuple(round(v) for v in mix(hexrgb("3f7fcb"), hexrgb("245494"), y / band)))
    d.line([(0, band), (w - 1, band)], fill=hexrgb("1d4478"))
    icon_size = px(64)
    icon = Image.new("RGBA", (icon_size, icon_size))
    icon.putdata(draw_app_vector(icon_size).rgba())
    image.paste(icon, (px(18), px(11)), icon)
    d.text((px(94), px(20)), "Pelmora", font=font("DejaVuSans-Bold.ttf", px(26)), fill=(255, 255, 255))
    d.text((px(96), px(56)), "Version " + file_version(), font=font("DejaVuSans.ttf", px(11)), fill=hexrgb("dbe7f6"))
    d.text((w // 2, px(111)), "A task list for every folder", font=font("DejaVuSans.ttf", px(12)),
           fill=hexrgb("23364f"), anchor="mm")
    # The three overlay balls, as Explorer shows a folder's progress.
    ball_size = px(32)
    for n, kind in enumerate(("done", "half", "zero")):
        ball = Image.new("RGBA", (ball_size, ball_size))
        ball.putdata(draw_ball(kind, ball_size).rgba())
        ball = ball.crop((ball_size // 2, ball_size // 2, ball_size, ball_size))
        image.paste(ball, (w // 2 - px(32) + n * px(24), px(128)), ball)
    d.text((w // 2, px(166)), "Click anywhere to close", font=font("DejaVuSans.ttf", px(9)), fill=hexrgb("7a8797"),
           anchor="mm")
    line = px(1)
    d.rectangle([(0, 0), (w - 1, h - 1)], outline=hexrgb("1d4478"), width=line)
    return image


def picture_kind(kind):
    """("about" or "menu", scale percent) of an output kind such as "about-150"."""
    name, _, scale = kind.partition("-")
    return name, int(scale or 100)


def render(kind):
    if kind == "app":
        return ico_bytes(draw_app, list(APP.values()) + [APP_BOARD16])
    if kind in BALLS:
        return ico_bytes(lambda size: draw_ball(kind, size), ball_palette(BALLS[kind]))
    name, scale = picture_kind(kind)
    return bmp_bytes(draw_menu(scale) if name == "menu" else draw_about(scale))


def write_all(root):
    for path, kind in OUTPUTS.items():
        target = os.path.join(root, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(render(kind))


# ---------------------------------------------------------------------------------------------
# Verification of the committed files.


def decode_icon_image(data, size, bits):
    """Returns (alpha-or-opacity per pixel, AND-mask bit per pixel) of one stored image."""
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        image = Image.open(io.BytesIO(data))
        image.load()
        alpha = list(image.convert("RGBA").getchannel("A").getdata())
        return alpha, None
    header_size, width, height, planes, bitcount = struct.unpack_from("<IiiHH", data)
    colours = struct.unpack_from("<I", data, 32)[0] or (1 << bitcount if bitcount <= 8 else 0)
    start = header_size + 4 * colours
    stride = row_stride(size, bits)
    mask_start = start + stride * size
    mask_stride = row_stride(size, 1)
    alpha, masked = [], []
    for y in range(size):
        for x in range(size):
            row = size - 1 - y
            if bits == 32:
                alpha.append(data[start + row * stride + x * 4 + 3])
            masked.append(bool(data[mask_start + row * mask_stride + x // 8] & (0x80 >> (x % 8))))
    if bits != 32:
        alpha = [0 if m else 255 for m in masked]
    return alpha, masked


def bounds(points):
    """(left, top, right, bottom) of the points, inclusive, or None for none."""
    if not points:
        return None
    return (min(x for x, _ in points), min(y for _, y in points), max(x for x, _ in points),
            max(y for _, y in points))


def check_ico(path, data, overlay):
    problems = []
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if reserved != 0 or kind != 1 or count != len(ICON_LAYOUT):
        return ["%s: not an icon file with %d images (type %d, count %d)" % (path, len(ICON_LAYOUT), kind, count)]
    for n, (size, bits) in enumerate(ICON_LAYOUT):
        w, h, colours, _, planes, bitcount, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * n)
        where = "%s image %d" % (path, n + 1)
        if (w or 256, h or 256, bitcount) != (size, size, bits):
            problems.append("%s: is %dx%d at %d bits, expected %dx%d at %d bits" %
                            (where, w or 256, h or 256, bitcount, size, size, bits))
            continue
        if colours != (16 if bits == 4 else 0) or planes != 1 or offset + length > len(data):
            problems.append("%s: bad directory entry" % where)
            continue
        image = data[offset:offset + length]
        if size == 256:
            if image[:8] != b"\x89PNG\r\n\x1a\n":
                problems.append("%s: the 256x256 image is not stored as PNG" % where)
                continue
        else:
            header = struct.unpack_from("<IiiHHI", image)
            if header != (40, size, 2 * size, 1, bits, 0):
                problems.append("%s: bad bitmap header %r" % (where, header))
                continue
            colours_used = struct.unpack_from("<I", image, 32)[0]
            palette = colours_used or (1 << bits if bits <= 8 else 0)
            need = 40 + 4 * palette + (row_stride(size, bits) + row_stride(size, 1)) * size
            if bits <= 8 and colours_used != 1 << bits or length != need:
                problems.append("%s: palette or data size wrong (%d bytes, expected %d)" % (where, length, need))
                continue
        alpha, masked = decode_icon_image(image, size, bits)
        if masked is not None and any(alpha[i] == 0 and not masked[i] for i in range(size * size)):
            problems.append("%s: transparent pixels missing from the AND mask" % where)
        if overlay:
            half = size // 2
            outside = [alpha[y * size + x] for y in range(size) for x in range(size) if x < half or y < half]
            if any(outside):
                problems.append("%s: the area outside the lower right quarter is not transparent" % where)
            box = bounds([(x, y) for y in range(size) for x in range(size) if alpha[y * size + x] >= 128])
            if box != (half, half, size - 1, size - 1):
                problems.append("%s: the ball does not fill the lower right quarter (opaque box %r)" % (where, box))
        elif not any(alpha):
            problems.append("%s: the image is empty" % where)
    return problems


def check_bmp(path, data, width, height):
    if data[:2] != b"BM" or len(data) < 54:
        return ["%s: not a BMP file" % path]
    size, _, _, offset = struct.unpack_from("<IHHI", data, 2)
    header = struct.unpack_from("<IiiHHI", data, 14)
    if header != (40, width, height, 1, 24, 0):
        return ["%s: expected a %dx%d 24-bit uncompressed bitmap, found header %r" % (path, width, height, header)]
    if size != len(data) or offset + row_stride(width, 24) * height != len(data):
        return ["%s: file size does not match the bitmap" % path]
    return []


def check(root):
    problems = []
    with tempfile.TemporaryDirectory(prefix="pelmora-artwork-") as fresh:
        write_all(fresh)
        for path, kind in OUTPUTS.items():
            committed = os.path.join(root, path)
            if not os.path.exists(committed):
                problems.append("%s: missing (run tools/artwork/draw_artwork.py)" % path)
                continue
            with open(committed, "rb") as f:
                data = f.read()
            with open(os.path.join(fresh, path), "rb") as f:
                drawn = f.read()
            name, scale = picture_kind(kind)
            if drawn != data and name == "about" and not pictures_alike(data, drawn, version_box(scale)):
                # The version line is small: rasteriser noise over the whole picture could hide a
                # changed digit, so that line must match on its own.
                problems.append("%s: does not show version %s (run tools/artwork/draw_artwork.py)" % (path, file_version()))
            elif drawn != data:
                if pictures_alike(data, drawn):
                    # Another release of Pillow or FreeType rasterises a few edge pixels
                    # differently: the pictures are the same, only their bytes are not.
                    print("artwork: %s differs from a fresh drawing in a few edge pixels only" % path)
                else:
                    problems.append("%s: differs from what tools/artwork/draw_artwork.py draws (run it again)" % path)
            try:
                problems += check_layout(path, kind, data)
            except (struct.error, OSError, ValueError) as e:
                problems.append("%s: cannot be read (%s)" % (path, e))
    return problems


def decoded_pictures(data):
    """Every picture of an ICO or BMP file as RGBA, in file order."""
    stream = io.BytesIO(data)
    if data[:2] == b"BM":
        return [Image.open(stream).convert("RGBA")]
    icons = IcoImagePlugin.IcoFile(stream)
    return [icons.frame(n).convert("RGBA") for n in range(len(icons.entry))]


def version_box(scale):
    """The about picture's version line, with room for longer versions: (left, top, right, bottom)."""
    w, _ = about_size(scale)
    return ((94 * scale + 50) // 100, (54 * scale + 50) // 100, w - 2, (72 * scale + 50) // 100)


def pictures_alike(a, b, box=None):
    """True when two files hold the same pictures (within box, if given) up to rasteriser noise: at
    most 0.5% of the pixels visibly different, and on average less than one step per channel."""
    try:
        first, second = decoded_pictures(a), decoded_pictures(b)
    except (OSError, ValueError, struct.error):
        return False
    if len(first) != len(second):
        return False
    for x, y in zip(first, second):
        if x.size != y.size:
            return False
        if box:
            x, y = x.crop(box), y.crop(box)
        diffs = [max(abs(p - q) for p, q in zip(u, v)) for u, v in zip(x.getdata(), y.getdata())]
        if sum(diffs) / len(diffs) >= 1.0 or sum(d > 32 for d in diffs) > len(diffs) // 200:
            return False
    return True


def check_layout(path, kind, data):
    if path.endswith(".ico"):
        return check_ico(path, data, kind in BALLS)
    name, scale = picture_kind(kind)
    if name != "menu":
        return check_bmp(path, data, *about_size(scale))
    size = MENU_SIZES[scale]
    problems = check_bmp(path, data, size, size)
    if not problems:
        image = Image.open(io.BytesIO(data)).convert("RGB")
        mark = [(x, y) for y in range(size) for x in range(size) if image.getpixel((x, y)) != MENU_FIELD]
        box = bounds(mark) or (0, 0, 0, 0)
        # The designed mark is near-white on the field; the larger ones are smoothed, so their edge
        # pixels lie between the two colours.
        inks = {image.getpixel(p) for p in mark}
        pure = inks == {MENU_INK}
        smooth = MENU_INK in inks and all(
            min(MENU_FIELD[i], MENU_INK[i]) <= c[i] <= max(MENU_FIELD[i], MENU_INK[i]) for c in inks for i in range(3))
        slack = 2 * size / 13
        if not (pure if scale == 100 else smooth) or abs(box[0] + box[2] - (size - 1)) > slack or abs(
                box[1] + box[3] - (size - 1)) > slack:
            problems.append("%s: expected a dark green field with a near-white mark in its centre" % path)
    return problems


def main(argv):
    if argv[1:] == ["--check"]:
        problems = check(ROOT)
        for p in problems:
            print("artwork: " + p, file=sys.stderr)
        if problems:
            return 1
        print("artwork: %d files match and have the expected layout" % len(OUTPUTS))
        return 0
    if argv[1:]:
        print(__doc__, file=sys.stderr)
        return 2
    write_all(ROOT)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
