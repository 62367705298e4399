#!/usr/bin/python3
"""Draws the installer's logo (204 x 66, 16 colours) and icon.

Run by hand when the art changes; the outputs are kept in the repository so
that a build needs no imaging library:  resources/make-art.py resources/
"""
import struct
import sys
from PIL import Image, ImageDraw, ImageFont

W, H = 204, 66
out = sys.argv[1] if len(sys.argv) > 1 else "."

# The standard 16-colour palette, so the picture looks the same on any display.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, SILVER, YELLOW, BLUE, WHITE, OLIVE = 0, 4, 8, 7, 11, 12, 15, 3


def font(size, face="DejaVuSerif-Bold"):
    try:
        return ImageFont.truetype(f"/usr/share/fonts/truetype/dejavu/{face}.ttf", size)
    except OSError:
        return ImageFont.load_default()


def shield(d, x, y, w, h, fill, edge):
    """A ward's shield: flat top, sides curving to a point."""
    pts = [(x, y), (x + w, y), (x + w, y + h * 0.55), (x + w / 2, y + h), (x, y + h * 0.55)]
    d.polygon(pts, fill=fill, outline=edge)


def logo():
    img = Image.new("P", (W, H), BLACK)
    img.putpalette([c for rgb in PALETTE for c in rgb] + [0] * (768 - 48))
    d = ImageDraw.Draw(img)
    d.rectangle([0, 0, W - 1, H - 1], fill=NAVY, outline=SILVER)
    d.rectangle([2, 2, W - 3, H - 3], outline=BLUE)
    shield(d, 10, 8, 40, 50, BLUE, WHITE)
    shield(d, 16, 14, 28, 36, NAVY, YELLOW)
    # A roof over a door: the haven inside the ward.
    d.polygon([(22, 32), (30, 24), (38, 32)], fill=YELLOW)
    d.rectangle([25, 32, 35, 42], fill=YELLOW)
    d.rectangle([29, 36, 31, 42], fill=NAVY)
    d.text((58, 12), "Wardhaven!", font=font(20), fill=WHITE)
    d.line([(58, 40), (196, 40)], fill=YELLOW)
    d.text((59, 45), "a safe desktop shell", font=font(11, "DejaVuSans"), fill=SILVER)
    with open(f"{out}/logo.bmp", "wb") as f:
        f.write(bmp_file(img))


def icon():
    img = Image.new("P", (32, 32), BLACK)
    mask = Image.new("1", (32, 32), 1)          # 1 = transparent
    d, m = ImageDraw.Draw(img), ImageDraw.Draw(mask)
    shield(d, 3, 1, 26, 30, BLUE, WHITE)
    shield(m, 3, 1, 26, 30, 0, 0)
    d.polygon([(10, 15), (16, 9), (22, 15)], fill=YELLOW)
    d.rectangle([12, 15, 20, 22], fill=YELLOW)
    dib = dib_4bpp(img, height_factor=2)
    stride = 4                                  # 32 one-bit pixels, already a dword
    rows = [bytes(mask.tobytes()[y * stride:(y + 1) * stride]) for y in range(32)]
    dib += b"".join(reversed(rows))
    head = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 16, 0, 1, 4, len(dib), 22)
    with open(f"{out}/setup.ico", "wb") as f:
        f.write(head + dib)


def dib_4bpp(img, height_factor=1):
    """BITMAPINFOHEADER, the 16-entry palette and the bottom-up 4-bit rows."""
    w, h = img.size
    px = img.load()
    stride = ((w * 4 + 31) // 32) * 4
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            row[x // 2] |= (px[x, y] & 15) << (4 if x % 2 == 0 else 0)
        rows.append(bytes(row))
    bits = b"".join(rows)
    head = struct.pack("<IiiHHIIiiII", 40, w, h * height_factor, 1, 4, 0, len(bits), 0, 0, 16, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return head + pal + bits


def rle4_rows(img):
    """The bottom-up rows in BI_RLE4, each split into the fewest bytes: runs of
    one colour or of two alternating ones (count, colour pair) and absolute
    runs (0, count, packed pixels to a 16-bit boundary; 3 to 255 pixels)."""
    w, h = img.size
    px = img.load()
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = [px[x, y] & 15 for x in range(w)]
        # best[x]: fewest bytes for row[x:], with the first piece that achieves it.
        best = [(0, None)] * (w + 1)
        for x in range(w - 1, -1, -1):
            choices = []
            n = 1
            while x + n <= w and n <= 255:
                if n > 2 and row[x + n - 1] != row[x + (n - 1) % 2]:
                    break
                choices.append((2 + best[x + n][0], ("run", n)))
                n += 1
            for n in range(3, min(255, w - x) + 1):
                choices.append((2 + ((n + 3) // 4) * 2 + best[x + n][0], ("abs", n)))
            best[x] = min(choices)
        x = 0
        while x < w:
            kind, n = best[x][1]
            part = row[x:x + n]
            if kind == "run":
                out.extend((n, part[0] << 4 | (part[1] if n > 1 else 0)))
            else:
                packed = bytes(part[i] << 4 | (part[i + 1] if i + 1 < n else 0) for i in range(0, n, 2))
                out.extend((0, n))
                out.extend(packed + b"\0" * (len(packed) % 2))
            x += n
        out.extend((0, 0))                          # end of line
    out[-1] = 1                                     # the last line ends the bitmap
    return bytes(out)


def bmp_file(img):
    """A 16-colour BMP, run-length encoded: the logo is mostly flat areas, and
    its bytes travel in the installer on the first disk."""
    w, h = img.size
    bits = rle4_rows(img)
    head = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 2, len(bits), 0, 0, 16, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return struct.pack("<2sIHHI", b"BM", 14 + 40 + 64 + len(bits), 0, 0, 14 + 40 + 64) + head + pal + bits


logo()
icon()
