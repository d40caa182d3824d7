#!/usr/bin/env python3
"""Draws the digital output line lamps: DIGOUTON (a lit red lamp) and
DIGOUTOFF (a dark one), 13 x 13 pixels on the dialog grey.  Outputs go to
resources/outputs/ and are committed, so the build needs no Python.
"""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "outputs")
SIZE = 13
GREY = (192, 192, 192)
EDGE = (64, 64, 64)


def write_bmp(name, pixel):
    rows = []
    for y in range(SIZE - 1, -1, -1):
        row = bytearray()
        for x in range(SIZE):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        while len(row) % 4:
            row.append(0)
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    filehdr = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(filehdr + header + data)


def lamp(face):
    def pixel(x, y):
        d = ((x - 6) ** 2 + (y - 6) ** 2) ** 0.5
        if d <= 4.5:
            return face
        if d <= 5.8:
            return EDGE
        return GREY
    return pixel


if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    write_bmp("digout_on.bmp", lamp((255, 32, 32)))
    write_bmp("digout_off.bmp", lamp((96, 0, 0)))
