#!/usr/bin/env python3
"""Draws the dialogs' 32x32 icons (GRAPHIC_FOLDER, GRAPHIC_MODEM, GRAPHIC_PASS,
GRAPHIC_BOX) and writes them as .ico files into resources/icons. Only the standard
library: the pictures are a few filled shapes, written as 32-bit DIBs with an AND mask.
Run it again after changing a picture; the .ico files are kept in the repository."""
import os
import struct
import sys

SIZE = 32


class Canvas:
    def __init__(self):
        self.px = [[None] * SIZE for _ in range(SIZE)]  # (r, g, b) or None (clear)

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(SIZE, y1)):
            for x in range(max(0, x0), min(SIZE, x1)):
                self.px[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour):
        self.rect(x0, y0, x1, y0 + 1, colour)
        self.rect(x0, y1 - 1, x1, y1, colour)
        self.rect(x0, y0, x0 + 1, y1, colour)
        self.rect(x1 - 1, y0, x1, y1, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.px[y][x] = colour

    def ico(self):
        xor = bytearray()
        mask = bytearray()
        for y in reversed(range(SIZE)):  # DIB rows run bottom-up
            bits = 0
            for x in range(SIZE):
                c = self.px[y][x]
                if c is None:
                    xor += bytes((0, 0, 0, 0))
                    bits |= 1 << (31 - x)
                else:
                    xor += bytes((c[2], c[1], c[0], 255))
            mask += struct.pack(">I", bits)
        header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                             len(xor) + len(mask), 0, 0, 0, 0)
        image = header + bytes(xor) + bytes(mask)
        directory = struct.pack("<HHH", 0, 1, 1)
        entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
        return directory + entry + image


DARK = (64, 64, 64)


def folder():
    c = Canvas()
    c.rect(3, 7, 14, 11, (230, 180, 40))
    c.rect(3, 10, 29, 26, (250, 205, 70))
    c.frame(3, 10, 29, 26, (150, 110, 20))
    c.rect(5, 14, 29, 26, (255, 225, 120))
    c.frame(5, 14, 29, 26, (150, 110, 20))
    return c


def modem():
    c = Canvas()
    c.rect(3, 13, 29, 24, (200, 200, 205))
    c.frame(3, 13, 29, 24, DARK)
    c.rect(5, 24, 9, 26, DARK)
    c.rect(23, 24, 27, 26, DARK)
    for i, colour in enumerate(((40, 200, 60), (40, 200, 60), (230, 60, 40))):
        c.rect(7 + 4 * i, 19, 9 + 4 * i, 21, colour)
    c.rect(15, 4, 17, 13, DARK)  # the line
    c.rect(17, 4, 24, 6, DARK)
    return c


def padlock():
    c = Canvas()
    c.disc(16, 12, 8, (120, 120, 130))
    c.disc(16, 12, 5, None)
    c.rect(6, 14, 26, 29, (230, 180, 40))
    c.frame(6, 14, 26, 29, (150, 110, 20))
    c.disc(16, 20, 2.5, DARK)
    c.rect(15, 21, 17, 26, DARK)
    return c


def box():
    c = Canvas()
    c.rect(4, 10, 28, 29, (190, 140, 80))
    c.frame(4, 10, 28, 29, (110, 70, 30))
    c.rect(2, 6, 30, 11, (215, 165, 100))
    c.frame(2, 6, 30, 11, (110, 70, 30))
    c.rect(14, 6, 18, 29, (240, 220, 170))
    return c


ICONS = {"graphic_folder.ico": folder, "graphic_modem.ico": modem,
         "graphic_pass.ico": padlock, "graphic_box.ico": box}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "icons")
    os.makedirs(out, exist_ok=True)
    for name, draw in ICONS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(draw().ico())


if __name__ == "__main__":
    main()
