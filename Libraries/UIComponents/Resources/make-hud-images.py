#!/usr/bin/env python3
"""Draws the HUD's images ("info", "success", "error", "angle-mask") as PNG
files into QBProgressHUD.bundle. Run again after changing a shape."""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "QBProgressHUD.bundle")


def write_png(path, size, alpha_at):
    rows = b""
    for y in range(size):
        row = bytearray([0])
        for x in range(size):
            a = max(0, min(255, int(round(alpha_at(x + 0.5, y + 0.5) * 255))))
            row += bytes([0, 0, 0, a])
        rows += bytes(row)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def near_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def stroke(segments, width):
    def alpha(x, y):
        d = min(near_segment(x, y, *s) for s in segments)
        return max(0.0, min(1.0, width / 2 + 0.5 - d))
    return alpha


def ring_with(inner):
    def alpha(x, y):
        r = math.hypot(x - 14, y - 14)
        ring = max(0.0, min(1.0, 1.5 + 0.5 - abs(r - 12)))
        return max(ring, inner(x, y))
    return alpha


def info(x, y):
    dot = max(0.0, min(1.0, 1.8 + 0.5 - math.hypot(x - 14, y - 8.5)))
    return max(dot, stroke([(14, 12.5, 14, 20)], 2.4)(x, y))


def angle_mask(x, y):
    # Clear just after the top, growing clockwise round the circle to opaque.
    angle = math.atan2(y - 64, x - 64) + math.pi / 2
    return (angle % (2 * math.pi)) / (2 * math.pi)


os.makedirs(OUT, exist_ok=True)
write_png(os.path.join(OUT, "info.png"), 28, ring_with(info))
write_png(os.path.join(OUT, "success.png"), 28, ring_with(stroke([(8.5, 14.5, 12.5, 18.5), (12.5, 18.5, 19.5, 10)], 2.2)))
write_png(os.path.join(OUT, "error.png"), 28, ring_with(stroke([(9.5, 9.5, 18.5, 18.5), (18.5, 9.5, 9.5, 18.5)], 2.2)))
write_png(os.path.join(OUT, "angle-mask.png"), 128, angle_mask)
