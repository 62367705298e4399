"""A contact sheet of the run command's screenshots: every page and prompt,
small and in order, each with its caption, on one picture.

    contact-sheet.py SHOTS      writes SHOTS/contact-sheet.png from SHOTS/*.png

The captions come from SHOTS/captions.txt (a screenshot's name, a tab, what it
shows), which the headless installation writes; a screenshot it does not name
is captioned with its file name.
"""
import pathlib
import sys

from PIL import Image, ImageDraw, ImageFont

SHEET_NAME = "contact-sheet.png"
COLUMNS = 4
THUMB_WIDTH = 320          # a 1024x768 screen at 31 %
GAP = 14
CAPTION_LINES = 3
FONT_SIZE = 13
BACKGROUND, FRAME, INK = (236, 236, 236), (120, 120, 120), (20, 20, 20)


def caption_font():
    # DejaVu comes with fontconfig on Debian; Pillow's own bitmap font otherwise.
    try:
        return ImageFont.truetype("DejaVuSans.ttf", FONT_SIZE)
    except OSError:
        return ImageFont.load_default()


def read_captions(folder):
    captions = {}
    path = folder / "captions.txt"
    if path.exists():
        for line in path.read_text(encoding="latin-1").splitlines():
            name, _, shows = line.partition("\t")
            captions[name] = shows
    return captions


def caption_lines(text, font):
    """The caption in lines no wider than a picture, word by word; what does not fit is cut."""
    lines = [""]
    for word in text.split():
        joined = f"{lines[-1]} {word}".strip()
        if lines[-1] and font.getlength(joined) > THUMB_WIDTH:
            lines.append(word)
        else:
            lines[-1] = joined
    if len(lines) > CAPTION_LINES:
        lines = lines[:CAPTION_LINES]
        lines[-1] += " ..."
    return lines


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: contact-sheet.py SHOTS")
    folder = pathlib.Path(sys.argv[1])
    shots = sorted(p for p in folder.glob("*.png") if p.name != SHEET_NAME)
    if not shots:
        sys.exit(f"contact-sheet: no screenshots (*.png) in {folder}")
    captions = read_captions(folder)
    font = caption_font()
    line_height = FONT_SIZE + 4

    thumbs = []
    for shot in shots:
        with Image.open(shot) as image:
            image = image.convert("RGB")
            image.thumbnail((THUMB_WIDTH, THUMB_WIDTH), Image.LANCZOS)
            thumbs.append(image)
    cell_height = max(t.height for t in thumbs) + GAP // 2 + CAPTION_LINES * line_height
    rows = (len(shots) + COLUMNS - 1) // COLUMNS
    sheet = Image.new("RGB", (GAP + COLUMNS * (THUMB_WIDTH + GAP), GAP + rows * (cell_height + GAP)), BACKGROUND)
    draw = ImageDraw.Draw(sheet)
    for i, (shot, thumb) in enumerate(zip(shots, thumbs)):
        x = GAP + (i % COLUMNS) * (THUMB_WIDTH + GAP)
        y = GAP + (i // COLUMNS) * (cell_height + GAP)
        sheet.paste(thumb, (x, y))
        draw.rectangle((x - 1, y - 1, x + thumb.width, y + thumb.height), outline=FRAME)
        shows = captions.get(shot.stem, shot.stem.partition("-")[2].replace("_", " ").strip())
        for n, line in enumerate(caption_lines(f"{i + 1}. {shows}", font)):
            draw.text((x, y + thumb.height + GAP // 2 + n * line_height), line, fill=INK, font=font)
    sheet.save(folder / SHEET_NAME, optimize=True)


if __name__ == "__main__":
    main()
