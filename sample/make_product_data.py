"""Generates the sample product's data files into a folder, the same bytes on
every run: help files, libraries, desktop layouts, bitmaps, sound and font
data, text. Sizes are set so that the whole product compresses to about
3.28 MB, three floppies' worth with the installer.

usage: make_product_data.py OUTDIR
"""
import hashlib
import struct
import sys
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw

WORDS = ("the shell desktop window program group task manager menu icon start folder file "
         "open close restart settings click right left button choose wallpaper theme sound "
         "font keyboard help topic see also Wardhaven replaces Windows system tray clock of "
         "and to a in is for with on by you your can will this that from").split()


class Stream:
    """Deterministic pseudo-random bytes (SHA-256 in counter mode)."""

    def __init__(self, seed):
        self.seed = seed.encode()
        self.counter = 0
        self.pool = b""

    def bytes(self, n):
        out = [self.pool]
        have = len(self.pool)
        while have < n:
            block = hashlib.sha256(self.seed + struct.pack("<Q", self.counter)).digest()
            self.counter += 1
            out.append(block)
            have += len(block)
        data = b"".join(out)
        self.pool = data[n:]
        return data[:n]

    def below(self, n):
        return int.from_bytes(self.bytes(4), "little") % n


def prose(seed, size, line=72):
    rnd = Stream(seed)
    out, col = [], 0
    while sum(map(len, out)) < size:
        word = WORDS[rnd.below(len(WORDS))]
        if rnd.below(11) == 0:
            word += "."
        if col + len(word) > line:
            out.append("\r\n")
            col = 0
        out.append(word + " ")
        col += len(word) + 1
    return "".join(out).encode()[:size]


def help_file(seed, topics):
    rnd = Stream(seed)
    body = [b"?_\x03\x00WARDHAVEN HELP\x00"]
    for t in range(topics):
        title = ("Topic %d: %s %s" % (t, WORDS[rnd.below(len(WORDS))], WORDS[rnd.below(len(WORDS))])).encode()
        text = prose(seed + str(t), 600 + rnd.below(1800))
        body.append(struct.pack("<HHI", 0x1F2E, t, len(text)) + title + b"\x00" + text + b"\x00")
    return b"".join(body)


def library(seed, size):
    """Code-like bytes: a few instruction shapes, addresses and export names."""
    rnd = Stream(seed)
    out = bytearray(b"WHLIB\x01\x00\x00")
    while len(out) < size:
        k = rnd.below(6)
        if k == 0:
            out += b"\x55\x8b\xec\x83\xec" + bytes([rnd.below(64) * 4])
        elif k == 1:
            out += b"\xe8" + struct.pack("<I", 0x401000 + rnd.below(0x20000))
        elif k == 2:
            out += b"\x8b\x45" + bytes([rnd.below(32) * 4]) + b"\x50"
        elif k == 3:
            out += ("Wh%s%s\x00" % (WORDS[rnd.below(len(WORDS))].title(), WORDS[rnd.below(len(WORDS))].title())).encode()
        elif k == 4:
            out += rnd.bytes(1 + rnd.below(12))
        else:
            out += b"\x00" * rnd.below(24) + b"\xc3"
    return bytes(out[:size])


def records(seed, count, fields):
    """Desktop layouts and the like: fixed records with small varying numbers."""
    rnd = Stream(seed)
    out = bytearray(b"WHDT")
    for i in range(count):
        name = ("%s %d" % (WORDS[rnd.below(len(WORDS))].title(), i)).encode().ljust(24, b"\x00")
        nums = [rnd.below(640), rnd.below(480), 32, 32] + [rnd.below(256) for _ in range(fields)]
        out += name + struct.pack("<%dH" % len(nums), *nums)
    return bytes(out)


def bitmap(seed, size, noise_bits, mode="RGB"):
    """A wallpaper: gradient, shapes, then a little noise (more noise, less compression)."""
    rnd = Stream(seed)
    w, h = size
    base = Image.linear_gradient("L").resize((w, h))
    img = Image.merge("RGB", (base, base.transpose(Image.Transpose.FLIP_TOP_BOTTOM), base.rotate(90).resize((w, h))))
    draw = ImageDraw.Draw(img)
    for _ in range(12):
        x, y = rnd.below(w), rnd.below(h)
        r = 10 + rnd.below(min(w, h) // 3)
        colour = (rnd.below(256), rnd.below(256), rnd.below(256))
        if rnd.below(2):
            draw.ellipse((x - r, y - r, x + r, y + r), fill=colour)
        else:
            draw.rectangle((x - r, y - r // 2, x + r, y + r // 2), fill=colour, outline=(0, 0, 0))
    if noise_bits:
        mask = (1 << noise_bits) - 1
        table = bytes(b & mask for b in range(256))
        noise = Image.frombytes("RGB", (w, h), rnd.bytes(w * h * 3).translate(table))
        img = ImageChops.add(img, noise)
    if mode != "RGB":
        img = img.convert(mode, palette=Image.Palette.ADAPTIVE, colors=256) if mode == "P" else img.convert(mode)
    return img


def save_bitmap(img, path):
    img.save(path, format="BMP")


def sound(seed, seconds, rate=11025):
    """8-bit mono PCM in a WAVE container: tones with a little hiss."""
    rnd = Stream(seed)
    n = int(seconds * rate)
    hiss = rnd.bytes(n)
    pcm = bytearray(n)
    period = [37 + rnd.below(40) for _ in range(4)]
    for i in range(n):
        v = 0
        for p in period:
            phase = (i % p) / p
            v += 20 if phase < 0.5 else -20
        pcm[i] = max(0, min(255, 128 + v + (hiss[i] & 0x0F) - 8))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate, 1, 8)
    data = b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", n) + bytes(pcm)
    return b"RIFF" + struct.pack("<I", 4 + len(data)) + b"WAVE" + data


def fonts(seed, glyphs):
    """Bitmap glyphs, 16 x 16, one bit a pixel."""
    rnd = Stream(seed)
    out = bytearray(b"WHFONT\x00\x00")
    for g in range(glyphs):
        rows = [0] * 16
        for stroke in range(3 + rnd.below(4)):
            y0, x0 = rnd.below(14) + 1, rnd.below(14) + 1
            horizontal = rnd.below(2)
            for k in range(2 + rnd.below(10)):
                y, x = (y0, min(15, x0 + k)) if horizontal else (min(15, y0 + k), x0)
                rows[y] |= 1 << (15 - x)
        out += struct.pack("<H", g) + b"".join(struct.pack(">H", r) for r in rows)
    return bytes(out)


def make(outdir):
    out = Path(outdir)
    out.mkdir(parents=True, exist_ok=True)
    files = {
        "Wardhavn.HLP": help_file("help-main", 120),
        "TaskMan.HLP": help_file("help-taskman", 40),
        "Shell.LIB": library("lib-shell", 270_000),
        "Controls.LIB": library("lib-controls", 190_000),
        "Desktop.DTP": records("dtp-desktop", 2600, 24),
        "Classic.DTP": records("dtp-classic", 1400, 24),
        "Wardhavn.Ini": prose("ini", 6_000, 40),
        "ReadMe.Txt": prose("readme", 24_000),
        "License.Txt": prose("license", 14_000),
        "Sounds.Dat": sound("sounds", 26),
        "Fonts.Dat": fonts("fonts", 4096),
        "Themes.Dat": records("themes", 1800, 40),
        "Keyboard.Map": records("keyboard", 256, 4),
        "History.Log": prose("history", 9_000, 100),
        "Startup.Grp": records("startup", 40, 8),
        "Programs.Grp": records("programs", 160, 8),
        "Menu.Cfg": prose("menu", 5_000, 30),
        "Index.Idx": library("index", 60_000),
        "Tips.Txt": prose("tips", 8_000),
    }
    for name, data in files.items():
        (out / name).write_bytes(data)
    palette = bytearray(b"JASC-PAL\r\n0100\r\n256\r\n")
    for i in range(256):
        palette += b"%d %d %d\r\n" % (i, (i * 7) % 256, 255 - i)
    (out / "Palette.Pal").write_bytes(bytes(palette))
    walls = [("Wall01.Bmp", (640, 480), 2), ("Wall02.Bmp", (640, 480), 2), ("Wall03.Bmp", (800, 600), 1),
             ("Wall04.Bmp", (640, 480), 1), ("Wall05.Bmp", (512, 384), 2)]
    for name, size, noise in walls:
        save_bitmap(bitmap(name, size, noise), out / name)
    save_bitmap(bitmap("icons", (512, 256), 0, "P"), out / "Icons.Bmp")
    save_bitmap(bitmap("toolbar", (640, 32), 1), out / "Toolbar.Bmp")
    save_bitmap(bitmap("splash", (400, 300), 2, "P"), out / "Splash.Bmp")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    make(sys.argv[1])
