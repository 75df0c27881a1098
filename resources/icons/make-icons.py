#!/usr/bin/env python3
"""Draws Tolvane's icons: the 16x16 toolbar icons and the application icon.

Only the Python standard library is used (the PNGs are written with zlib), so the
icons can be remade anywhere:

    python3 resources/icons/make-icons.py

Every icon is a list of simple vector shapes. Toolbar icons are drawn on a 16-unit
grid with edges on whole pixels so they stay crisp; the application icon is drawn on a
32-unit grid, scaled for the larger sizes and written out as tolvane.svg from the
very same shapes. The 16 pixel application icon has its own, simpler drawing because
the braces do not survive being shrunk to half size.
"""

import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
APP_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


# ---------------------------------------------------------------------------
# Colours

def rgba(hex_colour, alpha=1.0):
    h = hex_colour.lstrip("#")
    return (int(h[0:2], 16) / 255.0, int(h[2:4], 16) / 255.0, int(h[4:6], 16) / 255.0, alpha)


OUTLINE = "#2e3a46"
PAPER = "#fdfdfb"
PAPER_SHADE = "#dfe4ea"
TEXT_LINE = "#9fb3c8"
BLUE = "#2467b3"
BLUE_LIGHT = "#8cbcea"
BLUE_DARK = "#173f6e"
ORANGE = "#e8731c"
ORANGE_DARK = "#9c4a0c"
GREEN = "#3d9a3a"
GREEN_DARK = "#1f5e1d"
FOLDER = "#f0c24b"
FOLDER_BACK = "#d39d22"
FOLDER_EDGE = "#7a5a10"
STEEL = "#c9d1d9"
STEEL_DARK = "#56616d"
RED = "#c8372d"
RED_DARK = "#7d1a14"
BOARD = "#b07a3f"
BOARD_DARK = "#6b4520"
GEAR = "#6d7a88"
GEAR_DARK = "#35404c"


# ---------------------------------------------------------------------------
# Shapes. Each knows its outline as polygons (for the rasteriser) and as SVG.

def fmt(v):
    s = "%.2f" % v
    s = s.rstrip("0").rstrip(".")
    return "0" if s == "-0" else s


def oriented(points, ccw=True):
    """Returns the contour wound the asked way, so the nonzero rule unites or cuts as meant."""
    area = 0.0
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        area += x0 * y1 - x1 * y0
    if (area > 0) != ccw:
        return list(reversed(points))
    return list(points)


def arc_points(cx, cy, r, a0, a1, steps):
    return [(cx + r * math.cos(a0 + (a1 - a0) * i / steps), cy + r * math.sin(a0 + (a1 - a0) * i / steps))
            for i in range(steps + 1)]


class Shape:
    def __init__(self, colour):
        self.colour = colour

    def svg_fill(self):
        r, g, b, a = self.colour
        attr = 'fill="#%02x%02x%02x"' % (round(r * 255), round(g * 255), round(b * 255))
        if a < 1.0:
            attr += ' fill-opacity="%s"' % fmt(a)
        return attr


class Poly(Shape):
    """Filled polygon; further contours wound the other way cut holes."""

    def __init__(self, points, colour, holes=()):
        super().__init__(colour)
        self.contours = [oriented(list(points), True)] + [oriented(list(h), False) for h in holes]

    def polygons(self):
        return self.contours

    def svg(self):
        d = " ".join("M" + " L".join("%s %s" % (fmt(x), fmt(y)) for x, y in c) + " Z" for c in self.contours)
        return '<path d="%s" %s/>' % (d, self.svg_fill())


class Rect(Shape):
    def __init__(self, x, y, w, h, colour, radius=0.0):
        super().__init__(colour)
        self.x, self.y, self.w, self.h, self.r = x, y, w, h, radius

    def polygons(self):
        x, y, w, h, r = self.x, self.y, self.w, self.h, self.r
        if r <= 0:
            return [oriented([(x, y), (x + w, y), (x + w, y + h), (x, y + h)])]
        pts = []
        pts += arc_points(x + w - r, y + r, r, -math.pi / 2, 0, 8)
        pts += arc_points(x + w - r, y + h - r, r, 0, math.pi / 2, 8)
        pts += arc_points(x + r, y + h - r, r, math.pi / 2, math.pi, 8)
        pts += arc_points(x + r, y + r, r, math.pi, 1.5 * math.pi, 8)
        return [oriented(pts)]

    def svg(self):
        rx = ' rx="%s"' % fmt(self.r) if self.r > 0 else ""
        return '<rect x="%s" y="%s" width="%s" height="%s"%s %s/>' % (
            fmt(self.x), fmt(self.y), fmt(self.w), fmt(self.h), rx, self.svg_fill())


class Circle(Shape):
    def __init__(self, cx, cy, r, colour, hole=0.0):
        super().__init__(colour)
        self.cx, self.cy, self.r, self.hole = cx, cy, r, hole

    def polygons(self):
        outer = arc_points(self.cx, self.cy, self.r, 0, 2 * math.pi, 64)[:-1]
        result = [oriented(outer, True)]
        if self.hole > 0:
            inner = arc_points(self.cx, self.cy, self.hole, 0, 2 * math.pi, 64)[:-1]
            result.append(oriented(inner, False))
        return result

    def svg(self):
        if self.hole <= 0:
            return '<circle cx="%s" cy="%s" r="%s" %s/>' % (fmt(self.cx), fmt(self.cy), fmt(self.r), self.svg_fill())
        mid = (self.r + self.hole) / 2
        r, g, b, _ = self.colour
        return '<circle cx="%s" cy="%s" r="%s" fill="none" stroke="#%02x%02x%02x" stroke-width="%s"/>' % (
            fmt(self.cx), fmt(self.cy), fmt(mid), round(r * 255), round(g * 255), round(b * 255),
            fmt(self.r - self.hole))


def cubic(p0, p1, p2, p3, steps=24):
    pts = []
    for i in range(1, steps + 1):
        t = i / steps
        u = 1 - t
        pts.append((u ** 3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t ** 3 * p3[0],
                    u ** 3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t ** 3 * p3[1]))
    return pts


class Stroke(Shape):
    """An open path of lines and cubic curves drawn with a round-capped pen."""

    def __init__(self, start, segments, width, colour):
        super().__init__(colour)
        self.start, self.segments, self.width = start, segments, width

    def points(self):
        pts = [self.start]
        for seg in self.segments:
            if len(seg) == 1:
                pts.append(seg[0])
            else:
                pts += cubic(pts[-1], seg[0], seg[1], seg[2])
        return pts

    def polygons(self):
        # The union of one capsule per segment; all wound alike so the nonzero rule joins them.
        r = self.width / 2
        result = []
        pts = self.points()
        for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
            a = math.atan2(y1 - y0, x1 - x0)
            cap = arc_points(x1, y1, r, a - math.pi / 2, a + math.pi / 2, 10)
            cap += arc_points(x0, y0, r, a + math.pi / 2, a + 1.5 * math.pi, 10)
            result.append(oriented(cap))
        return result

    def svg(self):
        d = "M%s %s" % (fmt(self.start[0]), fmt(self.start[1]))
        for seg in self.segments:
            if len(seg) == 1:
                d += " L%s %s" % (fmt(seg[0][0]), fmt(seg[0][1]))
            else:
                d += " C" + " ".join("%s %s" % (fmt(x), fmt(y)) for x, y in seg)
        r, g, b, _ = self.colour
        return ('<path d="%s" fill="none" stroke="#%02x%02x%02x" stroke-width="%s" '
                'stroke-linecap="round" stroke-linejoin="round"/>') % (
            d, round(r * 255), round(g * 255), round(b * 255), fmt(self.width))


# ---------------------------------------------------------------------------
# Rasteriser: nonzero fill, exact coverage across each row, SUB rows per pixel.

SUB = 16


def coverage(polygons, size, scale):
    cov = [[0.0] * size for _ in range(size)]
    edges = []
    for poly in polygons:
        n = len(poly)
        for i in range(n):
            x0, y0 = poly[i][0] * scale, poly[i][1] * scale
            x1, y1 = poly[(i + 1) % n][0] * scale, poly[(i + 1) % n][1] * scale
            if y0 == y1:
                continue
            winding = 1 if y1 > y0 else -1
            if y0 > y1:
                x0, y0, x1, y1 = x1, y1, x0, y0
            edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0), winding))
    if not edges:
        return cov
    ymin = max(0, int(math.floor(min(e[0] for e in edges))))
    ymax = min(size, int(math.ceil(max(e[1] for e in edges))))
    weight = 1.0 / SUB
    for py in range(ymin, ymax):
        row = cov[py]
        for s in range(SUB):
            y = py + (s + 0.5) / SUB
            crossings = [(x0 + (y - y0) * slope, w) for (y0, y1, x0, slope, w) in edges if y0 <= y < y1]
            if not crossings:
                continue
            crossings.sort()
            wind = 0
            span_start = None
            for x, w in crossings:
                before = wind
                wind += w
                if before == 0 and wind != 0:
                    span_start = x
                elif before != 0 and wind == 0:
                    add_span(row, span_start, x, weight, size)

    return cov


def add_span(row, xa, xb, weight, size):
    xa = max(0.0, min(float(size), xa))
    xb = max(0.0, min(float(size), xb))
    if xb <= xa:
        return
    ia, ib = int(xa), int(xb)
    if ia == ib:
        row[ia] += (xb - xa) * weight
        return
    row[ia] += (ia + 1 - xa) * weight
    for i in range(ia + 1, min(ib, size)):
        row[i] += weight
    if ib < size:
        row[ib] += (xb - ib) * weight


def render(shapes, size, units):
    """Draws the shapes (given on a units x units grid) into a size x size RGBA image."""
    scale = size / units
    # Premultiplied RGBA canvas.
    canvas = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    for shape in shapes:
        cov = coverage(shape.polygons(), size, scale)
        r, g, b, a = shape.colour
        for y in range(size):
            crow, prow = cov[y], canvas[y]
            for x in range(size):
                c = crow[x]
                if c <= 0.0:
                    continue
                sa = min(1.0, c) * a
                px = prow[x]
                keep = 1.0 - sa
                px[0] = r * sa + px[0] * keep
                px[1] = g * sa + px[1] * keep
                px[2] = b * sa + px[2] * keep
                px[3] = sa + px[3] * keep
    return canvas


def write_png(path, canvas):
    size = len(canvas)
    raw = bytearray()
    for row in canvas:
        raw.append(0)
        for r, g, b, a in row:
            if a <= 0.0:
                raw += b"\0\0\0\0"
                continue
            raw += bytes((min(255, round(r / a * 255)), min(255, round(g / a * 255)),
                          min(255, round(b / a * 255)), min(255, round(a * 255))))

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)


def write_svg(path, shapes, units, title):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">'
             % (units * 8, units * 8, units, units),
             "  <title>%s</title>" % title]
    lines += ["  " + s.svg() for s in shapes]
    lines.append("</svg>")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


# ---------------------------------------------------------------------------
# Toolbar icons (16-unit grid; a 1-pixel line at x is drawn as Rect(x, ..., 1, ...)).

def outlined_rect(x, y, w, h, fill, edge=OUTLINE):
    return [Rect(x, y, w, h, rgba(edge)), Rect(x + 1, y + 1, w - 2, h - 2, rgba(fill))]


def page(x, y, w, h, fold=4, lines=0, line_colour=TEXT_LINE):
    """A sheet with its top-right corner folded down; `lines` rows of text on it."""
    shapes = [
        Poly([(x, y), (x + w - fold, y), (x + w, y + fold), (x + w, y + h), (x, y + h)], rgba(OUTLINE)),
        Poly([(x + 1, y + 1), (x + w - fold - 0.5, y + 1), (x + w - 1, y + fold + 0.5), (x + w - 1, y + h - 1),
              (x + 1, y + h - 1)], rgba(PAPER)),
        Poly([(x + w - fold, y), (x + w, y + fold), (x + w - fold, y + fold)], rgba(OUTLINE)),
        Poly([(x + w - fold + 1, y + 2.4), (x + w - 2.4, y + fold - 1), (x + w - fold + 1, y + fold - 1)],
             rgba(PAPER_SHADE)),
    ]
    for i in range(lines):
        ly = y + fold + 2 + 2 * i
        if ly + 1 > y + h - 2:
            break
        lw = w - 4 if i % 3 != 2 else (w - 4) // 2 + 1
        shapes.append(Rect(x + 2, ly, lw, 1, rgba(line_colour)))
    return shapes


def icon_new():
    s = page(2, 0, 11, 15, fold=4, lines=0)
    # A green plus badge: a new, empty sheet.
    s += [Circle(11.5, 11.5, 4.5, rgba(GREEN_DARK)), Circle(11.5, 11.5, 3.5, rgba(GREEN)),
          Rect(11, 9, 1, 5, rgba("#ffffff")), Rect(9, 11, 5, 1, rgba("#ffffff"))]
    return s


def icon_open():
    return [
        # Back of the folder with its tab.
        Poly([(0.5, 3), (5.5, 3), (7, 4.5), (13, 4.5), (13, 14), (0.5, 14)], rgba(FOLDER_EDGE)),
        Poly([(1.5, 4), (5, 4), (6.5, 5.5), (12, 5.5), (12, 13), (1.5, 13)], rgba(FOLDER_BACK)),
        # A sheet sticking out.
        Rect(3, 6.5, 8, 6, rgba(OUTLINE)), Rect(4, 7.5, 6, 5, rgba(PAPER)),
        # The front flap, swung open.
        Poly([(3.5, 8), (15.8, 8), (13, 14), (0.5, 14)], rgba(FOLDER_EDGE)),
        Poly([(4.2, 9), (14.3, 9), (12.4, 13), (1.9, 13)], rgba(FOLDER)),
    ]


def icon_save():
    return [
        # Disk body with a cut corner.
        Poly([(1, 1), (13, 1), (15, 3), (15, 15), (1, 15)], rgba(BLUE_DARK)),
        Poly([(2, 2), (12.6, 2), (14, 3.4), (14, 14), (2, 14)], rgba(BLUE)),
        # Label.
        Rect(4, 2, 8, 6, rgba(BLUE_DARK)), Rect(5, 2, 6, 5, rgba(PAPER)),
        Rect(6, 3, 4, 1, rgba(TEXT_LINE)), Rect(6, 5, 4, 1, rgba(TEXT_LINE)),
        # Metal shutter with its slot.
        Rect(4, 10, 8, 5, rgba(STEEL_DARK)), Rect(5, 11, 6, 4, rgba(STEEL)),
        Rect(9, 11, 1.5, 3, rgba(STEEL_DARK)),
    ]


def icon_find():
    return [
        # Handle first, so the lens rim covers its end.
        Stroke((9.5, 9.5), [((14, 14),)], 3.2, rgba(GEAR_DARK)),
        Stroke((10.5, 10.5), [((13.6, 13.6),)], 1.4, rgba(ORANGE)),
        Circle(6.5, 6.5, 5.5, rgba(OUTLINE)),
        Circle(6.5, 6.5, 4.3, rgba(BLUE_LIGHT)),
        # A glint on the glass.
        Stroke((4.2, 6.3), [((4.6, 5.0), (5.3, 4.4), (6.4, 4.2))], 1.1, rgba("#ffffff", 0.95)),
    ]


def icon_cut():
    return [
        # Each blade runs from its tip through the pivot to the opposite ring.
        Poly([(3.6, 0.6), (5.4, 0.2), (11, 10), (9.2, 11)], rgba(STEEL_DARK)),
        Poly([(12.4, 0.6), (10.6, 0.2), (5, 10), (6.8, 11)], rgba(STEEL_DARK)),
        Poly([(4.5, 1.2), (5.1, 1.1), (10.2, 10), (9.6, 10.3)], rgba(STEEL)),
        Poly([(11.5, 1.2), (10.9, 1.1), (5.8, 10), (6.4, 10.3)], rgba(STEEL)),
        Circle(8, 6.9, 1, rgba(OUTLINE)),
        # Finger rings.
        Circle(4.3, 12.3, 3.3, rgba(RED_DARK), hole=1.4),
        Circle(11.7, 12.3, 3.3, rgba(RED_DARK), hole=1.4),
        Circle(4.3, 12.3, 2.5, rgba(RED), hole=1.5),
        Circle(11.7, 12.3, 2.5, rgba(RED), hole=1.5),
    ]


def icon_copy():
    return page(0, 0, 10, 12, fold=3, lines=4) + page(5, 4, 10, 12, fold=3, lines=4, line_colour=BLUE)


def icon_paste():
    return [
        # Clipboard.
        Rect(1, 2, 12, 14, rgba(BOARD_DARK), radius=1),
        Rect(2, 3, 10, 12, rgba(BOARD)),
        # Clip.
        Rect(4, 0, 6, 4, rgba(STEEL_DARK), radius=1),
        Rect(5, 1, 4, 2, rgba(STEEL)),
        Rect(6, 1, 2, 1, rgba(STEEL_DARK)),
    ] + page(6, 5, 10, 11, fold=3, lines=3, line_colour=BLUE)


def gear(cx, cy, r_out, r_in, hole, teeth, colour):
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step - math.pi / 2
        for da, r in ((-0.30, r_in), (-0.17, r_out), (0.17, r_out), (0.30, r_in)):
            pts.append((cx + r * math.cos(a + da * step * 1.6), cy + r * math.sin(a + da * step * 1.6)))
    inner = arc_points(cx, cy, hole, 0, 2 * math.pi, 32)[:-1]
    return Poly(pts, colour, holes=[inner])


def icon_compile():
    return [
        gear(7, 7, 6.8, 5.0, 2.0, 8, rgba(GEAR_DARK)),
        gear(7, 7, 5.8, 4.1, 2.9, 8, rgba(GEAR)),
        # The play arrow: build, then run.
        Poly([(8, 7), (15.6, 11.5), (8, 16)], rgba(GREEN_DARK)),
        Poly([(9, 8.8), (13.7, 11.5), (9, 14.2)], rgba(GREEN)),
    ]


TOOLBAR = {
    "new": icon_new,
    "save": icon_save,
    "open": icon_open,
    "find": icon_find,
    "cut": icon_cut,
    "copy": icon_copy,
    "paste": icon_paste,
    "compile": icon_compile,
}


# ---------------------------------------------------------------------------
# Application icon: a sheet of Java source, "{ T }" on it.

def brace(x_mid, top, bottom, width, pen, colour, mirror=False):
    """A curly brace between top and bottom whose point sits at x_mid - width/2."""
    d = -1 if mirror else 1
    tip = x_mid - d * width / 2
    stem = x_mid
    end = x_mid + d * width / 2
    mid = (top + bottom) / 2
    k = (bottom - top) / 8
    return Stroke((end, top), [
        ((stem, top), (stem, top), (stem, top + 2 * k)),
        ((stem, mid - 1.2 * k),),
        ((stem, mid - 0.2 * k), (tip + d * 0.3 * width, mid), (tip, mid)),
        ((tip + d * 0.3 * width, mid), (stem, mid + 0.2 * k), (stem, mid + 1.2 * k)),
        ((stem, bottom - 2 * k),),
        ((stem, bottom), (stem, bottom), (end, bottom)),
    ], pen, colour)


def app_icon():
    """Drawn on a 32-unit grid, with the main edges on whole units so the 32 pixel icon is crisp."""
    return [
        # Soft shadow under the sheet.
        Poly([(5.5, 3.5), (22.5, 3.5), (28.5, 9.5), (28.5, 31.5), (5.5, 31.5)], rgba("#000000", 0.18)),
        # The sheet with a folded corner.
        Poly([(4, 2), (21, 2), (27, 8), (27, 30), (4, 30)], rgba(OUTLINE)),
        Poly([(5, 3), (20.6, 3), (26, 8.4), (26, 29), (5, 29)], rgba(PAPER)),
        Poly([(21, 2), (27, 8), (21, 8)], rgba(OUTLINE)),
        Poly([(22, 4.4), (24.6, 7), (22, 7)], rgba(PAPER_SHADE)),
        # A band along the top of the page in the braces' colour.
        Rect(5, 3, 14, 2, rgba(BLUE)),
        # { T }
        brace(9, 11, 26, 3.6, 2, rgba(BLUE)),
        brace(22, 11, 26, 3.6, 2, rgba(BLUE), mirror=True),
        Rect(12, 12, 7, 3, rgba(ORANGE)),
        Rect(14, 12, 3, 13, rgba(ORANGE)),
    ]


def app_icon_16():
    """The 16 pixel drawing, snapped to whole pixels."""
    return [
        Poly([(2, 0), (10, 0), (14, 4), (14, 16), (2, 16)], rgba(OUTLINE)),
        Poly([(3, 1), (9.6, 1), (13, 4.4), (13, 15), (3, 15)], rgba(PAPER)),
        Poly([(10, 0), (14, 4), (10, 4)], rgba(OUTLINE)),
        Poly([(11, 2.4), (11.6, 3), (11, 3)], rgba(PAPER_SHADE)),
        Rect(3, 1, 6, 1, rgba(BLUE)),
        # {
        Rect(5, 5, 2, 1, rgba(BLUE)), Rect(4, 6, 1, 3, rgba(BLUE)), Rect(3, 9, 1, 1, rgba(BLUE)),
        Rect(4, 10, 1, 3, rgba(BLUE)), Rect(5, 13, 2, 1, rgba(BLUE)),
        # }
        Rect(9, 5, 2, 1, rgba(BLUE)), Rect(11, 6, 1, 3, rgba(BLUE)), Rect(12, 9, 1, 1, rgba(BLUE)),
        Rect(11, 10, 1, 3, rgba(BLUE)), Rect(9, 13, 2, 1, rgba(BLUE)),
        # T
        Rect(6, 6, 4, 2, rgba(ORANGE)), Rect(7, 6, 2, 7, rgba(ORANGE)),
    ]


def main():
    only = set(sys.argv[1:])
    for name, draw in TOOLBAR.items():
        if only and name not in only:
            continue
        shapes = draw()
        write_png(os.path.join(HERE, name + ".png"), render(shapes, 16, 16))
        # Qt picks the @2x file up by itself on high-density screens.
        write_png(os.path.join(HERE, name + "@2x.png"), render(shapes, 32, 16))
    if not only or "tolvane" in only:
        shapes = app_icon()
        write_svg(os.path.join(HERE, "tolvane.svg"), shapes, 32, "Tolvane")
        for size in APP_SIZES:
            drawing, units = (app_icon_16(), 16) if size == 16 else (shapes, 32)
            write_png(os.path.join(HERE, "hicolor", "%dx%d" % (size, size), "apps", "tolvane.png"),
                      render(drawing, size, units))


if __name__ == "__main__":
    main()
