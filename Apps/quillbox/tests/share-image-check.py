"""Looks at the card share-image.qbs saved: a PNG at the phone's scale of 3,
a one-line note's card (its text wide plus 20 points, at most 375; its
line high plus 34), a black frame, white within, dark text in the text
area with the note's emoji in its own colours, the footer's tinted icon at
the bottom right."""
import sys

from device_checks import read_png

SCALE = 3


def main():
    width, height, pixel = read_png(sys.argv[1] + "/Photos/IMG_0001.png")
    assert width % SCALE == 0 and height % SCALE == 0, (width, height)
    w, h = width // SCALE, height // SCALE
    assert 20 + 60 <= w <= 375, "card width %d" % w
    assert 34 + 15 <= h <= 34 + 30, "card height %d for one line" % h

    def dark(p):
        return max(p) < 100

    def white(p):
        return min(p) > 245

    # The frame: the outermost pixels on every side are black.
    for x, y in ((0, height // 2), (width - 1, height // 2), (width // 2, 0), (width // 2, height - 1), (0, 0)):
        assert dark(pixel(x, y)), "frame pixel %r at %d,%d" % (pixel(x, y), x, y)
    # White within the frame, in the margins.
    for x, y in ((5 * SCALE, 5 * SCALE), (width // 2, 5 * SCALE), (5 * SCALE, height - 5 * SCALE)):
        assert white(pixel(x, y)), "margin pixel %r at %d,%d" % (pixel(x, y), x, y)
    # Dark text in the text area.
    text = [pixel(x, y) for y in range(10 * SCALE, height - 14 * SCALE) for x in range(10 * SCALE, width - 10 * SCALE)]
    inked = sum(1 for p in text if dark(p))
    assert inked > 50, "only %d dark pixels of text" % inked
    # The flan's custard and caramel, drawn by the emoji font (no font drew
    # it, it would be a grey box with its code).
    golden = sum(1 for p in text if p[0] > 180 and p[1] > 110 and p[2] < 90)
    assert golden > 100, "only %d golden pixels of the emoji" % golden
    # The footer's icon: tinted pixels at the bottom right.
    footer = [pixel(x, y) for y in range(height - 14 * SCALE, height - 3 * SCALE) for x in range(width // 2, width - 3)]
    assert any(p[0] > 200 and p[2] < 120 for p in footer), "no tinted icon in the footer"
    print("card %dx%d points, %d dark text pixels" % (w, h, inked))


main()
