#!/usr/bin/env python3
"""Draws the program's icons and bitmaps as plain BMP/ICO files.

Run it after changing a picture; its outputs are committed so the build needs
no Python.  Each picture is a tiny pixel program: a background, a frame and a
few shapes in the colours of the program.
"""
import struct
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def bmp_rows(width, height, pixel):
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        while len(row) % 4:
            row.append(0)
        rows.append(bytes(row))
    return b"".join(rows)


def write_bmp(name, width, height, pixel):
    data = bmp_rows(width, height, pixel)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    filehdr = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(filehdr + header + data)


def write_ico(name, pixel, size=32):
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b = pixel(x, y)
            xor += bytes((b, g, r, 255))
    and_mask = bytes(((size + 31) // 32) * 4 * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + bytes(xor) + and_mask
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1))
        f.write(struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16))
        f.write(image)


def frame(size, inner, border=(0, 0, 0)):
    def pixel(x, y):
        if x in (0, size - 1) or y in (0, size - 1):
            return border
        return inner(x, y)
    return pixel


def vor(x, y):  # V on blue
    on = abs((x - 16) * 2 - (y - 26) * 0) < 3 and False
    if 6 <= y <= 26 and (abs(x - (6 + (y - 6) // 2)) <= 1 or abs(x - (26 - (y - 6) // 2)) <= 1):
        return (255, 255, 255)
    return (90, 123, 181)


def scope(x, y):  # a sine trace on black
    import math
    t = 16 + int(10 * math.sin(x / 32 * 2 * math.pi))
    if abs(y - t) <= 1:
        return (0, 255, 0)
    if y == 16 or x == 16:
        return (0, 96, 0)
    return (0, 0, 0)


def bars(x, y):
    heights = [20, 12, 26, 8, 16]
    i = (x - 3) // 6
    if 0 <= i < 5 and (x - 3) % 6 < 4 and y >= 30 - heights[i]:
        return (255, 0, 0) if heights[i] > 22 else (0, 0, 255)
    return (222, 222, 222)


def table(x, y):
    if y % 6 == 2 or x in (3, 14, 28):
        return (90, 90, 90)
    return (255, 255, 255)


def blue_square(x, y):
    return (0, 0, 255)


def backdrop(x, y):
    # Grey panel with the program's name band and a faint grid of traces.
    if 40 <= y < 80:
        return (90, 123, 181) if not (60 <= y < 62) else (255, 255, 255)
    if (x // 16 + y // 16) % 2 == 0:
        return (200, 200, 200)
    return (212, 212, 212)


def cancel_net(x, y):
    if abs(x - y * 110 // 60) <= 2 or abs(x - (109 - y * 110 // 60)) <= 2:
        return (255, 0, 0)
    return (192, 192, 192)


def button(kind):
    colours = [(0, 0, 255), (0, 128, 0), (128, 0, 128), (192, 128, 0), (0, 128, 128),
               (128, 128, 0), (0, 0, 128), (128, 0, 0), (0, 96, 192), (192, 0, 64),
               (64, 64, 192), (96, 64, 0), (0, 160, 64), (64, 64, 64)]
    c = colours[kind % len(colours)]

    def pixel(x, y):
        if (x + y + kind) % 7 == 0 or (3 <= x <= 18 and 3 <= y <= 14 and (x == 3 or x == 18 or y == 3 or y == 14)):
            return c
        return (192, 192, 192)
    return pixel


def gray(pixel):
    def p(x, y):
        r, g, b = pixel(x, y)
        v = (r + g + b) // 3
        v = 128 + v // 2
        return (v, v, v)
    return p


BUTTONS = ["NEWUPLOADACCESS", "NEWCHANPARAMS", "NEWSCANLIST", "NEWDOWNLOADAMPS", "NEWDOWNLOADDDS",
           "NEWAUTOBALANCE", "NEWUPLOADAMPS", "CALCHANNELS", "NEWSAVETOACCESS", "NEWDRIVEDAC",
           "WIZARD", "BATCHPLOT", "NEWMORVA", "NEW_NOTEPAD"]

if __name__ == "__main__":
    write_ico("vor.ico", frame(32, vor))
    write_ico("scope.ico", frame(32, scope))
    write_ico("bar.ico", frame(32, bars))
    write_ico("tab.ico", frame(32, table))
    write_ico("bluesquare.ico", blue_square)
    write_bmp("backdrop.bmp", 320, 120, backdrop)
    write_bmp("cancelnet.bmp", 110, 60, cancel_net)
    os.makedirs(os.path.join(HERE, "buttons"), exist_ok=True)
    for i, name in enumerate(BUTTONS):
        w = 24 if name != "NEWDRIVEDAC" else 26
        write_bmp(os.path.join("buttons", name.lower() + ".bmp"), w, 20, button(i))
        write_bmp(os.path.join("buttons", name.lower() + "_gray.bmp"), w, 20, gray(button(i)))
