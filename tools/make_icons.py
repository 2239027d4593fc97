#!/usr/bin/env python3
"""Draws Kalvane's two icons and writes them as .ico files.

updated.ico: the icon of a good update, a green globe with a check mark; one 128x128 32-bit image
(also the program's icon).
failed.ico: the icon of a failed update, a red rounded square in a grey bezel with a white cross;
ten images: 48, 32 and 16 px at 4 bpp and at 8 bpp (paletted, with AND mask), and 128, 48, 32 and
16 px at 32 bpp.
unconfirmed.ico: the steady icon of an unconfirmed account where blinking is off, an amber
triangle with a dark exclamation mark; 128, 48, 32 and 16 px at 32 bpp.
The three differ in outline (disc, square, triangle), not only in colour.

Standard library only. The output depends on nothing but this file: same input, same bytes.

    python3 tools/make_icons.py [OUTPUT_DIR]     (default: src/app/res next to this tool)
"""

import math
import os
import struct
import sys

# ---------------------------------------------------------------------------------------------
# Drawing: signed distance functions in pixel units, anti-aliased by the distance to the edge.


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def coverage(distance):
    """The part of a pixel covered by a shape whose edge lies `distance` pixels away."""
    return clamp(0.5 - distance)


def lerp(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def rgb(hex_text):
    return tuple(int(hex_text[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


def circle_sdf(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def polyline_sdf(px, py, points, width):
    """A stroke along `points` with round caps and joins."""
    d = min(segment_distance(px, py, *points[i], *points[i + 1]) for i in range(len(points) - 1))
    return d - width / 2


def rounded_square_sdf(px, py, cx, cy, half, corner):
    qx = abs(px - cx) - (half - corner)
    qy = abs(py - cy) - (half - corner)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - corner


def triangle_sdf(px, py, cx, cy, inradius):
    """An upright equilateral triangle around (cx, cy): the largest distance past its edges."""
    x, y = px - cx, py - cy
    return max(y, 0.866 * x - 0.5 * y, -0.866 * x - 0.5 * y) - inradius


def ellipse_outline_sdf(px, py, cx, cy, rx, ry, width):
    """An approximate distance to the outline of an axis-aligned ellipse (first order)."""
    x, y = px - cx, py - cy
    f = (x / rx) ** 2 + (y / ry) ** 2 - 1
    grad = 2 * math.hypot(x / (rx * rx), y / (ry * ry))
    return abs(f) / max(grad, 1e-9) - width / 2


class Canvas:
    """A square RGBA image, premultiplied while drawing."""

    def __init__(self, size):
        self.size = size
        self.pixels = [(0.0, 0.0, 0.0, 0.0)] * (size * size)

    def paint(self, shader):
        """shader(px, py) -> (colour, alpha) at the pixel centre, or None where it paints nothing."""
        for y in range(self.size):
            for x in range(self.size):
                painted = shader(x + 0.5, y + 0.5)
                if painted is None:
                    continue
                (r, g, b), a = painted
                if a <= 0.0:
                    continue
                i = y * self.size + x
                dr, dg, db, da = self.pixels[i]
                k = 1.0 - a
                self.pixels[i] = (r * a + dr * k, g * a + dg * k, b * a + db * k, a + da * k)

    def rgba8(self):
        """Straight (not premultiplied) 8-bit RGBA rows, top row first."""
        out = []
        for r, g, b, a in self.pixels:
            if a <= 0.0:
                out.append((0, 0, 0, 0))
                continue
            out.append(tuple(round(clamp(c / a) * 255) for c in (r, g, b)) + (round(a * 255),))
        return out


def fill(sdf, colour_at, opacity=1.0):
    def shader(px, py):
        a = coverage(sdf(px, py)) * opacity
        return (colour_at(px, py), a) if a > 0.0 else None

    return shader


def radial(cx, cy, radius, inner, outer):
    return lambda px, py: lerp(inner, outer, clamp(math.hypot(px - cx, py - cy) / radius))


def solid(colour):
    return lambda px, py: colour


# ---------------------------------------------------------------------------------------------
# The two pictures, drawn for any size from the same geometry.


def draw_success(size):
    """A green globe with a white check mark."""
    c = Canvas(size)
    s = size / 128.0  # geometry below is laid out on a 128 px grid
    cx = cy = size / 2
    r = 58 * s
    rim = max(3.0 * s, 1.0)

    c.paint(fill(lambda x, y: circle_sdf(x, y, cx, cy + 3 * s, r), solid((0, 0, 0)), 0.25))
    c.paint(fill(lambda x, y: circle_sdf(x, y, cx, cy, r),
                 radial(cx - 0.35 * r, cy - 0.45 * r, 1.6 * r, rgb("8FE08A"), rgb("17843A"))))

    # Meridians and parallels, faint, inside the rim.
    line = max(2.2 * s, 1.0)
    inside = lambda x, y: coverage(circle_sdf(x, y, cx, cy, r - rim))
    grid = [lambda x, y, rx=rx: ellipse_outline_sdf(x, y, cx, cy, rx * r, r, line)
            for rx in (0.42, 0.8)]
    grid.append(lambda x, y: abs(x - cx) - line / 2)
    grid += [lambda x, y, k=k: abs(y - (cy + k * r)) - line / 2 for k in (-0.5, 0.0, 0.5)]
    for sdf in grid:
        c.paint(lambda x, y, sdf=sdf: ((1, 1, 1), coverage(sdf(x, y)) * inside(x, y) * 0.28))

    c.paint(fill(lambda x, y: abs(circle_sdf(x, y, cx, cy, r - rim / 2)) - rim / 2,
                 solid(rgb("0F5E27"))))

    check = [(cx + u * r, cy + v * r) for u, v in ((-0.46, 0.02), (-0.14, 0.34), (0.48, -0.30))]
    width = 0.2 * r
    shadow = [(x, y + 0.05 * r) for x, y in check]
    c.paint(fill(lambda x, y: polyline_sdf(x, y, shadow, width), solid((0, 0.2, 0.05)), 0.35))
    c.paint(fill(lambda x, y: polyline_sdf(x, y, check, width), solid((1, 1, 1))))
    return c


def draw_failure(size):
    """A red rounded square in a grey bezel with a white cross."""
    c = Canvas(size)
    small = size <= 16
    cx = cy = size / 2
    half = size * (0.47 if small else 0.44)
    corner = size * 0.12
    bezel = max(size * 0.07, 1.2)
    inner = half - bezel

    if not small:
        c.paint(fill(lambda x, y: rounded_square_sdf(x, y, cx, cy + size * 0.02, half, corner),
                     solid((0, 0, 0)), 0.25))
    c.paint(fill(lambda x, y: rounded_square_sdf(x, y, cx, cy, half, corner),
                 radial(cx - 0.3 * half, cy - 0.5 * half, 1.8 * half, rgb("D4D4D4"),
                        rgb("5E5E5E"))))
    c.paint(fill(lambda x, y: rounded_square_sdf(x, y, cx, cy, inner, max(corner - bezel, 0.5)),
                 radial(cx - 0.3 * inner, cy - 0.4 * inner, 1.6 * inner, rgb("F2685C"),
                        rgb("A3160F"))))

    arm = 0.46 * inner
    width = max(0.24 * inner, 2.0)
    strokes = [[(cx - arm, cy - arm), (cx + arm, cy + arm)],
               [(cx - arm, cy + arm), (cx + arm, cy - arm)]]
    cross = lambda x, y: min(polyline_sdf(x, y, pts, width) for pts in strokes)
    if not small:
        drop = size * 0.02
        c.paint(fill(lambda x, y: cross(x, y - drop), solid((0.25, 0, 0)), 0.35))
    c.paint(fill(cross, solid((1, 1, 1))))
    return c


def draw_unconfirmed(size):
    """An amber triangle with a dark exclamation mark."""
    c = Canvas(size)
    cx = size / 2
    r = size * 0.29  # inradius: the triangle spans 6 r high, 3.46 r wide
    cy = size / 2 + 0.5 * r
    c.paint(fill(lambda x, y: triangle_sdf(x, y, cx, cy, r), solid(rgb("8A5A00"))))
    rim = max(size * 0.06, 1.0)
    c.paint(fill(lambda x, y: triangle_sdf(x, y, cx, cy, r - rim),
                 radial(cx, cy - r, 2.2 * r, rgb("FFE07A"), rgb("F0A500"))))
    width = max(0.22 * r, 1.6)
    bar = [(cx, cy - 0.95 * r), (cx, cy + 0.1 * r)]
    dark = solid(rgb("3A2600"))
    c.paint(fill(lambda x, y: polyline_sdf(x, y, bar, width), dark))
    c.paint(fill(lambda x, y: circle_sdf(x, y, cx, cy + 0.5 * r, width * 0.6), dark))
    return c


# ---------------------------------------------------------------------------------------------
# Palettes for the 4 and 8 bpp images: median cut over the opaque pixels. Index 0 is black, the
# colour of the transparent pixels (the AND mask shows the screen through them); index 1 white.


def median_cut(colours, count):
    boxes = [sorted(colours)]
    while len(boxes) < count:
        best, best_range, best_channel = None, 0, 0
        for i, box in enumerate(boxes):
            if len(set(box)) < 2:
                continue
            for ch in range(3):
                spread = max(p[ch] for p in box) - min(p[ch] for p in box)
                if spread > best_range:
                    best, best_range, best_channel = i, spread, ch
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda p: (p[best_channel], p))
        half = len(box) // 2
        boxes[best:best] = [box[:half], box[half:]]
    return [tuple(round(sum(p[ch] for p in box) / len(box)) for ch in range(3)) for box in boxes]


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: (sum((a - b) ** 2 for a, b in zip(palette[i], colour)), i))


def quantize(pixels, bpp):
    slots = 1 << bpp
    opaque = [p[:3] for p in pixels if p[3] >= 128]
    # The white mark keeps a slot of its own: at 4 bpp the median cut would blend it into the
    # light grey of the bezel.
    palette = [(0, 0, 0), (255, 255, 255)] + median_cut(opaque, slots - 2)
    palette += [(0, 0, 0)] * (slots - len(palette))
    cache = {}
    indices = []
    for p in pixels:
        if p[3] < 128:
            indices.append(0)
            continue
        if p[:3] not in cache:
            cache[p[:3]] = nearest(palette, p[:3])
        indices.append(cache[p[:3]])
    return palette, indices


# ---------------------------------------------------------------------------------------------
# The .ico container: a directory, then one BITMAPINFOHEADER image per entry (colour bitmap of
# twice the height: XOR rows then AND mask rows, both bottom-up, rows padded to 4 bytes).


def pad_row(row):
    return row + b"\0" * (-len(row) % 4)


def pack_bits(values, bits):
    out = bytearray()
    per_byte = 8 // bits
    for i in range(0, len(values), per_byte):
        byte = 0
        for j, v in enumerate(values[i:i + per_byte]):
            byte |= v << (8 - bits * (j + 1))
        out.append(byte)
    return bytes(out)


def dib_image(size, pixels, bpp):
    rows = [pixels[y * size:(y + 1) * size] for y in reversed(range(size))]
    palette = []
    if bpp == 32:
        xor = b"".join(pad_row(bytes(v for r, g, b, a in row for v in (b, g, r, a)))
                       for row in rows)
    else:
        palette, indices = quantize(pixels, bpp)
        index_rows = [indices[y * size:(y + 1) * size] for y in reversed(range(size))]
        xor = b"".join(pad_row(pack_bits(row, bpp)) for row in index_rows)
    mask = b"".join(pad_row(pack_bits([1 if p[3] < (1 if bpp == 32 else 128) else 0 for p in row],
                                      1)) for row in rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(mask), 0,
                         0, len(palette), 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + xor + mask


def ico_file(images):
    """images: a list of (size, bpp, pixels)."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for size, bpp, pixels in images:
        blob = dib_image(size, pixels, bpp)
        colour_count = 1 << bpp if bpp < 8 else 0
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, colour_count, 0, 1, bpp,
                                   len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src", "app", "res")

    updated = [(128, 32, draw_success(128).rgba8())]
    failure = {size: draw_failure(size).rgba8() for size in (128, 48, 32, 16)}
    failed = [(size, bpp, failure[size]) for bpp in (4, 8) for size in (48, 32, 16)]
    failed += [(size, 32, failure[size]) for size in (128, 48, 32, 16)]
    unconfirmed = [(size, 32, draw_unconfirmed(size).rgba8()) for size in (128, 48, 32, 16)]

    for name, images in (("updated.ico", updated), ("failed.ico", failed),
                         ("unconfirmed.ico", unconfirmed)):
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(ico_file(images))


if __name__ == "__main__":
    main()
