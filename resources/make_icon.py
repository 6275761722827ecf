#!/usr/bin/env python3
"""Draws the program's icon (two file halves joined by a seam) and writes it as
zrkcombine.ico with 16, 32 and 48 pixel images. Run again after changing it."""
import math
import struct
import sys


def pixel(x, y, size):
    """RGBA of one pixel; coordinates 0..1 over the icon, y downwards."""
    u, v = (x + 0.5) / size, (y + 0.5) / size
    # Two sheets of paper, left one shifted up, meeting in the middle.
    left = 0.12 <= u < 0.5 and 0.10 <= v < 0.78
    right = 0.5 <= u < 0.88 and 0.22 <= v < 0.90
    if not (left or right):
        return (0, 0, 0, 0)
    top = 0.10 if left else 0.22
    t = (v - top) / 0.68
    # Dark blue fading to light blue, like the progress bar.
    base = (24 + int(120 * t), 64 + int(130 * t), 136 + int(110 * t))
    edge = 1.0 / size
    border = (u < 0.12 + edge * 1.5 or u > 0.88 - edge * 1.5 or
              v < top + edge * 1.5 or v > top + 0.68 - edge * 1.5 or abs(u - 0.5) < edge)
    if border:
        return (16, 32, 72, 255)
    # White text lines on each sheet.
    line = (v - top) * size % max(3, size // 8) < max(1, size // 24) and 0.2 < t < 0.85
    if line and (0.18 < u < 0.44 or 0.56 < u < 0.82):
        return (240, 244, 250, 255)
    return base + (255,)


def image(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up
        for x in range(size):
            r, g, b, a = pixel(x, y, size)
            rows.append(struct.pack('<4B', b, g, r, a))
    xor = b''.join(rows)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(mask_stride)
        for x in range(size):
            if pixel(x, y, size)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def main(path):
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'zrkcombine.ico')
