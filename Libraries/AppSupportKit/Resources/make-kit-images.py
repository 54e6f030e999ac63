#!/usr/bin/env python3
"""Draws the kit's popup images into TXKit.bundle as PNG files at 2x (the
scale the kit ships its images in): the close cross "CloseX", the rating
popup's three faces "TXRateSadFace", "TXRateRegularFace" and
"TXRateHappyFace", and the what's-new card's "WhatsNew". The PNG writer and
the anti-aliased coverage are the app's asset script's. Run again after
changing a shape."""
import importlib.util
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
BUNDLE = os.path.join(HERE, "TXKit.bundle")
SCALE = 2

_spec = importlib.util.spec_from_file_location(
    "make_assets", os.path.join(HERE, "..", "..", "..", "Notes", "Resources", "make-assets.py"))
_assets = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_assets)
write_png, coverage = _assets.write_png, _assets.coverage


def close_x(scale):
    # A grey cross in a faint round well, 30 points.
    def at(x, y):
        px, py = x / scale - 15, y / scale - 15
        u, v = abs(px + py) / math.sqrt(2), abs(px - py) / math.sqrt(2)
        cross = min(max(u - 1.1, v - 6.5), max(v - 1.1, u - 6.5))
        well = math.hypot(px, py) - 13
        c = coverage(cross, scale)
        a = max(c, 0.08 * coverage(well, scale))
        g = 0.45 * c / a if a else 0
        return (g, g, g, a)
    return at


def face(mood, colour):
    # A filled face, 60 points: two eyes and a mouth bent by `mood`
    # (-1 frowns, 0 is straight, 1 smiles), cut out of the disc.
    def make(scale):
        def at(x, y):
            px, py = x / scale - 30, y / scale - 30
            disc = math.hypot(px, py) - 28
            eyes = min(math.hypot(px + 9, py + 7), math.hypot(px - 9, py + 7)) - 3.2
            mouth_y = 10 + mood * 0.03 * (144 - px * px)
            mouth = max(abs(py - mouth_y) - 1.8, abs(px) - 12)
            ink = coverage(disc, scale) * (1 - coverage(min(eyes, mouth), scale))
            return colour + (ink,)
        return at
    return make


def whats_new(scale):
    # A white five-pointed star, 40 points, for the themed circle.
    points = []
    for i in range(10):
        r = 17 if i % 2 == 0 else 7
        a = math.pi * i / 5
        points.append((20 + r * math.sin(a), 21 - r * math.cos(a)))

    def at(x, y):
        px, py = x / scale, y / scale
        inside, nearest = False, float("inf")
        for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
            if (y0 > py) != (y1 > py) and px < x0 + (py - y0) * (x1 - x0) / (y1 - y0):
                inside = not inside
            t = max(0, min(1, ((px - x0) * (x1 - x0) + (py - y0) * (y1 - y0)) / ((x1 - x0) ** 2 + (y1 - y0) ** 2)))
            nearest = min(nearest, math.hypot(px - x0 - t * (x1 - x0), py - y0 - t * (y1 - y0)))
        return (1, 1, 1, coverage(-nearest if inside else nearest, scale))
    return at


IMAGES = {
    "CloseX": (30, 30, close_x),
    "TXRateSadFace": (60, 60, face(-1, (0.90, 0.36, 0.33))),
    "TXRateRegularFace": (60, 60, face(0, (0.96, 0.70, 0.25))),
    "TXRateHappyFace": (60, 60, face(1, (0.30, 0.74, 0.42))),
    "WhatsNew": (40, 40, whats_new),
}


def main():
    for name, (w, h, make) in IMAGES.items():
        write_png(os.path.join(BUNDLE, "%s@%dx.png" % (name, SCALE)), w * SCALE, h * SCALE, make(SCALE))


if __name__ == "__main__":
    main()
