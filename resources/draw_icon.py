#!/usr/bin/env python3
"""Draws the program's icon: a fox peeking over a bathroom scale, 48 x 48 pixels, 32-bit with alpha.

Usage: python3 resources/draw_icon.py [output.ico]   (default: waagenfuchs.ico beside this script)

Needs only Python 3's standard library, so the icon can be made again on any build machine.
Every shape is a signed distance function in pixel units (negative inside); a pixel's coverage
is the share of 8 x 8 sample points inside the shape, so edges come out anti-aliased. The output
is byte-for-byte the same on every run.

The icon file holds one image as a BMP (not PNG): a 32-bit colour bitmap with straight alpha
and, after it, the 1-bit AND mask that Windows versions without alpha support draw with.
"""

import math
import os
import struct
import sys

SIZE = 48
SAMPLES = 8  # per axis, per pixel

# Palette (red, green, blue).
OUTLINE = (43, 27, 18)
FUR = (238, 120, 24)
FUR_DARK = (196, 84, 10)
CHEEK = (255, 255, 255)
EAR_INNER = (58, 36, 24)
EYE = (33, 20, 14)
SCALE_EDGE = (16, 42, 74)
SCALE_BODY = (40, 118, 196)
SCALE_TOP = (82, 156, 224)
DIAL = (255, 255, 255)
TICK = (16, 42, 74)
NEEDLE = (214, 28, 36)


# Signed distance functions. Each takes a point and returns the distance to the shape's edge.

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ellipse(cx, cy, rx, ry):
    # Distance in the stretched space, scaled back by the smaller radius: exact enough near the
    # edge, which is all coverage needs.
    k = min(rx, ry)
    return lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * k


def box(cx, cy, hw, hh, r=0.0):
    """A rectangle with half-sizes hw, hh and corners rounded with radius r."""
    def d(x, y):
        qx = abs(x - cx) - hw + r
        qy = abs(y - cy) - hh + r
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - r
    return d


def polygon(points, r=0.0):
    """A closed polygon, grown by r so that its corners come out round."""
    edges = list(zip(points, points[1:] + points[:1]))

    def d(x, y):
        best = float("inf")
        inside = False
        for (ax, ay), (bx, by) in edges:
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            best = min(best, math.hypot(wx - ex * t, wy - ey * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
        return (-best if inside else best) - r
    return d


def segment(ax, ay, bx, by, r):
    """A line from a to b with round caps, r thick on each side."""
    ex, ey = bx - ax, by - ay
    length2 = ex * ex + ey * ey

    def d(x, y):
        wx, wy = x - ax, y - ay
        t = max(0.0, min(1.0, (wx * ex + wy * ey) / length2))
        return math.hypot(wx - ex * t, wy - ey * t) - r
    return d


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def subtract(shape, cut):
    return lambda x, y: max(shape(x, y), -cut(x, y))


def grow(shape, by):
    return lambda x, y: shape(x, y) - by


def mirror(points):
    """The same points reflected about the icon's vertical centre line."""
    return [(SIZE - x, y) for x, y in reversed(points)]


# The drawing, back to front. The fox sits behind the scale; its chin is hidden by the platform.

LEFT_EAR = [(5.0, 1.0), (20.0, 7.5), (9.0, 17.0)]
LEFT_EAR_INNER = [(7.6, 4.3), (16.5, 8.6), (10.0, 14.0)]
RIGHT_EAR = mirror(LEFT_EAR)
RIGHT_EAR_INNER = mirror(LEFT_EAR_INNER)

HEAD = union(
    circle(24.0, 16.5, 12.0),
    polygon([(24.0, 6.5), (35.0, 8.5), (40.5, 15.0), (45.5, 23.5), (34.0, 25.5),
             (24.0, 32.5), (14.0, 25.5), (2.5, 23.5), (7.5, 15.0), (13.0, 8.5)], r=1.0),
)
EARS = union(polygon(LEFT_EAR, r=1.0), polygon(RIGHT_EAR, r=1.0))
FOX = union(HEAD, EARS)

# White fur on both cheeks, reaching up to the eyes and leaving the muzzle orange.
CHEEKS = intersect(HEAD, union(circle(11.0, 28.0, 10.0), circle(37.0, 28.0, 10.0)))
# A darker blaze running from the forehead down the muzzle gives the face depth.
BLAZE = intersect(HEAD, polygon([(24.0, 5.5), (27.5, 17.0), (24.0, 30.0), (20.5, 17.0)], r=0.5))

EYES = union(ellipse(17.0, 18.5, 1.9, 2.4), ellipse(31.0, 18.5, 1.9, 2.4))
NOSE = ellipse(24.0, 28.2, 3.0, 2.2)

SCALE = box(24.0, 40.5, 21.5, 6.5, r=3.5)
SCALE_PLATFORM = box(24.0, 36.0, 19.5, 1.5, r=1.0)
# The dial: an upper half-disc window with three ticks and a needle pointing right of centre.
DIAL_WINDOW = intersect(circle(24.0, 45.5, 7.0), box(24.0, 42.0, 8.0, 3.5))
TICKS = union(segment(24.0, 39.6, 24.0, 40.6, 0.55),
              segment(19.0, 42.2, 19.9, 42.8, 0.55),
              segment(29.0, 42.2, 28.1, 42.8, 0.55))
NEEDLE_LINE = segment(24.0, 45.0, 27.2, 40.2, 0.75)

LAYERS = [
    (grow(FOX, 1.3), OUTLINE),
    (FOX, FUR),
    (BLAZE, FUR_DARK),
    (CHEEKS, CHEEK),
    (intersect(EARS, union(polygon(LEFT_EAR_INNER, r=0.5), polygon(RIGHT_EAR_INNER, r=0.5))),
     EAR_INNER),
    (EYES, EYE),
    (NOSE, EYE),
    (grow(SCALE, 1.3), SCALE_EDGE),
    (SCALE, SCALE_BODY),
    (SCALE_PLATFORM, SCALE_TOP),
    (grow(DIAL_WINDOW, 1.0), SCALE_EDGE),
    (DIAL_WINDOW, DIAL),
    (TICKS, TICK),
    (NEEDLE_LINE, NEEDLE),
]


def coverage(shape, px, py):
    """The share of pixel (px, py) that lies inside shape, from 0.0 to 1.0."""
    centre = shape(px + 0.5, py + 0.5)
    # A pixel lies wholly on one side when its centre is farther from the edge than its corner.
    if centre > 0.75:
        return 0.0
    if centre < -0.75:
        return 1.0
    inside = 0
    for j in range(SAMPLES):
        for i in range(SAMPLES):
            if shape(px + (i + 0.5) / SAMPLES, py + (j + 0.5) / SAMPLES) <= 0.0:
                inside += 1
    return inside / (SAMPLES * SAMPLES)


def render():
    """The image as rows of (red, green, blue, alpha) floats, top row first, straight alpha."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            # Composite back to front with premultiplied colour.
            r = g = b = a = 0.0
            for shape, (cr, cg, cb) in LAYERS:
                c = coverage(shape, px, py)
                if c == 0.0:
                    continue
                r = cr * c + r * (1.0 - c)
                g = cg * c + g * (1.0 - c)
                b = cb * c + b * (1.0 - c)
                a = c + a * (1.0 - c)
            if a > 0.0:
                r, g, b = r / a, g / a, b / a
            row.append((r, g, b, a))
        rows.append(row)
    return rows


def ico_bytes(rows):
    """An icon file with one 32-bit BMP image and its AND mask."""
    mask_stride = (SIZE + 31) // 32 * 4
    pixels = bytearray()
    mask = bytearray()
    # BMP rows run bottom-up.
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            alpha = int(round(a * 255))
            if alpha == 0:
                pixels += bytes(4)
            else:
                pixels += bytes((int(round(b)), int(round(g)), int(round(r)), alpha))
            # The AND mask marks as transparent what is less than half covered.
            if alpha < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    # The header's height counts the colour bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + bytes(pixels) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "waagenfuchs.ico")
    with open(output, "wb") as f:
        f.write(ico_bytes(render()))


if __name__ == "__main__":
    main()
