"""Looks at the card share-image.qbs saved: a PNG at the phone's scale of 3,
a one-line note's card (its text wide plus 20 points, at most 375; its
line high plus 34), a black frame, white within, dark text in the text
area, the footer's tinted icon at the bottom right."""
import struct
import sys
import zlib

SCALE = 3


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour = header[:4]
    assert depth == 8 and colour in (2, 6), "unexpected pixel format %r" % (header,)
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return width, height, lambda x, y: tuple(rows[y][x * channels:x * channels + 3])


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
    # The footer's icon: tinted pixels at the bottom right.
    footer = [pixel(x, y) for y in range(height - 14 * SCALE, height - 3 * SCALE) for x in range(width // 2, width - 3)]
    assert any(p[0] > 200 and p[2] < 120 for p in footer), "no tinted icon in the footer"
    print("card %dx%d points, %d dark text pixels" % (w, h, inked))


main()
