#!/usr/bin/env python3
"""Writes the program's glyph bitmaps into res/glyphs/ as 16-colour BMP files, and the
program icon for the desktop into res/icons/hicolor/ as PNG files.

Folder glyphs (16x16, magenta background), drive glyphs (16x11, the bottom-left pixel's
colour is transparent: blue here), the button glyphs (16x16, bottom-left transparent:
magenta) and the program icon (32x32 and 16x16, magenta background).

The desktop icon uses the same 16 colours, magenta becoming transparent: the 16 and 32
pixel drawings are the glyphs' own, the 48, 128 and 256 pixel ones the same picture drawn
at that size with outlines one thirty-second of the icon thick.

Run from the repository root:  python3 tools/make_glyphs.py
"""
import os
import struct
import sys
import zlib

# The 16-colour palette, one letter per colour.
PALETTE = [
    ("k", (0, 0, 0)),        # black
    ("m", (128, 0, 0)),      # maroon
    ("g", (0, 128, 0)),      # green
    ("o", (128, 128, 0)),    # olive
    ("n", (0, 0, 128)),      # navy
    ("p", (128, 0, 128)),    # purple
    ("t", (0, 128, 128)),    # teal
    ("s", (192, 192, 192)),  # silver
    ("d", (128, 128, 128)),  # gray
    ("r", (255, 0, 0)),      # red
    ("l", (0, 255, 0)),      # lime
    ("y", (255, 255, 0)),    # yellow
    ("b", (0, 0, 255)),      # blue
    (".", (255, 0, 255)),    # magenta
    ("c", (0, 255, 255)),    # cyan
    ("w", (255, 255, 255)),  # white
]
INDEX = {ch: i for i, (ch, _) in enumerate(PALETTE)}


def write_bmp(path, rows):
    """rows: list of strings, top row first, one palette letter per pixel."""
    height = len(rows)
    width = len(rows[0])
    for r in rows:
        if len(r) != width:
            sys.exit("%s: row %r is %d wide, expected %d" % (path, r, len(r), width))
    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for r in reversed(rows):  # bottom-up
        line = bytearray(stride)
        for x, ch in enumerate(r):
            v = INDEX[ch]
            if x % 2 == 0:
                line[x // 2] |= v << 4
            else:
                line[x // 2] |= v
        pixels += line
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for _, (r, g, b) in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + pixels)


def write_png(path, rows):
    """rows as for write_bmp; magenta (".") is transparent, every other colour opaque."""
    height = len(rows)
    width = len(rows[0])
    colours = dict(PALETTE)
    raw = bytearray()
    for r in rows:
        raw.append(0)  # filter type None
        for ch in r:
            red, green, blue = colours[ch]
            raw += bytes((red, green, blue, 0 if ch == "." else 255))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
                + chunk(b"IEND", b""))


def art(text):
    return [line.strip() for line in text.strip().splitlines()]


def disabled(rows, background="."):
    """An embossed, greyed copy: dark pixels become gray with a white shadow below right."""
    h, w = len(rows), len(rows[0])
    out = [[background] * w for _ in range(h)]
    dark = {"k", "n", "d", "m", "p", "t", "g", "o"}
    for y in range(h):
        for x in range(w):
            if rows[y][x] in dark and x + 1 < w and y + 1 < h:
                out[y + 1][x + 1] = "w"
    for y in range(h):
        for x in range(w):
            if rows[y][x] in dark:
                out[y][x] = "d"
    return ["".join(r) for r in out]


class Canvas:
    def __init__(self, w, h, fill="."):
        self.px = [[fill] * w for _ in range(h)]

    def rect(self, x0, y0, x1, y1, ch):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.px[y][x] = ch

    def frame(self, x0, y0, x1, y1, ch):
        for x in range(x0, x1 + 1):
            self.px[y0][x] = self.px[y1][x] = ch
        for y in range(y0, y1 + 1):
            self.px[y][x0] = self.px[y][x1] = ch

    def rows(self):
        return ["".join(r) for r in self.px]


def program_icon(size):
    """A page with a four-colour icon on it and an arrow taking the icon out."""
    s = size / 32.0
    c = Canvas(size, size)

    def p(v):
        return int(round(v * s))

    left, top, right, bottom, fold = p(3), p(2), p(21), p(29), p(6)
    c.rect(left, top, right, bottom, "w")
    c.frame(left, top, right, bottom, "k")
    # the top right corner folded down: cut away above the diagonal, a silver flap below it
    for i in range(fold + 1):
        y = top + i
        for x in range(right - fold + i + 1, right + 1):
            c.px[y][x] = "."
        for x in range(right - fold + 1, right - fold + i):
            c.px[y][x] = "s"
        c.px[y][right - fold + i] = "k"
        c.px[y][right - fold] = "k"
    for x in range(right - fold, right + 1):
        c.px[top + fold][x] = "k"
    ix0, iy0, ix1, iy1 = p(6), p(11), p(16), p(21)
    mx, my = (ix0 + ix1) // 2, (iy0 + iy1) // 2
    c.rect(ix0, iy0, mx, my, "r")
    c.rect(mx, iy0, ix1, my, "l")
    c.rect(ix0, my, mx, iy1, "b")
    c.rect(mx, my, ix1, iy1, "y")
    c.frame(ix0, iy0, ix1, iy1, "k")
    # arrow pointing right, out of the page
    ay = my
    shaft = max(1, p(1.5))
    c.rect(ix1 + 1, ay - shaft // 2, size - p(6), ay + (shaft - 1) // 2 + (1 if size > 16 else 0), "m")
    head = p(5)
    tip = size - 1
    for i in range(head + 1):
        x = tip - head + i
        half = head - i
        for y in range(ay - half, ay + half + 1):
            if 0 <= y < size:
                c.px[y][x] = "m"
    return c.rows()


def program_icon_large(size):
    """The program icon's picture at 48 pixels or more: the shapes of the 32-pixel drawing,
    whose units (0..32) are mapped to whole pixels, with outlines round(size / 32) pixels
    thick."""
    unit = size / 32.0
    line = max(1, round(unit))

    def p(v):
        return int(round(v * unit))

    left, top, right, bottom = p(3), p(2), p(22), p(30)
    fold_x, fold_y = p(15), p(9)  # the fold's diagonal runs from (fold_x, top) to (right, fold_y)
    ix0, iy0, ix1, iy1, mx, my = p(6), p(11), p(17), p(22), p(11), p(16)
    shaft_top, shaft_bottom, head_base, tip = p(15), p(18), p(26), size
    half = 5.5 * unit

    def colour(x, y):
        cx, cy = x + 0.5, y + 0.5
        # the arrow lies over the page
        centre = (shaft_top + shaft_bottom) / 2.0
        if head_base <= x < tip and abs(cy - centre) <= (tip - cx) * half / (tip - head_base):
            return "m"
        if ix1 <= x < head_base and shaft_top <= y < shaft_bottom:
            return "m"
        if not (left <= x < right and top <= y < bottom):
            return "."
        fx, fy = x - fold_x, y - top
        if fx > fy:
            return "."  # cut away above the fold's diagonal
        if fx >= 0 and y < fold_y:
            # the folded-down flap: silver, outlined along the diagonal, left and below
            return "k" if fy - fx < line or fx < line or y >= fold_y - line else "s"
        if x < left + line or x >= right - line or y < top + line or y >= bottom - line:
            return "k"
        if ix0 <= x < ix1 and iy0 <= y < iy1:
            if x < ix0 + line or x >= ix1 - line or y < iy0 + line or y >= iy1 - line:
                return "k"
            if y < my:
                return "r" if x < mx else "l"
            return "b" if x < mx else "y"
        return "w"

    return ["".join(colour(x, y) for x in range(size)) for y in range(size)]


DESKTOP_ICON_NAME = "org.vexil.vexil"
DESKTOP_ICON_SIZES = (16, 32, 48, 128, 256)


def desktop_icon(size):
    return program_icon(size) if size <= 32 else program_icon_large(size)


FOLDER_CLOSED = art("""
................
................
..kkkk..........
.kywwyk.........
kywyyyykkkkkkk..
kwyyyyyyyyyyyok.
kyyyyyyyyyyyyok.
kyyyyyyyyyyyyok.
kyyyyyyyyyyyyok.
kyyyyyyyyyyyyok.
kyyyyyyyyyyyyok.
kyyyyyyyyyyyyok.
koooooooooooook.
.kkkkkkkkkkkkk..
................
................
""")

FOLDER_OPEN = art("""
................
................
..kkkk..........
.kywwyk.........
kywyyyykkkkkk...
kyyyyyyyyyyyok..
kyyykkkkkkkkkkkk
kyykwwwwwwwwwwok
kyykyyyyyyyyyok.
kykyyyyyyyyyyok.
kykyyyyyyyyyok..
kkyyyyyyyyyyok..
kkyyyyyyyyyok...
kkkkkkkkkkkk....
................
................
""")

DRIVE_HARD = art("""
bbbbbbbbbbbbbbbb
bbbbbbbbbbbbbbbb
bbbbbbbbbbbbbbbb
bkkkkkkkkkkkkkkb
kwwwwwwwwwwwwwsk
kwssssssssssssdk
kwsssssssssslsdk
kwssssssssssssdk
kddddddddddddddk
bkkkkkkkkkkkkkkb
bbbbbbbbbbbbbbbb
""")

DRIVE_FLOPPY = art("""
bbbbbbbbbbbbbbbb
bbbbbbbbbbbbbbbb
bkkkkkkkkkkkkkkb
kwwwwwwwwwwwwwsk
kwssssssssssssdk
kwsskkkkkkkkssdk
kwssddddddddssdk
kwssssssssssgsdk
kwssssssssssssdk
kddddddddddddddk
bkkkkkkkkkkkkkkb
""")

DRIVE_NETWORK = art("""
bkkkkkkkkkkkkkkb
kwwwwwwwwwwwwwsk
kwsssssssssslsdk
kwssssssssssssdk
kddddddddddddddk
bkkkkkkkkkkkkkkb
bbbbbbbkkbbbbbbb
bbbbbbbkkbbbbbbb
bkkkkkkkkkkkkkkb
bkkkkkkkkkkkkkkb
bbbbbbbbbbbbbbbb
""")

DRIVE_CDROM = art("""
bbbbbkkkkkkbbbbb
bbbkkcwwwwckkbbb
bbkcwwwkkwwwckbb
bkkkkkkkkkkkkkkb
kwwwwwwwwwwwwwsk
kwssssssssssssdk
kwskkkkkkkkkksdk
kwssssssssssysdk
kddddddddddddddk
bkkkkkkkkkkkkkkb
bbbbbbbbbbbbbbbb
""")

DRIVE_RAM = art("""
bbbbbbbbbbbbbbbb
bbbbbbbbbbbbbbbb
gggggggggggggggg
gkkkgkkkgkkkgkkg
gkkkgkkkgkkkgkkg
gkkkgkkkgkkkgkkg
gggggggggggggggg
gyygyygyygyygyyg
gyygyygyygyygyyg
bbbbbbbbbbbbbbbb
bbbbbbbbbbbbbbbb
""")

BTN_FILTER = art("""
................
................
.kkkkkkkkkkkkkk.
.kyyyyyyyyyyyyk.
..kyyyyyyyyyyk..
...kyyyyyyyyk...
....kyyyyyyk....
.....kyyyyk.....
......kyyk......
......kyyk......
......kyyk......
......kyyk......
......kyyk......
.......kk.......
................
................
""")

BTN_LARGE = art("""
................
..nnnnn..nnnnn..
..nwcwn..nwcwn..
..ncccn..ncccn..
..nwcwn..nwcwn..
..nnnnn..nnnnn..
..kkkkk..kkkkk..
................
..nnnnn..nnnnn..
..nwcwn..nwcwn..
..ncccn..ncccn..
..nwcwn..nwcwn..
..nnnnn..nnnnn..
..kkkkk..kkkkk..
................
................
""")

BTN_SMALL = art("""
................
................
.nnn.....nnn....
.ncn.kkk.ncn.kkk
.nnn.....nnn....
................
.nnn.....nnn....
.ncn.kkk.ncn.kkk
.nnn.....nnn....
................
.nnn.....nnn....
.ncn.kkk.ncn.kkk
.nnn.....nnn....
................
................
................
""")

BTN_LIST = art("""
................
................
.nnn............
.ncn.kkkkkkkkk..
.nnn............
................
.nnn............
.ncn.kkkkkkkkk..
.nnn............
................
.nnn............
.ncn.kkkkkkkkk..
.nnn............
................
................
................
""")

BTN_REPORT = art("""
................
................
.ddddddddd.dddd.
................
.nn.kkkkkk..kk..
.nn.............
................
.nn.kkkkkk..kk..
.nn.............
................
.nn.kkkkkk..kk..
.nn.............
................
.nn.kkkkkk..kk..
.nn.............
................
""")


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res", "glyphs")
    os.makedirs(root, exist_ok=True)
    glyphs = {
        "MSCLOSE": FOLDER_CLOSED,
        "MSOPEN": FOLDER_OPEN,
        "HARD": DRIVE_HARD,
        "FLOPPY": DRIVE_FLOPPY,
        "NETWORK": DRIVE_NETWORK,
        "CDROM": DRIVE_CDROM,
        "RAM": DRIVE_RAM,
        "BTNFILTER": BTN_FILTER,
        "BTNFILTERD": disabled(BTN_FILTER),
        "BTNLARGE": BTN_LARGE,
        "BTNSMALL": BTN_SMALL,
        "BTNLIST": BTN_LIST,
        "BTNREPORT": BTN_REPORT,
        "VEXIL32": program_icon(32),
        "VEXIL16": program_icon(16),
    }
    for name, rows in glyphs.items():
        write_bmp(os.path.join(root, name + ".bmp"), rows)

    icons = os.path.join(os.path.dirname(root), "icons", "hicolor")
    for size in DESKTOP_ICON_SIZES:
        folder = os.path.join(icons, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        write_png(os.path.join(folder, DESKTOP_ICON_NAME + ".png"), desktop_icon(size))


if __name__ == "__main__":
    main()
