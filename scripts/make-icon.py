#!/usr/bin/env python3
"""Draws the program icon: a branching coral on a sea-blue disc, with two air bubbles.

Writes res/ReefTools.ico: one 32 x 32 image, 32 bits per pixel, Windows icon-file format,
4286 bytes (6-byte header, one 16-byte directory entry, 40-byte bitmap header, 4096 bytes of
colour, 128 bytes of mask). Run it again after changing the drawing.
"""
import math
import os
import struct
import sys

SIZE = 32
SUPER = 4  # supersampling per axis, for smooth edges


def seg_dist(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - (ax + t * vx), py - (ay + t * vy))


# Coral branches as (x0, y0, x1, y1, half-thickness), y grows downwards.
BRANCHES = [
    (16.0, 28.0, 16.0, 17.0, 2.2),
    (16.0, 19.0, 10.0, 12.0, 1.8),
    (10.0, 12.0, 8.0, 6.5, 1.5),
    (10.0, 13.0, 5.5, 11.0, 1.3),
    (16.0, 18.0, 21.5, 11.0, 1.8),
    (21.5, 11.0, 23.5, 6.0, 1.5),
    (21.5, 12.0, 26.0, 10.5, 1.3),
    (16.0, 17.0, 16.0, 7.0, 1.6),
]
BUBBLES = [(25.0, 20.0, 1.6), (23.0, 24.5, 1.0)]


def sample(x, y):
    """Colour (r, g, b, a) of one sub-sample in icon coordinates."""
    cx, cy, r = 16.0, 16.0, 15.5
    d = math.hypot(x - cx, y - cy)
    if d > r:
        return (0, 0, 0, 0)
    # Sea: light at the top, deep at the bottom.
    t = y / SIZE
    sea = (int(40 + 10 * (1 - t)), int(150 - 90 * t), int(220 - 80 * t), 255)
    # Sandy floor.
    if y > 26.5:
        sea = (222, 196, 140, 255)
    if d > r - 1.2:
        return (10, 40, 90, 255)  # rim, so the disc reads on light and dark task bars
    for (bx, by, br) in BUBBLES:
        bd = math.hypot(x - bx, y - by)
        if bd <= br:
            return (235, 250, 255, 255) if bd > br - 0.7 else (120, 200, 240, 255)
    best = min(seg_dist(x, y, *b[:4]) - b[4] for b in BRANCHES)
    if best <= 0:
        # Coral: orange-red, a little lighter towards the tips.
        return (255, int(110 + 40 * (1 - y / SIZE)), 80, 255) if best > -0.8 else (240, 80, 60, 255)
    return sea


def render():
    pixels = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0, 0, 0, 0]
            for sy in range(SUPER):
                for sx in range(SUPER):
                    r, g, b, a = sample(px + (sx + 0.5) / SUPER, py + (sy + 0.5) / SUPER)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SUPER * SUPER
            alpha = acc[3] / n
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(c / acc[3])) for c in acc[:3]) + (int(round(alpha)),))
        pixels.append(row)
    return pixels


def ico_bytes(pixels):
    colour = bytearray()
    mask = bytearray()
    for py in reversed(range(SIZE)):  # bottom-up rows
        bits = 0
        for px in range(SIZE):
            r, g, b, a = pixels[py][px]
            colour += bytes((b, g, r, a))
            bits = (bits << 1) | (1 if a == 0 else 0)
        mask += struct.pack(">I", bits)
    header = struct.pack("<HHH", 0, 1, 1)
    image_size = 40 + len(colour) + len(mask)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, image_size, 6 + 16)
    bitmap_header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0,
                                len(colour) + len(mask), 0, 0, 0, 0)
    data = header + entry + bitmap_header + bytes(colour) + bytes(mask)
    assert len(data) == 4286, len(data)
    return data


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "res", "ReefTools.ico")
    with open(out, "wb") as f:
        f.write(ico_bytes(render()))


if __name__ == "__main__":
    main()
