#!/usr/bin/env python3
"""Draws the record and playback control panel's button and lamp bitmaps.

Each button has three pictures: off (black symbol on grey), on (the symbol lit
on a darker, pressed face) and grey (the symbol faded, shown while a
supervisor drives the program).  Outputs go to resources/panel/ and are
committed, so the build needs no Python.
"""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "panel")
SIZE = 21

GREY = (192, 192, 192)
PRESSED = (160, 160, 160)
BLACK = (0, 0, 0)
FADED = (128, 128, 128)
LIT = (0, 200, 0)
RED = (220, 0, 0)
DARK_RED = (110, 40, 40)


def write_bmp(name, width, height, pixel):
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        while len(row) % 4:
            row.append(0)
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    filehdr = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(filehdr + header + data)


def right_triangle(x, y, left, top, w, h):  # pointing right
    if not (left <= x < left + w and top <= y < top + h):
        return False
    half = h / 2.0
    return (x - left) <= w * (1 - abs(y - top - half + 0.5) / half)


def left_triangle(x, y, left, top, w, h):
    return right_triangle(left + w - 1 - (x - left), y, left, top, w, h) if left <= x < left + w else False


def play(x, y):
    return right_triangle(x, y, 6, 4, 10, 13)


def pause(x, y):
    return 5 <= y <= 15 and (6 <= x <= 8 or 12 <= x <= 14)


def stop(x, y):
    return 5 <= x <= 15 and 5 <= y <= 15


def begin(x, y):
    return (4 <= x <= 5 and 5 <= y <= 15) or left_triangle(x, y, 6, 5, 6, 11) or left_triangle(x, y, 11, 5, 6, 11)


def rewind(x, y):
    return left_triangle(x, y, 3, 5, 7, 11) or left_triangle(x, y, 10, 5, 7, 11)


def fast_forward(x, y):
    return right_triangle(x, y, 3, 5, 7, 11) or right_triangle(x, y, 10, 5, 7, 11)


def end(x, y):
    return (15 <= x <= 16 and 5 <= y <= 15) or right_triangle(x, y, 3, 5, 6, 11) or right_triangle(x, y, 8, 5, 6, 11)


def record(x, y):
    return (x - 10) ** 2 + (y - 10) ** 2 <= 30


def button(name, shape, lit=LIT, off_colour=BLACK):
    pictures = {
        "off": (GREY, off_colour),
        "on": (PRESSED, lit),
        "gray": (GREY, FADED),
    }
    for state, (face, ink) in pictures.items():
        write_bmp(f"{name}_{state}.bmp", SIZE, SIZE, lambda x, y: ink if shape(x, y) else face)


def lamp(name, colour):
    def pixel(x, y):
        d = (x - 6) ** 2 + (y - 6) ** 2
        if d <= 20:
            return colour
        if d <= 30:
            return BLACK
        return GREY
    write_bmp(name, 13, 13, pixel)


if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    button("play", play)
    button("pause", pause)
    button("stop", stop, lit=RED)
    button("begin", begin)
    button("rewind", rewind)
    button("ff", fast_forward)
    button("end", end)
    button("record", record, lit=RED, off_colour=DARK_RED)
    lamp("lamp_on.bmp", (255, 40, 40))
    lamp("lamp_off.bmp", (90, 30, 30))
