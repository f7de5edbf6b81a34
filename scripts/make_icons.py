#!/usr/bin/env python3
"""Draws Haulix's icons and writes them as .ico files (16x16, 24x24 and 32x32, 32-bit with
alpha), with the standard library only. Every shape is given in a unit square and drawn
with 4x4 samples per pixel, so each size is the same picture, smoothly edged.

Usage: make_icons.py OUTPUT_FOLDER
"""
import math
import os
import struct
import sys

SIZES = (16, 24, 32)
SAMPLES = 4

BLUE = (0, 102, 204)
LIGHT_BLUE = (51, 153, 255)
GREEN = (34, 150, 60)
RED = (208, 40, 40)
ORANGE = (240, 170, 0)
DARK = (60, 60, 60)
GRAY = (150, 150, 150)
WHITE = (255, 255, 255)


# Shapes: each answers whether a point (x, y in 0..1, y downward) is inside.
def polygon(*points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            x1, y1 = points[i]
            x2, y2 = points[(i + 1) % n]
            if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                hit = not hit
        return hit
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, width, start=0.0, end=360.0):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - r) > width / 2:
            return False
        angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
        return start <= angle <= end if start <= end else angle >= start or angle <= end
    return inside


def ellipse_ring(cx, cy, rx, ry, width):
    def inside(x, y):
        d = math.hypot((x - cx) / rx, (y - cy) / ry)
        return abs(d - 1) * min(rx, ry) <= width / 2
    return inside


def box(x0, y0, x1, y1, radius=0.0):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + radius - x, 0, x - (x1 - radius))
        dy = max(y0 + radius - y, 0, y - (y1 - radius))
        return dx * dx + dy * dy <= radius * radius
    return inside


def segment(xa, ya, xb, yb, width):
    def inside(x, y):
        vx, vy = xb - xa, yb - ya
        t = max(0.0, min(1.0, ((x - xa) * vx + (y - ya) * vy) / (vx * vx + vy * vy)))
        return math.hypot(x - xa - t * vx, y - ya - t * vy) <= width / 2
    return inside


def outline(shape, inner):
    return lambda x, y: shape(x, y) and not inner(x, y)


# Pictures: lists of (shape, colour), painted in order.
def down_arrow(colour, tray=True):
    parts = [(polygon((0.38, 0.08), (0.62, 0.08), (0.62, 0.42), (0.84, 0.42), (0.5, 0.76),
                      (0.16, 0.42), (0.38, 0.42)), colour)]
    if tray:
        parts.append((box(0.1, 0.82, 0.9, 0.94, 0.04), colour))
    return parts


def side_arrow(colour, left):
    points = [(0.1, 0.5), (0.48, 0.14), (0.48, 0.34), (0.9, 0.34), (0.9, 0.66), (0.48, 0.66),
              (0.48, 0.86)]
    if not left:
        points = [(1 - x, y) for x, y in points]
    return [(polygon(*points), colour)]


def cross(colour, width=0.2):
    return [(segment(0.2, 0.2, 0.8, 0.8, width), colour), (segment(0.8, 0.2, 0.2, 0.8, width), colour)]


def octagon(colour):
    k = 0.29
    return [(polygon((k, 0.06), (1 - k, 0.06), (0.94, k), (0.94, 1 - k), (1 - k, 0.94), (k, 0.94),
                     (0.06, 1 - k), (0.06, k)), colour),
            (box(0.24, 0.43, 0.76, 0.57, 0.03), WHITE)]


def refresh(colour):
    return [(ring(0.5, 0.52, 0.32, 0.14, 320, 230), colour),
            (polygon((0.62, 0.04), (0.9, 0.22), (0.6, 0.4)), colour)]


def expand(colour):
    return [(outline(box(0.1, 0.1, 0.9, 0.9, 0.08), box(0.18, 0.18, 0.82, 0.82, 0.03)), colour),
            (box(0.44, 0.26, 0.56, 0.74), colour), (box(0.26, 0.44, 0.74, 0.56), colour)]


def pause(colour):
    return [(box(0.22, 0.14, 0.42, 0.86, 0.04), colour), (box(0.58, 0.14, 0.78, 0.86, 0.04), colour)]


def globe(colour):
    return [(circle(0.5, 0.5, 0.44), colour),
            (ellipse_ring(0.5, 0.5, 0.18, 0.42, 0.07), LIGHT_BLUE),
            (segment(0.06, 0.5, 0.94, 0.5, 0.07), LIGHT_BLUE),
            (segment(0.5, 0.08, 0.5, 0.92, 0.07), LIGHT_BLUE),
            (segment(0.14, 0.3, 0.86, 0.3, 0.06), LIGHT_BLUE),
            (segment(0.14, 0.7, 0.86, 0.7, 0.06), LIGHT_BLUE)]


def program():
    return ([(box(0.04, 0.04, 0.96, 0.96, 0.18), BLUE)] +
            [(s, WHITE) for s, _ in down_arrow(WHITE)])


def page():
    return [(polygon((0.18, 0.04), (0.62, 0.04), (0.84, 0.26), (0.84, 0.96), (0.18, 0.96)), GRAY),
            (polygon((0.24, 0.1), (0.58, 0.1), (0.58, 0.3), (0.78, 0.3), (0.78, 0.9), (0.24, 0.9)),
             WHITE),
            (box(0.32, 0.44, 0.7, 0.5), BLUE), (box(0.32, 0.58, 0.7, 0.64), BLUE),
            (box(0.32, 0.72, 0.62, 0.78), BLUE)]


def check(colour):
    return [(segment(0.14, 0.52, 0.4, 0.8, 0.18), colour), (segment(0.4, 0.8, 0.88, 0.2, 0.18), colour)]


def triangle(colour, up):
    points = [(0.5, 0.3), (0.78, 0.7), (0.22, 0.7)]
    if not up:
        points = [(x, 1 - y) for x, y in points]
    return [(polygon(*points), colour)]


ICONS = {
    "program": program(),
    "window_site": globe(BLUE),
    "window_taskbar": program(),
    "button_back": side_arrow(GREEN, True),
    "button_forward": side_arrow(GREEN, False),
    "button_stop": octagon(RED),
    "button_refresh": refresh(BLUE),
    "button_expand": expand(BLUE),
    "button_get": down_arrow(BLUE),
    "button_pause": pause(ORANGE),
    "button_remove": cross(RED),
    "gray_back": side_arrow(GRAY, True),
    "gray_forward": side_arrow(GRAY, False),
    "gray_get": down_arrow(GRAY),
    "gray_refresh": refresh(GRAY),
    "gray_remove": cross(GRAY),
    "gray_stop": octagon(GRAY),
    "link_get": down_arrow(GREEN),
    "link_go": side_arrow(GREEN, False),
    "clear": [],
    "column_ascending": triangle(GRAY, True),
    "column_descending": triangle(GRAY, False),
    "list_done": check(GREEN),
    "list_get": down_arrow(BLUE, tray=False),
    "list_not": cross(RED, 0.18),
    "list_page": page(),
    "tree_arrow": side_arrow(BLUE, False),
    "tree_dot": [(circle(0.5, 0.5, 0.2), DARK)],
    "tree_hole": [(ring(0.5, 0.5, 0.24, 0.12), DARK)],
    "tree_red": [(circle(0.5, 0.5, 0.26), RED)],
    "tree_world": globe(BLUE),
}


def render(parts, size):
    """Rows of (r, g, b, a) from the top, each pixel the average of its samples."""
    rows = []
    step = 1.0 / (size * SAMPLES)
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px * SAMPLES + sx + 0.5) * step
                    y = (py * SAMPLES + sy + 0.5) * step
                    colour = None
                    for shape, c in parts:
                        if shape(x, y):
                            colour = c
                    if colour:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            n = SAMPLES * SAMPLES
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bitmap(rows, size):
    """One icon image: BITMAPINFOHEADER, BGRA pixels bottom-up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def icon_file(parts):
    images = [bitmap(render(parts, size), size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, parts in ICONS.items():
        data = icon_file(parts)
        path = os.path.join(folder, name + ".ico")
        # Rewritten only when different, so an unchanged icon does not rebuild resources.
        if not os.path.exists(path) or open(path, "rb").read() != data:
            with open(path, "wb") as f:
                f.write(data)
    with open(os.path.join(folder, "icons.stamp"), "w") as f:
        f.write("\n".join(sorted(ICONS)) + "\n")


if __name__ == "__main__":
    main()
