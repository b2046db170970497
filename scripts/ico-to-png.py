#!/usr/bin/env python3
"""Writes the 32 x 32 image of res/ReefTools.ico as a PNG, for the Linux menu entry.

Usage: ico-to-png.py ICON PNG. The icon holds one 32-bit image (see make-icon.py); the PNG
carries no time stamp, so the same icon gives the same bytes.
"""
import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    if kind != 1 or count < 1:
        sys.exit("ico-to-png: not an icon file: " + source)
    width, height, _, _, _, bits, _, offset = struct.unpack_from("<BBBBHHII", data, 6)
    width, height = width or 256, height or 256
    header_size, _, _, _, depth = struct.unpack_from("<IiiHH", data, offset)
    if bits != 32 or depth != 32:
        sys.exit("ico-to-png: only 32-bit images: " + source)
    pixels = offset + header_size
    rows = []
    for y in range(height):  # the bitmap is stored bottom-up, as BGRA
        start = pixels + (height - 1 - y) * width * 4
        row = bytearray()
        for x in range(width):
            b, g, r, a = data[start + 4 * x:start + 4 * x + 4]
            row += bytes((r, g, b, a))
        rows.append(b"\0" + bytes(row))

    def chunk(name, body):
        return (struct.pack(">I", len(body)) + name + body +
                struct.pack(">I", zlib.crc32(name + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
    open(target, "wb").write(png)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: ico-to-png.py ICON PNG")
    main(sys.argv[1], sys.argv[2])
