#!/usr/bin/env python3
"""Draws the 28 x 15 tree pictures of the scan list dialogs.

Run it after changing a picture; its outputs (resources/scanlist/*.bmp) are
committed so the build needs no Python.
"""
import os

from make_images import write_bmp

W, H = 28, 15
GREY = (192, 192, 192)


def card(face, stripe):
    """A plug-in card seen from the side: coloured board, gold edge fingers."""
    def pixel(x, y):
        if 3 <= x <= 24 and 2 <= y <= 10:
            if x in (3, 24) or y in (2, 10):
                return (0, 0, 0)
            if 6 <= x <= 10 and 4 <= y <= 8:
                return stripe
            return face
        if 11 <= y <= 13 and 5 <= x <= 22 and x % 2 == 0:
            return (212, 175, 55)
        return GREY
    return pixel


def box(face):
    """A 5B backplane: a box with a row of module slots."""
    def pixel(x, y):
        if 2 <= x <= 25 and 2 <= y <= 12:
            if x in (2, 25) or y in (2, 12):
                return (0, 0, 0)
            if 4 <= y <= 10 and x % 4 == 1:
                return (64, 64, 64)
            return face
        return GREY
    return pixel


HIGHLIGHT = (0, 120, 215)
WHITE = (255, 255, 255)


def on_check(x, y):
    """A bold check mark across the picture: down from (6, 6) to (11, 11),
    then up to (21, 1), three pixels thick."""
    if 6 <= x <= 11:
        centre = x
    elif 11 < x <= 21:
        centre = 11 - (x - 11)
    else:
        return False
    return centre - 1 <= y <= centre + 1


def chosen(x, y):
    """A channel picked for adding: the whole picture in the selection colour
    with a white check mark, so that it stands out from every card picture at
    a glance, not by a detail."""
    if x in (0, W - 1) or y in (0, H - 1):
        return (0, 60, 120)
    if on_check(x, y):
        return WHITE
    return HIGHLIGHT


def clock(x, y):  # a block: one time slot
    dx, dy = x - 13, y - 7
    r2 = dx * dx + dy * dy
    if 30 <= r2 <= 42:
        return (0, 0, 128)
    if (dx == 0 and -5 <= dy <= 0) or (dy == 0 and 0 <= dx <= 4):
        return (0, 0, 0)
    return GREY


def list_sheet(x, y):  # the scan list: a sheet with lines
    if 6 <= x <= 21 and 1 <= y <= 13:
        if x in (6, 21) or y in (1, 13):
            return (0, 0, 0)
        if y % 3 == 0 and 8 <= x <= 19:
            return (0, 0, 160)
        return (255, 255, 255)
    return GREY


def rack(face):
    def pixel(x, y):
        if 4 <= x <= 23 and 1 <= y <= 13:
            if x in (4, 23) or y in (1, 13) or y in (5, 9):
                return (0, 0, 0)
            return face
        return GREY
    return pixel


PICTURES = [
    ("scanlist", list_sheet),
    ("block", clock),
    ("analogcard", card((0, 128, 0), (255, 255, 0))),
    ("digitalcard", card((0, 0, 160), (255, 255, 255))),
    ("5bcard", card((128, 0, 128), (255, 200, 0))),
    ("daccard", card((160, 0, 0), (255, 255, 255))),
    ("subsystem", rack((96, 96, 96))),
    ("system", rack((0, 96, 160))),
    ("5bselected", chosen),
    ("5bbox", box((255, 220, 120))),
    ("analogcardselected", chosen),
]

if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    os.makedirs(os.path.join(here, "scanlist"), exist_ok=True)
    for name, pixel in PICTURES:
        write_bmp(os.path.join("scanlist", name + ".bmp"), W, H, pixel)
