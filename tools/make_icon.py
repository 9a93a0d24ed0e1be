#!/usr/bin/env python3
"""Writes the program's icon: one group of three images (16, 32, 48 pixels),
16 colours with an AND mask, as Windows XP reads them. The picture has two
colours and a shade, so 16 colours lose nothing a person sees, at a sixth of
the bytes of 32-bit images. Run it again only to change the picture; the
build uses the .ico it wrote."""
import struct
import sys


def pixel(x, y, size):
    """A blue rounded square with a white plaster cross: a fix."""
    r = size * 0.2
    # Distance into the nearest corner square; outside the quarter circle is clear.
    cx = min(max(x, r), size - 1 - r)
    cy = min(max(y, r), size - 1 - r)
    if (x - cx) ** 2 + (y - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    bar = max(2, size // 5)
    mid = size / 2
    lo, hi = size * 0.2, size * 0.8
    if (abs(x + 0.5 - mid) <= bar / 2 and lo <= y < hi) or (abs(y + 0.5 - mid) <= bar / 2 and lo <= x < hi):
        return (255, 255, 255, 255)
    shade = int(200 - 80 * y / size)
    return (40, 90, shade, 255)  # RGBA


# Index 0 is black (under the mask: clear), 1 white, 2 to 15 the blue shades.
SHADES = [200 - 80 * i // 13 for i in range(14)]
PALETTE = [(0, 0, 0), (255, 255, 255)] + [(40, 90, s) for s in SHADES]


def index_of(rgba):
    r, g, b, a = rgba
    if a == 0:
        return 0
    if (r, g, b) == (255, 255, 255):
        return 1
    return 2 + min(range(14), key=lambda i: abs(SHADES[i] - b))


def image(size):
    row_bytes = ((size * 4 + 31) // 32) * 4
    xor = bytearray()
    for y in reversed(range(size)):  # bottom-up
        row = bytearray(row_bytes)
        for x in range(size):
            row[x // 2] |= index_of(pixel(x, y, size)) << (0 if x % 2 else 4)
        xor += row
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytearray()
    for y in reversed(range(size)):
        bits = bytearray(mask_row)
        for x in range(size):
            if pixel(x, y, size)[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(xor) + len(and_mask), 0, 0,
                         16, 0)
    return header + palette + bytes(xor) + bytes(and_mask)


def main(path):
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'hotfix.ico')
