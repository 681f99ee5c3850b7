#!/usr/bin/env python3
"""Draws Tintwell's icon and writes it as a Windows .ico file.

A speech bubble filled with a red, a green and a blue band: four images,
16 x 16 and 32 x 32 pixels, each in 16 colours (the standard VGA palette)
and in 256 colours.

    make-icon.py OUTPUT.ico
"""
import struct
import sys

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BANDS = [(230, 40, 40), (40, 180, 70), (40, 90, 230)]
BANDS_VGA = [(255, 0, 0), (0, 255, 0), (0, 0, 255)]
OUTLINE = (20, 20, 40)


def inside_bubble(x, y, size):
    """True where the bubble (rounded box plus a tail) covers pixel (x, y)."""
    s = size / 32.0
    left, top, right, bottom, radius = 1.5 * s, 2.5 * s, 30.5 * s, 22.5 * s, 7 * s
    px, py = x + 0.5, y + 0.5
    if left <= px <= right and top <= py <= bottom:
        cx = min(max(px, left + radius), right - radius)
        cy = min(max(py, top + radius), bottom - radius)
        if (px - cx) ** 2 + (py - cy) ** 2 <= radius ** 2:
            return True
    # The tail: a triangle below the box, towards the lower left.
    tail_top, tail_bottom = bottom - 1 * s, 30 * s
    if tail_top <= py <= tail_bottom:
        t = (py - tail_top) / (tail_bottom - tail_top)
        return 7 * s + t * 0 <= px <= 15 * s - t * 8 * s
    return False


def draw(size, smooth):
    """Rows of (r, g, b) or None for transparent, top row first."""
    covered = [[inside_bubble(x, y, size) for x in range(size)] for y in range(size)]
    band_height = (22.5 * size / 32 - 2.5 * size / 32) / 3
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            if not covered[y][x]:
                row.append(None)
                continue
            edge = any(
                not (0 <= x + dx < size and 0 <= y + dy < size and covered[y + dy][x + dx])
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            if edge:
                row.append(OUTLINE)
                continue
            band = min(2, max(0, int((y + 0.5 - 2.5 * size / 32) // band_height)))
            r, g, b = (BANDS if smooth else BANDS_VGA)[band]
            if smooth:
                # A soft highlight towards the top left gives the bubble depth.
                light = max(0.0, 1.0 - (x + y) / (1.2 * size)) * 0.45
                r, g, b = (int(c + (255 - c) * light) for c in (r, g, b))
            row.append((r, g, b))
        rows.append(row)
    return rows


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, palette[i])))


def encode(size, bits):
    rows = draw(size, smooth=bits == 8)
    if bits == 4:
        palette = VGA16
    else:
        used = sorted({c for row in rows for c in row if c is not None})
        palette = (VGA16 + [c for c in used if c not in VGA16])[:256]
        palette += [(0, 0, 0)] * (256 - len(palette))
    indices = [[0 if c is None else nearest(c, palette) for c in row] for row in rows]

    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                         len(palette), 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    xor = bytearray()
    for row in reversed(indices):
        if bits == 4:
            line = bytes((row[i] << 4) | row[i + 1] for i in range(0, size, 2))
        else:
            line = bytes(row)
        xor += line + b'\0' * (-len(line) % 4)
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray((size + 7) // 8)
        for x, c in enumerate(row):
            if c is None:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line + b'\0' * (-len(line) % 4)
    return header + colours + bytes(xor) + bytes(mask), len(palette)


def main():
    images = [(size, bits) for bits in (4, 8) for size in (16, 32)]
    encoded = [encode(size, bits) for size, bits in images]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for (size, bits), (data, colours) in zip(images, encoded):
        entries += struct.pack('<BBBBHHII', size, size, colours if colours < 256 else 0, 0, 1,
                               bits, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], 'wb') as out:
        out.write(directory + entries + b''.join(data for data, _ in encoded))


if __name__ == '__main__':
    main()
