# What the end-to-end check scripts share: one line per check, failures
# counted for the exit status, the store's dates, and the notes store read
# with python's sqlite3.
import datetime
import os
import sqlite3
import struct
import sys
import zlib

failures = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def finish():
    sys.exit(1 if failures else 0)


def stamp(*fields):
    """Seconds since 2001-01-01 UTC, as the store keeps dates."""
    return (datetime.datetime(*fields) - datetime.datetime(2001, 1, 1)).total_seconds()


def notes_in_store(device):
    """The folders' titles by key and the notes as (first line, time stamp,
    folder title), after checking that no folder title appears twice."""
    store = sqlite3.connect(os.path.join(device, "App", "Documents", "Notes.sqlite"))
    folders = {pk: title for pk, title in store.execute("SELECT _pk, title FROM Folder")}
    notes = [(string.splitlines()[0], stamp_, folders.get(folder)) for string, stamp_, folder in
             store.execute("SELECT string, timeStamp, folder FROM Note")]
    titles = sorted(folders.values())
    check("no folder title twice: %r" % titles, len(titles) == len(set(titles)))
    return folders, notes


def read_png(path):
    """Width, height and a pixel(x, y) -> (r, g, b) of an 8-bit RGB or RGBA PNG."""
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
