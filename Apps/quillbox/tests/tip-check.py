"""Looks at the picture tip-1.qbs took of the tip over the folder list: a
yellow bubble (245, 234, 146) whose pointer narrows to one apex, centred on
the row it points at (rows span the phone's width of 390 points), with the
bubble's body below the apex, and the row's title above it."""
import os
import sys

from device_checks import check, finish, read_png

SCALE = 3


def yellow(p):
    return abs(p[0] - 245) <= 3 and abs(p[1] - 234) <= 3 and abs(p[2] - 146) <= 3


def main():
    width, height, pixel = read_png(os.path.join(sys.argv[1], "tip.png"))
    check("a phone's screen at scale 3: %d pixels wide" % width, width == 390 * SCALE)
    rows = {}
    for y in range(height):
        xs = [x for x in range(width) if yellow(pixel(x, y))]
        if xs:
            rows[y] = (min(xs), max(xs))
    check("yellow pixels on screen", bool(rows))
    if not rows:
        return finish()
    apex_y = min(rows)
    left, right = rows[apex_y]
    apex_x = (left + right) / 2
    check("the pointer narrows to an apex (%d pixels wide)" % (right - left + 1), right - left + 1 <= 3 * SCALE)
    # The pointer widens as it goes down; 12 points below the apex starts
    # the bubble's body, far wider than the pointer.
    half = rows.get(apex_y + 6 * SCALE, (0, -1))
    body = rows.get(apex_y + 20 * SCALE, (0, -1))
    check("the pointer widens", 6 * SCALE <= half[1] - half[0] <= 16 * SCALE)
    check("the bubble's body lies below the pointer", body[1] - body[0] > 100 * SCALE)
    check("the apex is centred on the row (x %.0f)" % apex_x, abs(apex_x - width / 2) <= 2 * SCALE)
    # The row's title ("Work") is dark text in the 30 points above the apex.
    above = [pixel(x, y) for y in range(max(0, apex_y - 30 * SCALE), apex_y) for x in range(0, width // 3)]
    check("the row's title above the apex", sum(1 for p in above if max(p) < 90) > 30)
    finish()


main()
