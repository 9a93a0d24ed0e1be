#!/usr/bin/env python3
"""A 24-bit bottom-up BMP (as shot.exe writes it) as a PNG, with Python alone.

  bmp_to_png.py IN.bmp OUT.png
"""
import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    if data[:2] != b"BM":
        sys.exit("%s: not a BMP" % source)
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0 or width <= 0 or height <= 0:
        sys.exit("%s: not a plain 24-bit BMP" % source)
    row = (width * 3 + 3) & ~3
    raw = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up to top-down
        line = data[offset + y * row: offset + y * row + width * 3]
        raw.append(0)  # no filter
        for x in range(0, len(line), 3):
            raw += bytes((line[x + 2], line[x + 1], line[x]))  # BGR to RGB

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    open(target, "wb").write(png)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    main(sys.argv[1], sys.argv[2])
