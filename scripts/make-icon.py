#!/usr/bin/env python3
"""Draws Tintwell's icon and writes it as a Windows .ico file.

A speech bubble filled with a red, a green and a blue band: 16 x 16 and
32 x 32 pixels, each in 16 colours (the standard VGA palette) and in 256
colours, for every Windows at 100 %; and in true colour with soft edges at
20, 24, 40 and 48 pixels, for the caption and the taskbar at 125 to 200 %,
and at 256 pixels as PNG, which Windows reads from Vista on (XP never picks
an image that large).

    make-icon.py OUTPUT.ico
"""
import struct
import sys
import zlib

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BANDS = [(230, 40, 40), (40, 180, 70), (40, 90, 230)]
BANDS_VGA = [(255, 0, 0), (0, 255, 0), (0, 0, 255)]
OUTLINE = (20, 20, 40)


class Bubble:
    """The artwork at one size, in pixels: a rounded box, a tail towards the
    lower left, and three bands. Snapped, the box's straight edges and the
    bands' borders lie between pixels, so that soft images stay sharp there."""

    def __init__(self, size, snapped=False):
        s = size / 32.0
        edge = round if snapped else float
        box = (1, 2, 31, 23) if snapped else (1.5, 2.5, 30.5, 22.5)
        self.size = size
        self.left, self.top, self.right, self.bottom = (edge(v * s) for v in box)
        self.radius = 7 * s
        self.tail = (self.bottom - 1 * s, edge(30 * s), 7 * s, 15 * s, 8 * s)
        band = (self.bottom - self.top) / 3
        self.borders = [edge(self.top + k * band) for k in (1, 2)]

    def covers(self, px, py):
        """True where the bubble covers the point (px, py)."""
        left, top, right, bottom, radius = (self.left, self.top, self.right, self.bottom,
                                            self.radius)
        if left <= px <= right and top <= py <= bottom:
            cx = min(max(px, left + radius), right - radius)
            cy = min(max(py, top + radius), bottom - radius)
            if (px - cx) ** 2 + (py - cy) ** 2 <= radius ** 2:
                return True
        tail_top, tail_bottom, tail_left, tail_right, narrowing = self.tail
        if tail_top <= py <= tail_bottom:
            t = (py - tail_top) / (tail_bottom - tail_top)
            return tail_left <= px <= tail_right - t * narrowing
        return False

    def band(self, py):
        """0, 1 or 2: the red, the green or the blue band."""
        return sum(py >= border for border in self.borders)

    def fill(self, px, py):
        """The smooth images' colour of the bubble's inside at point (px, py)."""
        r, g, b = BANDS[self.band(py)]
        # A soft highlight towards the top left gives the bubble depth.
        light = max(0.0, 1.0 - (px + py - 1) / (1.2 * self.size)) * 0.45
        return tuple(int(c + (255 - c) * light) for c in (r, g, b))


def draw(size, smooth):
    """Rows of (r, g, b) or None for transparent, top row first: each pixel
    as its centre falls, the bubble's edge a line of pixels."""
    bubble = Bubble(size)
    covered = [[bubble.covers(x + 0.5, y + 0.5) for x in range(size)] for y in range(size)]
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
            elif smooth:
                row.append(bubble.fill(x + 0.5, y + 0.5))
            else:
                row.append(BANDS_VGA[bubble.band(y + 0.5)])
        rows.append(row)
    return rows


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, palette[i])))


def draw_true_colour(size, samples=4):
    """Rows of (r, g, b, alpha), top row first: each pixel the mean of
    samples x samples points, so that the edges are soft."""
    bubble = Bubble(size, snapped=True)
    outline = max(1.0, size / 32)
    around = [(dx * outline, dy * outline)
              for dx in (-1, 0, 1) for dy in (-1, 0, 1) if dx or dy]
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            colours = []
            for sy in range(samples):
                for sx in range(samples):
                    px, py = x + (sx + 0.5) / samples, y + (sy + 0.5) / samples
                    if not bubble.covers(px, py):
                        continue
                    inner = all(bubble.covers(px + dx, py + dy) for dx, dy in around)
                    colours.append(bubble.fill(px, py) if inner else OUTLINE)
            if not colours:
                row.append((0, 0, 0, 0))
                continue
            mean = (round(sum(c[i] for c in colours) / len(colours)) for i in range(3))
            row.append((*mean, round(255 * len(colours) / samples ** 2)))
        rows.append(row)
    return rows


def and_mask(rows):
    """The transparency mask, bottom row first: a set bit where no colour is."""
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray((len(row) + 7) // 8)
        for x, transparent in enumerate(row):
            if transparent:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line + b'\0' * (-len(line) % 4)
    return bytes(mask)


def encode_true_colour(size):
    """A 32-bit image with its alpha, as XP and later read it."""
    rows = draw_true_colour(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(struct.pack('<BBBB', b, g, r, a)
                      for row in reversed(rows) for r, g, b, a in row)
    return header + pixels + and_mask([[a == 0 for *_, a in row] for row in rows])


def encode_png(size):
    """A PNG image, as Windows reads the 256-pixel one from Vista on."""
    rows = draw_true_colour(size, samples=2)
    raw = b''.join(b'\0' + bytes(v for pixel in row for v in pixel) for row in rows)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data)))
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


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
    mask = and_mask([[c is None for c in row] for row in rows])
    return header + colours + bytes(xor) + mask, len(palette)


def main():
    images = [(size, bits) for bits in (4, 8) for size in (16, 32)]
    encoded = [encode(size, bits) for size, bits in images]
    for size in (20, 24, 40, 48):
        images.append((size, 32))
        encoded.append((encode_true_colour(size), 0))
    images.append((256, 32))
    encoded.append((encode_png(256), 0))
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for (size, bits), (data, colours) in zip(images, encoded):
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, colours % 256, 0, 1,
                               bits, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], 'wb') as out:
        out.write(directory + entries + b''.join(data for data, _ in encoded))


if __name__ == '__main__':
    main()
