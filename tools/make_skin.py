#!/usr/bin/env python3
"""Draws the progress window's skin (resource 202) and bar column (resource 203), and the
control's toolbox image (bitmap 1).

    make_skin.py OUTPUT-FOLDER     writes skin.bmp, bar.bmp and toolbox.bmp there

Every pixel comes from the rules below, so the artwork is reproducible and can be
reviewed as code. The geometry is fixed by the window: 367 by 54 pixels, the trough
exactly at the bar box (columns 150 to 344, rows 30 to 41), the key colour at exactly
the three outermost pixels of each corner; the bar column is the twelve listed colours.
"""
import os
import struct
import sys

WIDTH, HEIGHT = 367, 54
KEY = (255, 0, 255)
BAR_BOX = (150, 30, 345, 42)  # left, top, right, bottom (exclusive)
TEXT_COLOURS = ((156, 0, 51), (207, 35, 85))  # status and percent texts

BAR_COLUMN = [
    (253, 69, 129), (254, 45, 113), (254, 113, 159), (251, 139, 175),
    (249, 140, 175), (246, 123, 161), (237, 86, 133), (221, 59, 107),
    (206, 55, 99), (196, 59, 97), (192, 60, 97), (197, 74, 107),
]

BORDER = (112, 118, 130)
HIGHLIGHT = (255, 255, 255)
TROUGH_SHADOW = (158, 161, 170)  # top row and left column of the trough
TROUGH = (203, 206, 213)
CAPTION = (48, 54, 72)
SUBCAPTION = (110, 116, 132)

# A 5-wide pixel font, only the letters the caption needs; rows top to bottom, 8 rows
# with the baseline under row 7 (row 8 holds descenders).
GLYPHS = {
    'V': ["10001", "10001", "10001", "10001", "01010", "01010", "00100", "00000"],
    'e': ["00000", "00000", "01110", "10001", "11111", "10000", "01110", "00000"],
    'x': ["00000", "00000", "10001", "01010", "00100", "01010", "10001", "00000"],
    'a': ["00000", "00000", "01110", "00001", "01111", "10001", "01111", "00000"],
    'U': ["10001", "10001", "10001", "10001", "10001", "10001", "01110", "00000"],
    'p': ["00000", "00000", "11110", "10001", "10001", "11110", "10000", "10000"],
    'd': ["00001", "00001", "01111", "10001", "10001", "10001", "01111", "00000"],
    't': ["01000", "01000", "11110", "01000", "01000", "01001", "00110", "00000"],
    'r': ["00000", "00000", "10110", "11001", "10000", "10000", "10000", "00000"],
}


def panel(y):
    # Light grey, a little lighter at the top; the blue bias keeps it apart from the
    # trough's and the border's greys.
    v = 244 - (y * 16) // (HEIGHT - 1)
    return (v, v + 1, min(v + 5, 255))


def blend(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def is_key(x, y):
    for cx, cy, dx, dy in ((0, 0, 1, 1), (WIDTH - 1, 0, -1, 1), (0, HEIGHT - 1, 1, -1),
                           (WIDTH - 1, HEIGHT - 1, -1, -1)):
        if (x, y) in ((cx, cy), (cx + dx, cy), (cx, cy + dy)):
            return True
    return False


def is_border(x, y):
    if x in (0, WIDTH - 1) or y in (0, HEIGHT - 1):
        return True
    # The pixel diagonally inside each cut corner closes the rounded border.
    return (x in (1, WIDTH - 2)) and (y in (1, HEIGHT - 2))


def emblem_coverage(x, y, cx, cy, r):
    # Share of the pixel inside the disc, from 4 by 4 samples: a smooth edge.
    inside = 0
    for sy in range(4):
        for sx in range(4):
            px = x + (sx + 0.5) / 4 - cx
            py = y + (sy + 0.5) / 4 - cy
            inside += px * px + py * py <= r * r
    return inside / 16


def distance_to_segment(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    dx, dy = px - (ax + t * vx), py - (ay + t * vy)
    return (dx * dx + dy * dy) ** 0.5


def draw_emblem(pixels):
    # A rose badge in the bar's colours with a white check-shaped V: the payment module
    # is kept up to date.
    cx, cy, r = 27.0, 27.0, 19.0
    top, bottom = (246, 123, 161), (196, 59, 97)
    for y in range(int(cy - r) - 1, int(cy + r) + 2):
        for x in range(int(cx - r) - 1, int(cx + r) + 2):
            cover = emblem_coverage(x, y, cx, cy, r)
            if cover == 0:
                continue
            face = blend(top, bottom, (y - (cy - r)) / (2 * r))
            ring = emblem_coverage(x, y, cx, cy, r - 2)
            if ring < 1:  # a darker rim
                face = blend(blend(face, (150, 30, 70), 0.6), face, ring)
            # The V: two strokes 4 pixels wide, with a soft edge.
            d = min(distance_to_segment(x + 0.5, y + 0.5, 16, 17, 26, 38),
                    distance_to_segment(x + 0.5, y + 0.5, 26, 38, 38, 16))
            mark = max(0.0, min(1.0, 2.5 - d))
            face = blend(face, HIGHLIGHT, mark)
            pixels[y][x] = blend(pixels[y][x], face, cover)


def draw_text(pixels, text, left, top, colour, scale):
    x = left
    for ch in text:
        rows = GLYPHS[ch]
        for gy, row in enumerate(rows):
            for gx, bit in enumerate(row):
                if bit == '1':
                    for sy in range(scale):
                        for sx in range(scale):
                            pixels[top + gy * scale + sy][x + gx * scale + sx] = colour
        x += (len(rows[0]) + 1) * scale


def draw_trough(pixels):
    left, top, right, bottom = BAR_BOX
    for y in range(top - 1, bottom + 1):
        for x in range(left - 1, right + 1):
            if left <= x < right and top <= y < bottom:
                pixels[y][x] = TROUGH_SHADOW if (y == top or x == left) else TROUGH
            else:
                pixels[y][x] = HIGHLIGHT  # the lit rim that makes it look recessed


def skin():
    pixels = [[panel(y) for _ in range(WIDTH)] for y in range(HEIGHT)]
    draw_emblem(pixels)
    draw_text(pixels, "Vexa", 54, 10, CAPTION, 2)
    draw_text(pixels, "Updater", 55, 30, SUBCAPTION, 1)
    draw_trough(pixels)
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if is_key(x, y):
                pixels[y][x] = KEY
            elif is_border(x, y):
                pixels[y][x] = BORDER
    check(pixels)
    return pixels


def check(pixels):
    # The rules the window relies on, checked before anything is written.
    left, top, right, bottom = BAR_BOX
    keys = 0
    for y in range(HEIGHT):
        for x in range(WIDTH):
            p = pixels[y][x]
            keys += p == KEY
            assert (p == KEY) == is_key(x, y), f"key colour at ({x}, {y})"
            in_box = left <= x < right and top <= y < bottom
            assert (p in (TROUGH, TROUGH_SHADOW)) == in_box, f"trough colour at ({x}, {y})"
            assert p not in TEXT_COLOURS, f"a text colour at ({x}, {y})"
    assert keys == 12


def write_bmp(path, pixels):
    height, width = len(pixels), len(pixels[0])
    body = bytearray()
    for row in reversed(pixels):  # bottom-up
        for r, g, b in row:
            body += bytes((b, g, r, 0))
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 32, 0, len(body), 2835, 2835, 0, 0)
    file_header = struct.pack('<2sIHHI', b'BM', 14 + len(header) + len(body), 0, 0, 14 + len(header))
    with open(path + '.tmp', 'wb') as out:
        out.write(file_header + header + body)
    os.replace(path + '.tmp', path)


# The 16 colours of the toolbox image: the standard VGA palette.
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# The toolbox image, 16 by 15: the emblem's V on a maroon disc over the button grey.
# Letters index PALETTE16: . grey (7), o maroon (5), m magenta (13), w white (15).
TOOLBOX = [
    "................",
    ".....oooooo.....",
    "...oommmmmmoo...",
    "..ommmmmmmmmmo..",
    "..omwwmmmmwwmo..",
    ".ommwwmmmmwwmmo.",
    ".ommmwwmmwwmmmo.",
    ".ommmwwmmwwmmmo.",
    ".ommmmwwwwmmmmo.",
    "..ommmmwwmmmmo..",
    "..ommmmwwmmmmo..",
    "...oommmmmmoo...",
    ".....oooooo.....",
    "................",
    "................",
]


def write_bmp16(path, rows):
    # 4 bits per pixel, bottom-up, each row padded to 4 bytes.
    index = {'.': 7, 'o': 5, 'm': 13, 'w': 15}
    height, width = len(rows), len(rows[0])
    body = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for x in range(0, width, 2):
            line.append((index[row[x]] << 4) | index[row[x + 1]])
        line += bytes((4 - len(line) % 4) % 4)
        body += line
    palette = b''.join(bytes((b, g, r, 0)) for r, g, b in PALETTE16)
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(body), 2835, 2835, 16, 0)
    offset = 14 + len(header) + len(palette)
    file_header = struct.pack('<2sIHHI', b'BM', offset + len(body), 0, 0, offset)
    with open(path + '.tmp', 'wb') as out:
        out.write(file_header + header + palette + body)
    os.replace(path + '.tmp', path)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    write_bmp(os.path.join(folder, 'skin.bmp'), skin())
    write_bmp(os.path.join(folder, 'bar.bmp'), [[c] for c in BAR_COLUMN])
    assert len(TOOLBOX) == 15 and all(len(row) == 16 for row in TOOLBOX)
    write_bmp16(os.path.join(folder, 'toolbox.bmp'), TOOLBOX)


if __name__ == '__main__':
    main()
