#!/usr/bin/env python3
"""Draws the asset catalogues' images as PNG files at 1x, 2x and 3x: the
app's ("Body", "AddButton-Ball", "AddButton-Shadow", "AddButton-Plus",
"Folder", "Box", "Settings", "AppIcon", "ConvertToImage", and the settings rows'
"Features-TouchID", "Features-FaceID", "Features-AutoBackup", the backup screens' "Features-Backup",
"Checked", "Unchecked") into Quillbox.app/Assets, and Jotshare's
("Body", "AppIconMy") into Extension/Resources/Jotshare.appex/Assets. Run
again after changing a shape."""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
APP = os.path.join(HERE, "Quillbox.app", "Assets")
EXTENSION = os.path.join(HERE, "..", "..", "Extension", "Resources", "Jotshare.appex", "Assets")


def write_png(path, width, height, rgba_at):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            r, g, b, a = rgba_at(x + 0.5, y + 0.5)
            rows += bytes(max(0, min(255, int(round(c * 255)))) for c in (r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def coverage(d, scale):
    """Anti-aliased inside test: d is a signed distance in points (< 0 inside)."""
    return max(0.0, min(1.0, 0.5 - d * scale))


def body(scale):
    # Warm paper with faint horizontal fibres. Every wave repeats whole
    # within the 32-point tile, so the tiled paper shows no seams.
    def at(x, y):
        px, py = x / scale, y / scale
        turn = 2 * math.pi / 32
        fibre = 0.008 * math.sin(py * turn * 10 + 1.3 * math.sin(px * turn * 3))
        v = 0.975 + fibre
        return (v, v - 0.01, v - 0.035, 1.0)
    return at


def ball(scale):
    r = 26.0
    return lambda x, y: (1, 1, 1, coverage(math.hypot(x / scale - 28, y / scale - 28) - r, scale))


def shadow(scale):
    def at(x, y):
        d = math.hypot(x / scale - 28, y / scale - 29.5) - 24.0
        a = 0.45 * math.exp(-max(0.0, d) ** 2 / 8.0) if d > -30 else 0.45
        return (0, 0, 0, a)
    return at


def plus(scale):
    def at(x, y):
        px, py = abs(x / scale - 28), abs(y / scale - 28)
        arm = max(min(px - 1.5, py - 10), min(py - 1.5, px - 10))
        d = min(max(px - 1.5, py - 10), max(py - 1.5, px - 10))
        return (1, 1, 1, coverage(d, scale))
    return at


def rounded_rect(px, py, x0, y0, x1, y1, radius):
    cx = min(max(px, x0 + radius), x1 - radius)
    cy = min(max(py, y0 + radius), y1 - radius)
    return math.hypot(px - cx, py - cy) - radius


GREY = (0.45, 0.45, 0.47)


def folder(scale):
    def at(x, y):
        px, py = x / scale, y / scale
        back = rounded_rect(px, py, 2, 6, 23, 21, 2)
        tab = rounded_rect(px, py, 2, 4, 10, 8, 1.5)
        front = rounded_rect(px, py, 2, 9, 23, 21, 2)
        outline = max(min(back, tab), -(min(back, tab) + 1.5))
        d = min(outline, max(abs(py - 9) - 0.6, abs(px - 12.5) - 10.5))
        return GREY + (coverage(min(d, max(front, -front - 1.5)), scale),)
    return at


def box(scale):
    def at(x, y):
        px, py = x / scale, y / scale
        lid = rounded_rect(px, py, 2, 4, 23, 9, 1.5)
        body_ = rounded_rect(px, py, 3.5, 9, 21.5, 22, 1.5)
        lid_o = max(lid, -(lid + 1.5))
        body_o = max(body_, -(body_ + 1.5))
        slot = max(abs(py - 13) - 0.75, abs(px - 12.5) - 3.5)
        return GREY + (coverage(min(lid_o, body_o, slot), scale),)
    return at


def gear(scale):
    def at(x, y):
        px, py = x / scale - 12.5, y / scale - 12.5
        r = math.hypot(px, py)
        angle = math.atan2(py, px)
        teeth = 8.5 + 1.8 * max(-1.0, min(1.0, 3 * math.cos(8 * angle)))
        outer = r - teeth
        hole = 3.2 - r
        return GREY + (coverage(max(outer, hole), scale),)
    return at


TINT = (240 / 255, 62 / 255, 14 / 255)


def app_icon(scale):
    # The title of Jotshare's bar: a tinted rounded square with three
    # white lines of text, the last one short.
    def at(x, y):
        px, py = x / scale, y / scale
        square = rounded_rect(px, py, 1, 1, 27, 27, 6)
        inside = coverage(square, scale)
        line = min(max(abs(py - row) - 1, abs(px - 14) - half) for row, half in ((9, 8), (14, 8), (19, 5)))
        ink = coverage(line, scale)
        return tuple(c * (1 - ink) + ink for c in TINT) + (inside,)
    return at


def fingerprint(scale):
    # Touch ID: three concentric rings, open at the bottom.
    def at(x, y):
        px, py = x / scale - 14, y / scale - 14
        r = math.hypot(px, py)
        ring = min(abs(r - radius) - 0.9 for radius in (3, 7, 11))
        gap = max(abs(px) - 2.5, -py)  # cut below the centre
        return TINT + (coverage(max(ring, -gap), scale),)
    return at


def face(scale):
    # Face ID: four corner brackets around two eyes and a smile.
    def at(x, y):
        px, py = x / scale, y / scale
        frame = rounded_rect(px, py, 2, 2, 26, 26, 6)
        outline = max(frame, -(frame + 1.6))
        corners = min(abs(px - 14) - 6, abs(py - 14) - 6)  # keep only near the corners
        eyes = min(math.hypot(px - 10, py - 11), math.hypot(px - 18, py - 11)) - 1.4
        smile = max(abs(math.hypot(px - 14, py - 14) - 5) - 0.8, 16 - py)
        return TINT + (coverage(min(max(outline, -corners), eyes, smile), scale),)
    return at


def auto_backup(scale):
    # A circular arrow: a ring open at the top right with a head at its end.
    def at(x, y):
        px, py = x / scale - 14, y / scale - 14
        r = math.hypot(px, py)
        angle = math.atan2(py, px)
        ring = max(abs(r - 9) - 1.4, -(abs(angle + 0.6) - 0.5))
        head = max(abs(px - 7) + abs(py + 9) - 4.5, -(py + 9))
        return TINT + (coverage(min(ring, head), scale),)
    return at


def manual_backup(scale):
    # A box with an arrow pointing down into it.
    def at(x, y):
        px, py = x / scale - 14, y / scale - 14
        tray = max(abs(px) - 10, abs(py - 7) - 4, -max(abs(px) - 8.5, py - 9.5))
        shaft = max(abs(px) - 1.3, abs(py + 4) - 6)
        head = max(abs(px) + (py - 4) - 0.5, -(py - 1))
        return TINT + (coverage(min(tray, shaft, head), scale),)
    return at


def checked(scale):
    # A filled circle with a tick cut out of it: a short stroke down to the
    # tick's foot, then a long one up to the right.
    def stroke(px, py, ax, ay, bx, by, half_width):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
        return math.hypot(px - ax - t * dx, py - ay - t * dy) - half_width

    def at(x, y):
        px, py = x / scale - 12, y / scale - 12
        disc = math.hypot(px, py) - 10
        short = stroke(px, py, -5.2, 0.2, -1.8, 3.8, 1.3)
        long = stroke(px, py, -1.8, 3.8, 5.2, -3.8, 1.3)
        return TINT + (coverage(max(disc, -min(short, long)), scale),)
    return at


def unchecked(scale):
    # An empty ring.
    def at(x, y):
        r = math.hypot(x / scale - 12, y / scale - 12)
        return GREY + (coverage(abs(r - 9.5) - 0.75, scale),)
    return at


def picture_frame(scale):
    # A framed picture: a rounded outline with a hill and a sun inside.
    def at(x, y):
        px, py = x / scale, y / scale
        outer = rounded_rect(px, py, 3, 5, 22, 20, 2.5)
        frame = max(outer, -(outer + 1.5))
        hill = max(py - 20.5, -(py - 21 + 6 * math.exp(-((px - 11) / 4) ** 2)), abs(px - 12.5) - 8)
        sun = math.hypot(px - 17.5, py - 10) - 2
        return GREY + (coverage(min(frame, hill, sun), scale),)
    return at


IMAGES = {
    "Body": (32, 32, body, (APP, EXTENSION)),
    "AddButton-Ball": (56, 56, ball, (APP,)),
    "AddButton-Shadow": (56, 56, shadow, (APP,)),
    "AddButton-Plus": (56, 56, plus, (APP,)),
    "Folder": (25, 25, folder, (APP,)),
    "Box": (25, 25, box, (APP,)),
    "Settings": (25, 25, gear, (APP,)),
    "Features-TouchID": (28, 28, fingerprint, (APP,)),
    "Features-FaceID": (28, 28, face, (APP,)),
    "Features-AutoBackup": (28, 28, auto_backup, (APP,)),
    "AppIconMy": (28, 28, app_icon, (EXTENSION,)),
    "AppIcon": (28, 28, app_icon, (APP,)),
    "ConvertToImage": (25, 25, picture_frame, (APP,)),
    "Features-Backup": (28, 28, manual_backup, (APP,)),
    "Checked": (24, 24, checked, (APP,)),
    "Unchecked": (24, 24, unchecked, (APP,)),
}


def main():
    for name, (w, h, make, catalogues) in IMAGES.items():
        for out in catalogues:
            os.makedirs(out, exist_ok=True)
            for scale in (1, 2, 3):
                suffix = "" if scale == 1 else "@%dx" % scale
                write_png(os.path.join(out, name + suffix + ".png"), w * scale, h * scale, make(scale))


if __name__ == "__main__":
    main()
