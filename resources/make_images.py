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


class Canvas:
    """A small picture drawn with a few primitives, read back as a pixel function."""

    def __init__(self, width, height, background):
        self.w, self.h = width, height
        self.px = [[background] * width for _ in range(height)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def box(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                return
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def polygon(self, points, c):
        for y in range(self.h):
            for x in range(self.w):
                inside = False
                j = len(points) - 1
                for i in range(len(points)):
                    xi, yi = points[i]
                    xj, yj = points[j]
                    if (yi > y + 0.5) != (yj > y + 0.5) and x + 0.5 < (xj - xi) * (y + 0.5 - yi) / (yj - yi) + xi:
                        inside = not inside
                    j = i
                if inside:
                    self.set(x, y, c)

    def ellipse(self, cx, cy, rx, ry, c, filled=True):
        for y in range(self.h):
            for x in range(self.w):
                d = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
                if d <= 1.0 and (filled or d >= 0.55):
                    self.set(x, y, c)

    def pixel(self, x, y):
        return self.px[y][x]


GREY = (192, 192, 192)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
RED = (220, 0, 0)
GREEN = (0, 150, 0)
BLUE = (0, 0, 200)
DARKBLUE = (0, 0, 128)
YELLOW = (240, 200, 0)
TAN = (210, 170, 90)
BROWN = (128, 80, 0)


def database(c, x0, y0, x1, y1):
    """A database drum: a cylinder with its top ellipse."""
    cx, rx = (x0 + x1) / 2, (x1 - x0) / 2
    c.fill(x0, y0 + 2, x1, y1 - 2, TAN)
    c.ellipse(cx, y1 - 2, rx + 0.4, 2.2, TAN)
    c.ellipse(cx, y0 + 2, rx + 0.4, 2.2, YELLOW)
    for x in (x0, x1):
        c.line(x, y0 + 2, x, y1 - 2, BROWN)
    c.line(x0 + 1, y1, x1 - 1, y1, BROWN)


def arrow(c, x0, y0, x1, y1, colour):
    """A thick arrow from (x0, y0) to (x1, y1), horizontal or vertical."""
    if y0 == y1:
        step = 1 if x1 > x0 else -1
        c.fill(min(x0, x1 - 3 * step), y0 - 1, max(x0, x1 - 3 * step), y0 + 1, colour)
        for k in range(4):
            c.line(x1 - k * step, y0 - k, x1 - k * step, y0 + k, colour)
    else:
        step = 1 if y1 > y0 else -1
        c.fill(x0 - 1, min(y0, y1 - 3 * step), x0 + 1, max(y0, y1 - 3 * step), colour)
        for k in range(4):
            c.line(x0 - k, y1 - k * step, x0 + k, y1 - k * step, colour)


def amplifier(c, x0, y0, size, colour=BLUE):
    """The amplifier symbol: a triangle pointing right with its leads."""
    c.polygon([(x0, y0), (x0, y0 + size), (x0 + size, y0 + size / 2)], colour)
    c.line(x0 - 3, y0 + size // 2, x0 - 1, y0 + size // 2, BLACK)
    c.line(x0 + size, y0 + size // 2, x0 + size + 2, y0 + size // 2, BLACK)


def chip(c, x0, y0, x1, y1):
    """An integrated circuit with pins: the front end's data unit."""
    c.fill(x0, y0, x1, y1, (40, 40, 40))
    for x in range(x0 + 1, x1, 2):
        c.set(x, y0 - 1, (160, 160, 160))
        c.set(x, y1 + 1, (160, 160, 160))
    c.set(x0 + 1, y0 + 1, WHITE)


def sine(c, x0, x1, cy, amp, colour, period=12.0):
    import math
    last = None
    for x in range(x0, x1 + 1):
        y = int(round(cy - amp * math.sin((x - x0) / period * 2 * math.pi)))
        if last is not None:
            c.line(x - 1, last, x, y, colour)
        last = y


def draw_retrieve(c):  # database -> program: the test's channels read back from its file
    database(c, 12, 2, 21, 17)
    arrow(c, 11, 10, 1, 10, GREEN)


def draw_chanparams(c):  # a channel's amplifier with a gain knob
    amplifier(c, 6, 3, 12)
    c.ellipse(12, 15.5, 2.5, 2.5, RED)
    c.line(12, 14, 12, 16, WHITE)


def draw_scanlist(c):  # the scan table: rows of positions
    c.fill(3, 2, 20, 17, WHITE)
    c.box(3, 2, 20, 17, BLACK)
    for y in (6, 10, 14):
        c.line(3, y, 20, y, (120, 120, 120))
    c.line(8, 2, 8, 17, (120, 120, 120))
    c.fill(9, 7, 19, 9, BLUE)
    c.fill(9, 3, 19, 5, (120, 160, 255))


def draw_download_amps(c):  # settings go down to the amplifiers
    arrow(c, 11, 0, 11, 8, RED)
    amplifier(c, 6, 9, 10)


def draw_download_dds(c):  # the scan list goes down to the data unit
    arrow(c, 11, 0, 11, 8, RED)
    chip(c, 4, 11, 19, 17)


def draw_autobalance(c):  # a balance: beam, post and two pans
    c.line(11, 4, 11, 17, BLACK)
    c.fill(7, 17, 15, 18, BLACK)
    c.line(3, 5, 19, 5, BLACK)
    c.ellipse(11, 4, 1.5, 1.5, RED)
    for x in (4, 18):
        c.line(x, 5, x - 3, 11, (90, 90, 90))
        c.line(x, 5, x + 3, 11, (90, 90, 90))
        c.fill(x - 3, 11, x + 3, 12, BROWN)


def draw_upload_amps(c):  # the amplifiers' settings read back up
    amplifier(c, 6, 9, 10)
    arrow(c, 11, 8, 11, 0, GREEN)


def draw_calibrate(c):  # a meter: scale and needle
    c.ellipse(11.5, 13, 9.5, 9.5, WHITE)
    c.ellipse(11.5, 13, 9.5, 9.5, BLACK, filled=False)
    c.fill(1, 14, 22, 19, GREY)
    for x, y in ((4, 9), (7, 6), (11, 5), (15, 6), (18, 9)):
        c.set(x, y, BLACK)
    c.line(11, 13, 16, 6, RED)
    c.fill(10, 12, 12, 13, BLACK)


def draw_save(c):  # program -> database: the test's channels written to its file
    arrow(c, 1, 10, 11, 10, RED)
    database(c, 12, 2, 21, 17)


def draw_drive_dac(c):  # a waveform leaving the output box
    c.fill(1, 5, 7, 14, DARKBLUE)
    c.set(4, 9, WHITE)
    c.set(4, 10, WHITE)
    sine(c, 8, 23, 10, 5, RED)


def draw_wizard(c):  # the wand and its star
    c.line(3, 18, 13, 8, BROWN)
    c.line(4, 18, 14, 8, BROWN)
    c.polygon([(16, 1), (17.5, 5), (22, 5), (18.5, 8), (20, 12), (16, 9.5), (12, 12), (13.5, 8),
               (10, 5), (14.5, 5)], YELLOW)
    c.set(16, 6, (255, 255, 255))


def draw_batch_print(c):  # a printer with a page of traces
    c.fill(6, 1, 17, 8, WHITE)
    c.box(6, 1, 17, 8, (90, 90, 90))
    sine(c, 7, 16, 4, 2, RED, period=6.0)
    c.fill(2, 8, 21, 15, (110, 110, 110))
    c.box(2, 8, 21, 15, BLACK)
    c.fill(5, 14, 18, 18, WHITE)
    c.box(5, 14, 18, 18, (90, 90, 90))
    c.set(18, 10, GREEN)


def draw_analysis(c):  # a trace under a magnifying glass
    sine(c, 1, 22, 12, 5, BLUE, period=11.0)
    c.ellipse(10, 8, 6, 6, (190, 220, 255))
    c.ellipse(10, 8, 6, 6, BLACK, filled=False)
    sine(c, 5, 15, 8, 3, BLUE, period=5.0)
    c.line(14, 12, 20, 18, BROWN)
    c.line(15, 12, 21, 18, BROWN)


def draw_notepad(c):  # a note page with its spiral and lines of text
    c.fill(5, 3, 18, 19, WHITE)
    c.box(5, 3, 18, 19, (90, 90, 90))
    for x in range(6, 18, 3):
        c.line(x, 1, x, 4, BLACK)
    for y in (7, 10, 13, 16):
        c.line(7, y, 16 if y != 16 else 12, y, DARKBLUE)


DRAWINGS = {
    "NEWUPLOADACCESS": draw_retrieve, "NEWCHANPARAMS": draw_chanparams, "NEWSCANLIST": draw_scanlist,
    "NEWDOWNLOADAMPS": draw_download_amps, "NEWDOWNLOADDDS": draw_download_dds,
    "NEWAUTOBALANCE": draw_autobalance, "NEWUPLOADAMPS": draw_upload_amps, "CALCHANNELS": draw_calibrate,
    "NEWSAVETOACCESS": draw_save, "NEWDRIVEDAC": draw_drive_dac, "WIZARD": draw_wizard,
    "BATCHPLOT": draw_batch_print, "NEWMORVA": draw_analysis, "NEW_NOTEPAD": draw_notepad,
}


def button(name, width):
    c = Canvas(width, 20, GREY)
    DRAWINGS[name](c)
    return c.pixel


def write_cur(name, draw, hotspot=(0, 0), size=32):
    """A cursor: the pointer arrow with a small picture beside it; grey is transparent."""
    c = Canvas(size, size, None)
    arrow_shape = [(0, 0), (0, 15), (4, 11), (7, 17), (9, 16), (6, 10), (11, 10)]
    c.polygon(arrow_shape, WHITE)
    for i in range(len(arrow_shape)):
        x0, y0 = arrow_shape[i]
        x1, y1 = arrow_shape[(i + 1) % len(arrow_shape)]
        c.line(x0, y0, x1, y1, BLACK)
    draw(c)
    xor = bytearray()
    mask_rows = []
    for y in range(size - 1, -1, -1):
        bits = 0
        for x in range(size):
            p = c.px[y][x]
            if p is None:
                xor += bytes((0, 0, 0, 0))
                bits |= 1 << (31 - x)
            else:
                xor += bytes((p[2], p[1], p[0], 255))
        mask_rows.append(struct.pack(">I", bits))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + bytes(xor) + b"".join(mask_rows)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(struct.pack("<HHH", 0, 2, 1))
        f.write(struct.pack("<BBBBHHII", size, size, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16))
        f.write(image)


def cursor_amps(c):
    arrow(c, 20, 12, 20, 19, RED)
    c.polygon([(14, 20), (14, 30), (25, 25)], BLUE)


def cursor_dds(c):
    arrow(c, 20, 12, 20, 19, RED)
    chip(c, 13, 22, 28, 29)


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
    for name in BUTTONS:
        w = 24 if name != "NEWDRIVEDAC" else 26
        write_bmp(os.path.join("buttons", name.lower() + ".bmp"), w, 20, button(name, w))
        write_bmp(os.path.join("buttons", name.lower() + "_gray.bmp"), w, 20, gray(button(name, w)))
    write_cur(os.path.join("buttons", "download_amps.cur"), cursor_amps)
    write_cur(os.path.join("buttons", "download_dds.cur"), cursor_dds)
