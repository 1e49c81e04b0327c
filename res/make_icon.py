#!/usr/bin/env python3
"""Draws the program's icon, a disc with a menu card in front of it, and
writes it as a Windows icon file with six images: 16, 32 and 48 pixels,
each with 16 colours (4 bits per pixel, the standard 16-colour palette) and
with 256 colours (8 bits per pixel, a palette made for the image).

The images are drawn from shapes, eight by eight samples per pixel, so the
disc's edge and the card's lines fall cleanly on every size; a pixel is
opaque when at least half of its samples are, and takes their mean colour.
Only the standard library is used, so the icon can be redrawn anywhere:

    python3 res/make_icon.py                      # rewrites res/quorlan.ico
    python3 res/make_icon.py out.ico --preview out.png

The output is byte-for-byte the same on every run.
"""
import argparse
import math
import os
import struct
import zlib

SAMPLES = 8  # per pixel and axis

# The standard 16-colour palette, in its usual order: black first, so that
# the transparent pixels (colour 0 under a set mask bit) leave the screen as
# it is.
VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# Per size: the disc (centre, radius, hub radius, hole radius) and the card
# (left, top, right, bottom), the selected band's top and bottom, the rows'
# tops and thickness, the bullet's left and the line's left and right. Card
# and rows lie on whole pixels so that they stay sharp at 16 pixels.
GEOMETRY = {
    16: dict(disc=(6.5, 6.5, 6.5, 2.3, 1.0), card=(7, 6, 16, 16), band=(7, 10),
             rows=(8, 11, 13), thick=1, bullet=9, line=(11, 14)),
    32: dict(disc=(13.0, 13.0, 13.0, 4.6, 1.8), card=(14, 13, 32, 32), band=(15, 21),
             rows=(17, 23, 27), thick=2, bullet=17, line=(21, 29)),
    48: dict(disc=(19.5, 19.5, 19.5, 6.8, 2.6), card=(21, 21, 48, 48), band=(23, 32),
             rows=(26, 35, 41), thick=3, bullet=25, line=(31, 44)),
}

# The inks per colour depth. With 16 colours every ink is one of the
# palette's own and the disc has no rainbow, which the palette cannot show.
INKS = {
    8: dict(outline=(64, 68, 80), silver=(190, 196, 208), tint=0.22, hub=(226, 229, 236),
            hub_rim=(140, 146, 158), card=(255, 255, 255), card_outline=(52, 56, 68),
            selected=(28, 84, 188), bullets=((255, 255, 255), (44, 150, 60), (214, 70, 40)),
            row_line=(150, 150, 150)),
    4: dict(outline=(128, 128, 128), silver=(192, 192, 192), tint=0.0, hub=(255, 255, 255),
            hub_rim=(128, 128, 128), card=(255, 255, 255), card_outline=(0, 0, 0),
            selected=(0, 0, 128), bullets=((255, 255, 255), (0, 128, 0), (128, 0, 0)),
            row_line=(128, 128, 128)),
}


def Mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def Hue(h):
    """A soft rainbow colour for the disc's sheen, h in turns."""
    return tuple(0.5 + 0.5 * math.cos(2 * math.pi * (h - k / 3.0)) for k in range(3))


def DiscColour(g, ink, x, y):
    """The disc's colour at (x, y), or None outside it or in its hole."""
    cx, cy, radius, hub, hole = g["disc"]
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    if r > radius or r < hole:
        return None
    if r > radius - 1.0:
        return ink["outline"]
    if r < hole + 0.9 or hub - 0.9 <= r < hub:
        return ink["hub_rim"]
    if r < hub:
        return ink["hub"]
    phi = math.atan2(dy, dx)
    # Two light wedges across the disc, as light falls on a pressed surface,
    # and a faint rainbow that turns twice around it.
    light = (0.5 + 0.5 * math.cos(2 * (phi + math.pi / 4))) ** 3
    colour = Mix(ink["silver"], tuple(255 * c for c in Hue(phi / math.pi)), ink["tint"])
    return Mix(colour, (255, 255, 255), 0.75 * light)


def CardColour(g, ink, x, y):
    """The menu card's colour at (x, y), or None outside it: a framed list of
    three rows, a bullet and a line of text each, the first one selected."""
    left, top, right, bottom = g["card"]
    if not (left <= x < right and top <= y < bottom):
        return None
    if x < left + 1 or x >= right - 1 or y < top + 1 or y >= bottom - 1:
        return ink["card_outline"]
    selected = g["band"][0] <= y < g["band"][1]
    background = ink["selected"] if selected else ink["card"]
    for row, row_top in enumerate(g["rows"]):
        if row_top <= y < row_top + g["thick"]:
            if g["bullet"] <= x < g["bullet"] + g["thick"]:
                return ink["bullets"][row]
            if g["line"][0] <= x < g["line"][1]:
                return ink["card"] if selected else ink["row_line"]
    return background


def ShadowFalls(g, x, y):
    """True where the card's shadow darkens the disc: one pixel to its left."""
    left, top, _, bottom = g["card"]
    return left - 1 <= x < left and top + 1 <= y < bottom


def Render(size, bits):
    """Rows of pixels, top row first: an (r, g, b) tuple, or None where the
    icon is transparent."""
    g, ink = GEOMETRY[size], INKS[bits]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(SAMPLES):
                y = py + (sy + 0.5) / SAMPLES
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    colour = CardColour(g, ink, x, y)
                    if colour is None:
                        colour = DiscColour(g, ink, x, y)
                        if colour is not None and ShadowFalls(g, x, y):
                            colour = Mix(colour, (0, 0, 0), 0.35)
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered * 2 >= SAMPLES * SAMPLES:
                row.append(tuple(int(round(t / covered)) for t in total))
            else:
                row.append(None)
        rows.append(row)
    return rows


def Distance(a, b):
    # Weighted as the eye weighs the channels, enough to pick a palette entry.
    return 2 * (a[0] - b[0]) ** 2 + 4 * (a[1] - b[1]) ** 2 + 3 * (a[2] - b[2]) ** 2


def MedianCut(counts, limit):
    """At most `limit` colours that stand for the counted colours: boxes of
    colours split at the median of their widest channel."""
    boxes = [sorted(counts)]
    while len(boxes) < limit:
        best, best_range, best_channel = None, 0, 0
        for i, box in enumerate(boxes):
            for channel in range(3):
                values = [c[channel] for c in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_channel = i, spread, channel
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda c: (c[best_channel], c))
        half = sum(counts[c] for c in box) / 2.0
        running, cut = 0, 1
        for cut in range(1, len(box)):
            running += counts[box[cut - 1]]
            if running >= half:
                break
        boxes[best:best] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        weight = sum(counts[c] for c in box)
        palette.append(tuple(int(round(sum(c[i] * counts[c] for c in box) / weight)) for i in range(3)))
    return palette


def Palette(pixels, bits):
    if bits == 4:
        return list(VGA_PALETTE)
    counts = {}
    for row in pixels:
        for colour in row:
            if colour is not None:
                counts[colour] = counts.get(colour, 0) + 1
    palette = [(0, 0, 0)] + MedianCut(counts, 255)
    return palette + [(0, 0, 0)] * (256 - len(palette))


def Quantise(pixels, palette):
    """Palette indices per pixel (0 where transparent) and the mask rows."""
    nearest = {}
    indices, mask = [], []
    for row in pixels:
        index_row, mask_row = [], []
        for colour in row:
            if colour is None:
                index_row.append(0)
                mask_row.append(1)
                continue
            if colour not in nearest:
                nearest[colour] = min(range(len(palette)), key=lambda i: (Distance(colour, palette[i]), i))
            index_row.append(nearest[colour])
            mask_row.append(0)
        indices.append(index_row)
        mask.append(mask_row)
    return indices, mask


def PackRow(values, bits):
    """One bitmap row, most significant bits first, padded to 4 bytes."""
    out = bytearray()
    per_byte = 8 // bits
    for i in range(0, len(values), per_byte):
        byte = 0
        for j in range(per_byte):
            v = values[i + j] if i + j < len(values) else 0
            byte |= v << (8 - bits * (j + 1))
        out.append(byte)
    while len(out) % 4:
        out.append(0)
    return bytes(out)


def IconImage(size, bits):
    """One icon image: header, palette, colour bits and mask, bottom row first."""
    pixels = Render(size, bits)
    palette = Palette(pixels, bits)
    indices, mask = Quantise(pixels, palette)
    xor = b"".join(PackRow(row, bits) for row in reversed(indices))
    andmask = b"".join(PackRow(row, 1) for row in reversed(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + xor + andmask, palette, indices, mask


IMAGES = [(16, 4), (32, 4), (48, 4), (16, 8), (32, 8), (48, 8)]


def BuildIcon():
    """The icon file's bytes and, per image, what it shows (for the preview)."""
    images = [IconImage(size, bits) for size, bits in IMAGES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), (data, _, _, _) in zip(IMAGES, images):
        directory += struct.pack("<BBBBHHII", size, size, 16 if bits == 4 else 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return directory + b"".join(data for data, _, _, _ in images), images


def WritePng(path, width, height, rgb_rows):
    def Chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rgb_rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + Chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + Chunk(b"IDAT", zlib.compress(raw, 9)) + Chunk(b"IEND", b""))


def WritePreview(path, images, scale=4):
    """The six images as stored, enlarged, on a light and on a dark ground."""
    gap = 8
    width = sum(size * scale + gap for size, _ in IMAGES) + gap
    band = 48 * scale + 2 * gap
    canvas = [[(236, 236, 236)] * width for _ in range(band)] + [[(40, 44, 52)] * width for _ in range(band)]
    for ground in range(2):
        x0 = gap
        for (size, _), (_, palette, indices, mask) in zip(IMAGES, images):
            for y in range(size * scale):
                for x in range(size * scale):
                    if not mask[y // scale][x // scale]:
                        canvas[ground * band + gap + y][x0 + x] = palette[indices[y // scale][x // scale]]
            x0 += size * scale + gap
    WritePng(path, width, len(canvas), canvas)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("output", nargs="?", default=os.path.join(here, "quorlan.ico"))
    parser.add_argument("--preview", help="also write the images, enlarged, as a PNG file")
    args = parser.parse_args()
    data, images = BuildIcon()
    with open(args.output, "wb") as f:
        f.write(data)
    if args.preview:
        WritePreview(args.preview, images)


if __name__ == "__main__":
    main()
