#!/usr/bin/env python3
"""Draws rudi's icon, a cup of tea with rising steam, and writes rudi.ico.

Four images, 48x48, 32x32, 24x24 and 16x16, each 8 bits per pixel with a 256-colour palette
and a 1-bit AND mask. The 48x48 image is drawn from shapes (signed distance functions, 4x4
samples a pixel); the three smaller ones are drawn pixel by pixel, each on its own, so that
every line of them sits on whole pixels and the 16x16 one stays crisp in the tray.

Run from anywhere: python3 resources/make-icon.py  (writes rudi.ico beside this script)
Only the standard library is used.
"""

import math
import os
import struct
import sys

# --- Colours --------------------------------------------------------------------------------------

OUTLINE = (0x1D, 0x3B, 0x45)  # dark slate: the outline that keeps the cup clear on any background
CUP = (0x2C, 0x9C, 0x8C)  # teal glaze
CUP_LIGHT = (0x6F, 0xCF, 0xBE)  # light falling from the upper left
CUP_SHADE = (0x1F, 0x73, 0x69)  # the side turned away
TEA = (0xC9, 0x7B, 0x22)  # amber tea
TEA_LIGHT = (0xE9, 0xAE, 0x55)
RIM = (0xF4, 0xFA, 0xF8)  # the white lip of the cup
SAUCER = (0xE3, 0xEA, 0xEE)
SAUCER_SHADE = (0xAE, 0xBE, 0xC8)
STEAM = (0x8E, 0xB4, 0xD6)  # steam: mid blue-grey, visible on light and dark task bars
LEAF = (0xF4, 0xFA, 0xF8)  # the leaf on the cup's side
LEAF_SHADE = (0x9F, 0xD9, 0xCC)  # its midrib

# --- Shapes as signed distance functions (negative inside, in pixels) --------------------------


def ellipse(cx, cy, rx, ry):
    def d(x, y):
        u, v = (x - cx) / rx, (y - cy) / ry
        k = math.hypot(u, v)
        if k == 0.0:
            return -min(rx, ry)
        # first-order distance: (k - 1) / |grad k|, so outlines keep their width all round
        gx, gy = u / (rx * k), v / (ry * k)
        return (k - 1.0) / math.hypot(gx, gy)

    return d


def half_plane_below(y0):
    """Inside where y > y0 (screen coordinates grow downwards)."""
    return lambda x, y: y0 - y


def segment(ax, ay, bx, by, half_width):
    def d(x, y):
        vx, vy = bx - ax, by - ay
        t = ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)
        t = max(0.0, min(1.0, t))
        return math.hypot(x - (ax + t * vx), y - (ay + t * vy)) - half_width

    return d


def polyline(points, w0, w1):
    """A stroke along `points` whose half width goes from w0 at the first to w1 at the last."""
    n = len(points) - 1
    parts = [segment(*points[i], *points[i + 1], w0 + (w1 - w0) * (i + 0.5) / n) for i in range(n)]
    return lambda x, y: min(p(x, y) for p in parts)


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def wisp(x0, y_bottom, y_top, amplitude, half_width, phase=0.0):
    """A rising S-shaped curl of steam that thins out towards its top."""
    points = []
    steps = 24
    for i in range(steps + 1):
        t = i / steps
        y = y_bottom + (y_top - y_bottom) * t
        x = x0 + amplitude * math.sin(2.0 * math.pi * t + phase)
        points.append((x, y))
    return polyline(points, half_width, half_width * 0.55)


def leaf(cx, cy, length, width, angle):
    """A pointed leaf: the overlap of two circles, turned by `angle` (radians)."""
    # Two circles of radius r whose centres lie `off` either side of the leaf's axis.
    r = (length * length / 4.0 + width * width / 4.0) / width
    off = r - width / 2.0
    ca, sa = math.cos(angle), math.sin(angle)

    def d(x, y):
        # into the leaf's own frame: u along the axis, v across it
        u = (x - cx) * ca + (y - cy) * sa
        v = -(x - cx) * sa + (y - cy) * ca
        return max(math.hypot(u, v - off) - r, math.hypot(u, v + off) - r)

    return d


# A layer paints `fill` (a colour or a function of x, y) inside its shape and, when it has an
# outline, `outline_colour` in a band of `outline` pixels around it. Layers are listed from the
# back to the front.
class Layer:
    def __init__(self, shape, fill, outline=0.0, outline_colour=OUTLINE):
        self.shape = shape
        self.fill = fill
        self.outline = outline
        self.outline_colour = outline_colour

    def colour_at(self, x, y):
        d = self.shape(x, y)
        if d < 0.0:
            return self.fill(x, y) if callable(self.fill) else self.fill
        if d < self.outline:
            return self.outline_colour
        return None


def render(size, layers, samples=4):
    """RGB rows (None for a transparent pixel): a pixel is opaque when at least half of its
    samples are covered, and takes the mean colour of the covered samples."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            covered = []
            for sy in range(samples):
                for sx in range(samples):
                    x = px + (sx + 0.5) / samples
                    y = py + (sy + 0.5) / samples
                    for layer in reversed(layers):
                        c = layer.colour_at(x, y)
                        if c is not None:
                            covered.append(c)
                            break
            if len(covered) * 2 >= samples * samples:
                n = len(covered)
                row.append(tuple(round(sum(c[i] for c in covered) / n) for i in range(3)))
            else:
                row.append(None)
        rows.append(row)
    return rows


def cup_scene(s, outline, steam_width):
    """The cup drawn from shapes on a canvas of s pixels (the 48x48 image)."""
    cx = 0.45 * s  # the cup's vertical axis
    rim_y = 0.47 * s  # the level of the cup's rim
    rx = 0.33 * s  # half the width of the cup at the rim
    rim_ry = 0.09 * s  # the rim seen slightly from above
    depth = 0.32 * s  # from the rim down to the cup's bottom
    lip = max(1.0, 0.035 * s)  # width of the white lip

    bowl = intersect(ellipse(cx, rim_y, rx, depth), half_plane_below(rim_y))
    rim = ellipse(cx, rim_y, rx, rim_ry)
    body = union(bowl, rim)
    tea = ellipse(cx, rim_y, rx - lip, rim_ry - lip * 0.8)
    foot = intersect(ellipse(cx, rim_y + depth - 0.01 * s, 0.16 * s, 0.06 * s),
                     half_plane_below(rim_y + depth - 0.03 * s))

    hx, hy = cx + rx - 0.02 * s, rim_y + 0.11 * s  # the handle's centre
    outer, inner = ellipse(hx, hy, 0.17 * s, 0.15 * s), ellipse(hx, hy, 0.105 * s, 0.09 * s)
    handle_ring = subtract(outer, inner)
    handle = intersect(handle_ring, lambda x, y: cx + rx * 0.6 - x)

    sy = rim_y + depth + 0.035 * s  # the saucer's level
    saucer = ellipse(cx + 0.01 * s, sy, 0.44 * s, 0.075 * s)

    def cup_fill(x, y):
        # bands across the glaze: light on the left, shade on the right
        t = (x - (cx - rx)) / (2 * rx)
        if 0.1 < t < 0.24:
            return CUP_LIGHT
        if t > 0.8:
            return CUP_SHADE
        return CUP

    gleam = ellipse(cx - 0.13 * s, rim_y + 0.015 * s, 0.1 * s, 0.03 * s)  # light on the tea

    def tea_fill(x, y):
        return TEA_LIGHT if gleam(x, y) < 0 else TEA

    def saucer_fill(x, y):
        return SAUCER_SHADE if y > sy + 0.015 * s else SAUCER

    steam_top = 0.04 * s
    layers = [
        Layer(wisp(cx - 0.1 * s, rim_y - 0.1 * s, steam_top, 0.05 * s, steam_width / 2), STEAM),
        Layer(wisp(cx + 0.1 * s, rim_y - 0.12 * s, steam_top + 0.07 * s, 0.045 * s,
                   steam_width / 2), STEAM),
        Layer(saucer, saucer_fill, outline),
        Layer(foot, CUP_SHADE, outline),
        Layer(handle, cup_fill, outline),
        Layer(body, cup_fill, outline),
        Layer(rim, RIM, 0.0),
        Layer(tea, tea_fill, 0.0),
    ]
    # a tea leaf on the cup's side, pointing up and to the right: white, with its midrib and a
    # short stem
    lx, ly, angle, length = cx + 0.02 * s, rim_y + 0.165 * s, -0.45, 0.3 * s
    ca, sa = math.cos(angle), math.sin(angle)
    blade = leaf(lx, ly, length, 0.11 * s, angle)
    bx, by = lx - ca * length / 2, ly - sa * length / 2  # the leaf's base
    stem = segment(bx + ca * 0.03 * s, by + sa * 0.03 * s, bx - ca * 0.05 * s,
                   by - sa * 0.05 * s + 0.015 * s, 0.02 * s)
    tip_x, tip_y = lx + ca * length * 0.3, ly + sa * length * 0.3
    rib = intersect(blade, segment(bx, by, tip_x, tip_y, 0.012 * s))
    layers += [Layer(stem, LEAF), Layer(blade, LEAF), Layer(rib, LEAF_SHADE)]
    return layers


# --- Pixel drawings for the smaller sizes ---------------------------------------------------------

PIXEL_KEYS = {
    ".": None,
    "o": OUTLINE,
    "c": CUP,
    "l": CUP_LIGHT,
    "d": CUP_SHADE,
    "t": TEA,
    "T": TEA_LIGHT,
    "w": RIM,
    "s": SAUCER,
    "S": SAUCER_SHADE,
    "~": STEAM,
}

CUP_32 = """
................................
............~...................
...........~~...................
..........~~......~.............
..........~~.....~~.............
...........~~...~~..............
............~~..~~..............
............~~...~~.............
...........~~.....~~............
...........~~.....~~............
........ooooooooooooo...........
.....ooowwwtttttttwwwooo........
...oowwtttttttttttttttwwoo......
...owTTTtttttttttttttttwwo......
...owwTTttttttttttttttwwwo......
...olwwwwwwwwwwwwwwwwwwwdoooo...
...ollccccccccccccccccdddodddo..
...ollccccccccccccwwwcddoo.ddo..
....ollccccccccwwwwwwcddo..ddo..
....ollccccccwwwwwwwccddo..ddo..
.....ollccccwwwccccccddoo..doo..
.....ollcccwcccccccccddodddo....
......olccccccccccccdddoooo.....
.......olcccccccccccddo.........
..ooooooooodddddddddoooooooo....
.ossssssssooooooooooossssssso...
.osssssssssssssssssssssssssso...
.oSSSsssssssssssssssssssSSSSo...
..ooSSSSSSSSSSSSSSSSSSSSSSoo....
....ooooooooooooooooooooooo.....
................................
................................
"""

CUP_24 = """
.........~..............
........~~.....~........
.......~~.....~~........
.......~~....~~.........
........~~...~~.........
.........~~...~~........
.........~~...~~........
.....ooooooooooo........
...oowwttttttwwwoo......
..owttttttttttttwwo.....
..owTTTTttttttttwwo.....
..olwwwwwwwwwwwwwdoooo..
..ollccccccccccdddoddo..
...ollccccccwwwddo..do..
...ollccccwwwwcddo..do..
...ollcccwcccccddoddo...
....olcccccccccdoooo....
.....oocccccccdoo.......
..ooooooodddooooooooo...
.ossssssoooooossssssso..
.oSSSssssssssssssSSSSo..
..ooSSSSSSSSSSSSSSSoo...
....ooooooooooooooo.....
........................
"""

CUP_16 = """
.....~...~......
....~~..~~......
....~...~.......
.....~...~......
..ooooooooo.....
.owwtttttwwo....
.owTTtttttwoooo.
.olwwwwwwwdodddo
.ollccccccdo..do
..olcccccdoooddo
..olcccccddoooo.
...oocccddoo....
.ooooodddooooo..
osssoooooossssso
.oSSssssssssSSo.
..oooooooooooo..
"""


def from_pixels(picture):
    rows = picture.strip("\n").split("\n")
    size = len(rows)
    assert all(len(r) == size for r in rows), "a pixel drawing must be square"
    return [[PIXEL_KEYS[ch] for ch in r] for r in rows]


# --- Palette and file -----------------------------------------------------------------------------


def palette_of(pixels):
    """Index 0 is black, the XOR colour of transparent pixels; the image's colours follow."""
    colours = sorted({c for row in pixels for c in row if c is not None})
    if len(colours) > 255:
        raise SystemExit(f"{len(pixels)}x{len(pixels)} image has {len(colours)} colours, "
                         "more than a 256-colour palette holds besides black")
    return [(0, 0, 0)] + colours


def icon_image(pixels):
    """One icon image: BITMAPINFOHEADER (height doubled for the mask), the 256-colour palette,
    the 8-bit colour rows and the 1-bit AND mask rows, both bottom-up and padded to 32 bits."""
    size = len(pixels)
    palette = palette_of(pixels)
    index = {c: i for i, c in enumerate(palette) if i > 0}
    xor_rows, and_rows = [], []
    for row in reversed(pixels):
        xor_rows.append(bytes(0 if c is None else index[c] for c in row))
        bits = bytearray((size + 31) // 32 * 4)
        for x, c in enumerate(row):
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(bits))
    xor_data = b"".join(r + b"\0" * (-len(r) % 4) for r in xor_rows)
    and_data = b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor_data) + len(and_data),
                         0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    table += b"\0" * (256 * 4 - len(table))
    return header + table + xor_data + and_data


def icon_file(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = []
    for pixels in images:
        size = len(pixels)
        blob = icon_image(pixels)
        # width, height, colour count 0 (256 colours), reserved, planes, bits, size, offset
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
        blobs.append(blob)
    return out + b"".join(blobs)


def main():
    images = [
        render(48, cup_scene(48, outline=1.4, steam_width=2.6)),
        from_pixels(CUP_32),
        from_pixels(CUP_24),
        from_pixels(CUP_16),
    ]
    data = icon_file(images)
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "rudi.ico")
    with open(target, "wb") as f:
        f.write(data)
    print(f"{target}: {len(data)} bytes")


if __name__ == "__main__":
    sys.exit(main())
