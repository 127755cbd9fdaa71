#!/usr/bin/python3
"""Draws the kana chart picture, assets/artwork/chart.svg.

The picture is the window's background: two 11 x 5 grids (hiragana above,
katakana below) whose boxes sit exactly under the invisible click cells, each
kana drawn in navy with red stroke-order numbers.

Sources (all Debian packages, read only here, never at run time):
  fonts-kanjistrokeorders  kana outlines with tiny stroke-number marks (BSD-3)
  fonts-wqy-microhei       the two headings (Apache-2.0 or GPL-3+ w/ font exc.)
  fonts-dejavu-core        the red digits (bold) and the digit templates used
                           to read the tiny marks (Bitstream Vera licence)

Usage:
  cmake --build build --target tessel_facts
  /usr/bin/python3 tools/make_chart.py [--out PATH] [--no-check] [--facts build/tessel_facts]

The cells come from the program's own table, printed by tessel_facts.

The output is deterministic: same fonts in, same bytes out. After writing,
the file is parsed back and every cell's ink is checked against its cell and
grid box (pass --no-check to skip).
"""

import argparse
import glob
import itertools
import json
import math
import os
import re
import subprocess
import sys

from fontTools.pens.areaPen import AreaPen
from fontTools.pens.basePen import BasePen
from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.recordingPen import DecomposingRecordingPen
from fontTools.ttLib import TTFont

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUT = os.path.join(REPO, "assets", "artwork", "chart.svg")

STROKE_FONT_GLOB = "/usr/share/fonts/truetype/kanjistrokeorders/KanjiStrokeOrders*.ttf"
HEADING_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
DIGIT_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
TEMPLATE_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

WIDTH, HEIGHT = 462, 492
BACKGROUND = (244, 250, 255)
EDGE = (212, 208, 200)
BLACK, GREY, WHITE = (0, 0, 0), (128, 128, 128), (255, 255, 255)
NAVY, RED = (0, 0, 128), (255, 0, 0)

# ---------------------------------------------------------------- cell table
# The program's own table, printed by the tessel_facts tool (tools/facts.cpp).
DEFAULT_FACTS = os.path.join(REPO, "build", "tessel_facts")
FACTS = {}


def read_facts(tool):
    if not os.access(tool, os.X_OK):
        sys.exit(f"make_chart: no {tool}; build it first: cmake --build build --target tessel_facts")
    FACTS.update(json.loads(subprocess.run([tool], check=True, capture_output=True).stdout))


def cells():
    """All 96 cells as dicts, in index order (1..48, then 101..148), positions in pixels."""
    px = FACTS["twips_per_pixel"]
    return [dict(index=c["index"], script=c["script"], col=c["column"], row=c["row"],
                 kana=c["kana"], left=c["left"] / px, top=c["top"] / px, size=c["size"] / px)
            for c in FACTS["cells"]]


# ---------------------------------------------------------------- grid
# Each line is a tuple of pixel rows/columns; the colour of every pixel is
# chosen below. Vertical dividers are a black pixel plus a grey one, so every
# divider reads as the same two-pixel dark rule whichever side the black falls
# on; row separators are a grey-over-white etched rule, lighter than the
# column rules, because the chart is read down its columns.
V_X = [(9,), (48, 49), (88, 89), (128, 129), (168, 169), (208, 209), (248, 249),
       (288, 289), (328, 329), (368, 369), (408, 409), (448,)]
V_BLACK = {
    "upper": [9, 49, 88, 129, 168, 209, 248, 289, 328, 369, 408, 448],
    "lower": [9, 48, 89, 128, 169, 208, 249, 288, 329, 368, 409, 448],
}
H_Y = {
    "upper": [(38,), (77, 78), (117, 118), (157, 158), (197, 198), (237,)],
    "lower": [(278,), (317, 318), (357, 358), (397, 398), (437, 438), (477,)],
}
H_PAIR_COLOURS = (GREY, WHITE)     # upper pixel, lower pixel of a row separator
V_PAIR_OTHER = GREY                # the non-black pixel of a column divider
GRID_X = (9, 448)


def grid_rects(half):
    """(x, y, w, h, colour) rects of one grid; verticals last so they win at crossings."""
    y_top, y_bottom = H_Y[half][0][0], H_Y[half][-1][-1]
    rects = []
    for line in H_Y[half]:
        colours = (BLACK,) if len(line) == 1 else H_PAIR_COLOURS
        for y, colour in zip(line, colours):
            rects.append((GRID_X[0], y, GRID_X[1] - GRID_X[0] + 1, 1, colour))
    for line in V_X:
        for x in line:
            colour = BLACK if x in V_BLACK[half] else V_PAIR_OTHER
            rects.append((x, y_top, 1, y_bottom - y_top + 1, colour))
    return rects


def box_interior(cell):
    """Pixel-edge rectangle (x0, y0, x1, y1) inside the grid lines of the cell's box."""
    half = "upper" if cell["script"] == "hiragana" else "lower"
    i = 11 - cell["col"]
    x0 = V_X[i][-1] + 1
    x1 = V_X[i + 1][0]
    ys = H_Y[half]
    y0 = ys[cell["row"] - 1][-1] + 1
    y1 = ys[cell["row"]][0]
    return (x0, y0, x1, y1)


# ---------------------------------------------------------------- outlines
def glyph_contours(font, ch):
    """The glyph of ch as a list of contours, each a list of recorded pen ops."""
    gs = font.getGlyphSet()
    name = font.getBestCmap()[ord(ch)]
    rec = DecomposingRecordingPen(gs)
    gs[name].draw(rec)
    contours, cur = [], []
    for op, args in rec.value:
        cur.append((op, args))
        if op in ("closePath", "endPath"):
            contours.append(cur)
            cur = []
    return contours


def replay(contour, pen):
    for op, args in contour:
        getattr(pen, op)(*args)


def contour_area(contour):
    pen = AreaPen()
    replay(contour, pen)
    return pen.value


def contour_bounds(contours):
    pen = BoundsPen(None)
    for c in contours:
        replay(c, pen)
    return pen.bounds


class FlattenPen(BasePen):
    """Turns outlines into polygons (for rasterising), curves cut into 8 pieces."""

    def __init__(self):
        super().__init__(None)
        self.polys = []

    def _moveTo(self, p):
        self.polys.append([p])

    def _lineTo(self, p):
        self.polys[-1].append(p)

    def _qCurveToOne(self, p1, p2):
        p0 = self.polys[-1][-1]
        for k in range(1, 9):
            t = k / 8
            a, b, c = (1 - t) ** 2, 2 * t * (1 - t), t * t
            self.polys[-1].append((a * p0[0] + b * p1[0] + c * p2[0],
                                   a * p0[1] + b * p1[1] + c * p2[1]))

    def _curveToOne(self, p1, p2, p3):
        p0 = self.polys[-1][-1]
        for k in range(1, 9):
            t = k / 8
            a, b, c, d = (1 - t) ** 3, 3 * t * (1 - t) ** 2, 3 * t * t * (1 - t), t ** 3
            self.polys[-1].append((a * p0[0] + b * p1[0] + c * p2[0] + d * p3[0],
                                   a * p0[1] + b * p1[1] + c * p2[1] + d * p3[1]))


def polygons(contours, transform=lambda p: p):
    pen = FlattenPen()
    for c in contours:
        replay(c, pen)
    return [[transform(p) for p in poly] for poly in pen.polys]


def raster(polys, x0, y0, step, nx, ny):
    """Nonzero-winding coverage of polys on an nx*ny sample grid -> list of bytearrays."""
    edges = []
    for poly in polys:
        for (xa, ya), (xb, yb) in zip(poly, poly[1:] + poly[:1]):
            if ya != yb:
                edges.append((xa, ya, xb, yb))
    rows = []
    for j in range(ny):
        y = y0 + (j + 0.5) * step
        hits = []
        for xa, ya, xb, yb in edges:
            if (ya <= y < yb) or (yb <= y < ya):
                x = xa + (y - ya) * (xb - xa) / (yb - ya)
                hits.append((x, 1 if yb > ya else -1))
        hits.sort()
        row = bytearray(nx)
        wind = 0
        for k, (x, d) in enumerate(hits):
            wind += d
            if wind != 0 and k + 1 < len(hits):
                a = max(0, math.ceil((x - x0) / step - 0.5))
                b = min(nx, math.ceil((hits[k + 1][0] - x0) / step - 0.5))
                for i in range(a, b):
                    row[i] = 1
        rows.append(row)
    return rows


class SvgPathPen(BasePen):
    """Writes absolute M/L/Q/Z path data in picture pixels, two decimals."""

    def __init__(self, transform):
        super().__init__(None)
        self.t = transform
        self.parts = []

    def _pt(self, p):
        x, y = self.t(p)
        return "%s %s" % (fmt(x), fmt(y))

    def _moveTo(self, p):
        self.parts.append("M" + self._pt(p))

    def _lineTo(self, p):
        self.parts.append("L" + self._pt(p))

    def _qCurveToOne(self, p1, p2):
        self.parts.append("Q" + self._pt(p1) + " " + self._pt(p2))

    def _curveToOne(self, p1, p2, p3):
        raise ValueError("cubic outlines are not expected in TrueType fonts")

    def _closePath(self):
        self.parts.append("Z")

    def _endPath(self):
        self.parts.append("Z")


def fmt(v):
    s = "%.2f" % v
    s = s.rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def path_data(contours, transform):
    pen = SvgPathPen(transform)
    for c in contours:
        replay(c, pen)
    return "".join(pen.parts)


def affine(sx, sy, tx, ty):
    """Font units (y up) to picture pixels (y down)."""
    return lambda p: (tx + sx * p[0], ty - sy * p[1])


# ---------------------------------------------------------------- stroke marks
# The stroke-order font carries its stroke numbers as tiny filled contours
# (about 40 units tall in a 1024 em) next to each stroke start; the strokes
# themselves are hundreds of units long. Holes (opposite winding) belong to
# whichever shape encloses them: the counter of a '4', or a loop in a stroke.
MARK_MAX_UNITS = 80


def split_glyph(contours):
    """-> (stroke contours, list of mark groups), each group a list of contours."""
    filled, holes = [], []
    for c in contours:
        (filled if contour_area(c) < 0 else holes).append(c)
    strokes, marks = [], []
    for c in filled:
        x0, y0, x1, y1 = contour_bounds([c])
        (marks if max(x1 - x0, y1 - y0) <= MARK_MAX_UNITS else strokes).append([c])
    for h in holes:
        hx0, hy0, hx1, hy1 = contour_bounds([h])
        owner = None
        for g in marks:
            x0, y0, x1, y1 = contour_bounds(g[:1])
            if x0 <= hx0 and y0 <= hy0 and hx1 <= x1 and hy1 <= y1:
                owner = g
                break
        if owner is not None:
            owner.append(h)
        else:
            strokes.append([h])
    strokes = [c for g in strokes for c in g]
    return strokes, marks


TEMPLATE_N = 24


def shape_bits(contours):
    """Coverage of a digit shape scaled to a fixed height and centred in a square."""
    x0, y0, x1, y1 = contour_bounds(contours)
    step = (y1 - y0) / TEMPLATE_N
    cx = (x0 + x1) / 2
    rows = raster(polygons(contours), cx - step * TEMPLATE_N / 2, y0, step,
                  TEMPLATE_N, TEMPLATE_N)
    return [b for row in rows for b in row]


def distance_map(bits):
    """3-4 chamfer distance (in thirds of a sample) to the nearest set sample."""
    n = TEMPLATE_N
    d = [0 if b else 1 << 20 for b in bits]
    fwd = ((-1, 0, 3), (0, -1, 3), (-1, -1, 4), (1, -1, 4))
    for order, steps in ((range(n * n), fwd),
                         (range(n * n - 1, -1, -1), [(-a, -b, c) for a, b, c in fwd])):
        for k in order:
            i, j = k % n, k // n
            for di, dj, cost in steps:
                ii, jj = i + di, j + dj
                if 0 <= ii < n and 0 <= jj < n:
                    d[k] = min(d[k], d[jj * n + ii] + cost)
    return d


class Shape:
    def __init__(self, contours):
        self.bits = shape_bits(contours)
        self.dist = distance_map(self.bits)

    def distance(self, other):
        """Symmetric mean chamfer distance, in template samples."""
        ab = [other.dist[k] for k, b in enumerate(self.bits) if b]
        ba = [self.dist[k] for k, b in enumerate(other.bits) if b]
        return (sum(ab) / max(1, len(ab)) + sum(ba) / max(1, len(ba))) / 6


def digit_templates(stroke_font):
    """Two independent sets of digit shapes to read the marks against.

    The stroke-order font's own digits 1-9 are single-line drawings in the
    same style as its marks (a plain '1' without a foot), once their own marks
    are split off; DejaVu Sans gives filled digits, closer in weight. A mark
    reading is only accepted when both sets agree.
    """
    dejavu = TTFont(TEMPLATE_FONT)
    own = {d: Shape(split_glyph(glyph_contours(stroke_font, str(d)))[0])
           for d in range(1, 10)}
    other = {d: Shape(glyph_contours(dejavu, str(d))) for d in range(1, 10)}
    return own, other


def assign_numbers(shapes, templates):
    """Best way to label n marks with the numbers 1..n, each used once.

    A glyph with n marks numbers its strokes 1..n, so the marks are read as a
    whole: the permutation with the smallest total distance wins. Returns
    (labels, lead of the winner over the runner-up permutation).
    """
    n = len(shapes)
    cost = [{d: s.distance(templates[d]) for d in range(1, n + 1)} for s in shapes]
    ranked = sorted((sum(cost[i][p[i]] for i in range(n)), p)
                    for p in itertools.permutations(range(1, n + 1)))
    lead = ranked[1][0] - ranked[0][0] if n > 1 else float("inf")
    return list(ranked[0][1]), lead


def read_marks(kana, marks, templates):
    """-> list of (number, lead by own digits, lead by DejaVu digits), one per mark."""
    shapes = [Shape(g) for g in marks]
    own, own_lead = assign_numbers(shapes, templates[0])
    other, other_lead = assign_numbers(shapes, templates[1])
    if own != other:
        raise SystemExit("%s: stroke marks read as %s or %s" % (kana, own, other))
    return [(d, own_lead, other_lead) for d in own]


# ---------------------------------------------------------------- emboldening
def embolden(contour, r):
    """Grows a TrueType contour outwards by r font units.

    Every point, on- and off-curve, moves along the bisector of its control-
    polygon edges to where both edges' offset lines meet; at inner corners the
    move is capped by the neighbouring edge lengths so that no loops appear.
    Filled contours (clockwise) get fatter and holes smaller, so the same call
    thickens strokes and makes the halo around a digit.
    """
    refs, pts = [], []
    for oi, (_, args) in enumerate(contour):
        for ai, p in enumerate(args):
            if p is not None:
                refs.append((oi, ai))
                pts.append(p)
    n = len(pts)
    closing_copy = n > 1 and pts[-1] == pts[0]
    if closing_copy:
        n -= 1
    moved = []
    for i in range(n):
        p = pts[i]
        j = (i - 1) % n
        while pts[j] == p and j != i:
            j = (j - 1) % n
        k = (i + 1) % n
        while pts[k] == p and k != i:
            k = (k + 1) % n
        ix, iy = p[0] - pts[j][0], p[1] - pts[j][1]
        ox, oy = pts[k][0] - p[0], pts[k][1] - p[1]
        li, lo = math.hypot(ix, iy), math.hypot(ox, oy)
        if li == 0 or lo == 0:
            moved.append(p)
            continue
        ix, iy, ox, oy = ix / li, iy / li, ox / lo, oy / lo
        d = ix * ox + iy * oy
        if d <= -0.9375:            # the outline doubles back: leave the point
            moved.append(p)
            continue
        d += 1
        q = ix * oy - iy * ox       # > 0 where the offset edges converge
        f = r / d if r * q <= min(li, lo) * d else min(li, lo) / q
        moved.append((p[0] - f * (iy + oy), p[1] + f * (ix + ox)))
    out = [[op, list(args)] for op, args in contour]
    for m, (oi, ai) in enumerate(refs):
        out[oi][1][ai] = moved[m if m < n else 0]
    return [(op, tuple(args)) for op, args in out]


# ---------------------------------------------------------------- layout
MARGIN = 1.0                 # clear space kept inside cell and box, pixels
KANA_MAX_SCALE = 36.0 / 810  # px per font unit: the tallest kana (す) 36 px
KANA_MIN_SCALE = 20.0 / 810
SCALE_STEP = 0.25 / 810      # the tallest kana shrinks a quarter pixel a step
STROKE_BOLD = 0.3            # px added on each side of the font's strokes
DIGIT_HEIGHT = 6.5           # ink height of the red digits, px
HALO = 0.7                   # white rim around each digit, px
CORE_TOL = 0.2               # px^2 of stroke ink tolerated under a digit's box
DIGIT_GAP_X = 3.5            # px between halos side by side, so "1 2" never reads "12"
DIGIT_GAP_Y = 0.5            # px between halos one above the other
MAX_SHIFT = 9.0              # how far a digit may move from the font's mark, px
GROW_COST = 4.0              # per px a digit widens or heightens the drawing
SEARCH_STEP = 0.5
SS = 3                       # raster samples per pixel for collision tests
PAD = 10.0                   # canvas around the usable area for digit search


def usable_area(cell):
    bx0, by0, bx1, by1 = box_interior(cell)
    x0 = max(cell["left"], bx0) + MARGIN
    y0 = max(cell["top"], by0) + MARGIN
    x1 = min(cell["left"] + cell["size"], bx1) - MARGIN
    y1 = min(cell["top"] + cell["size"], by1) - MARGIN
    return (x0, y0, x1, y1)


class DigitFont:
    def __init__(self):
        font = TTFont(DIGIT_FONT)
        self.glyphs = {}
        for d in range(10):
            contours = glyph_contours(font, str(d))
            self.glyphs[d] = (contours, contour_bounds(contours))
        height = self.glyphs[1][1][3] - self.glyphs[1][1][1]
        self.scale = DIGIT_HEIGHT / height

    def size(self, d):
        x0, y0, x1, y1 = self.glyphs[d][1]
        return ((x1 - x0) * self.scale, (y1 - y0) * self.scale)

    def transform(self, d, cx, cy):
        """Transform placing digit d's ink centred on (cx, cy)."""
        x0, y0, x1, y1 = self.glyphs[d][1]
        s = self.scale
        return affine(s, s, cx - s * (x0 + x1) / 2, cy + s * (y0 + y1) / 2)

    def paths(self, d, cx, cy):
        """(halo, digit) path data for digit d centred on (cx, cy)."""
        contours = self.glyphs[d][0]
        t = self.transform(d, cx, cy)
        rim = [embolden(c, HALO / self.scale) for c in contours]
        return path_data(rim, t), path_data(contours, t)


def integral(rows):
    ny, nx = len(rows), len(rows[0])
    sat = [[0] * (nx + 1) for _ in range(ny + 1)]
    for j in range(ny):
        acc = 0
        src, prev, dst = rows[j], sat[j], sat[j + 1]
        for i in range(nx):
            acc += src[i]
            dst[i + 1] = prev[i + 1] + acc
    return sat


class InkMap:
    """Stroke coverage of a canvas, summed for quick box queries."""

    def __init__(self, polys, x0, y0, x1, y1):
        self.x0, self.y0 = x0, y0
        nx, ny = int(math.ceil((x1 - x0) * SS)), int(math.ceil((y1 - y0) * SS))
        self.sat = integral(raster(polys, x0, y0, 1 / SS, nx, ny))
        self.nx, self.ny = nx, ny

    def ink(self, x0, y0, x1, y1):
        """Covered area inside a box, px^2 (samples whose centre lies inside)."""
        i0 = max(0, min(self.nx, int(math.ceil((x0 - self.x0) * SS - 0.5))))
        i1 = max(0, min(self.nx, int(math.ceil((x1 - self.x0) * SS - 0.5))))
        j0 = max(0, min(self.ny, int(math.ceil((y0 - self.y0) * SS - 0.5))))
        j1 = max(0, min(self.ny, int(math.ceil((y1 - self.y0) * SS - 0.5))))
        s = self.sat
        return (s[j1][i1] - s[j0][i1] - s[j1][i0] + s[j0][i0]) / (SS * SS)


def place_digits(order, anchors, digits, inkmap, stroke_box, size):
    """Greedy placement in the given order, or None if some digit finds no spot.

    A spot is allowed when the digit's own box is (nearly) free of stroke ink,
    it does not touch another digit's halo, and the drawing as a whole still
    fits the usable size; among those, little ink under the halo and a short
    move from the font's mark win.
    """
    uw, uh = size
    box = list(stroke_box)
    placed = {}
    r = int(MAX_SHIFT / SEARCH_STEP)
    for d in order:
        ax, ay = anchors[d]
        w, h = digits.size(d)
        cw, ch = w / 2, h / 2
        hw, hh = cw + HALO, ch + HALO
        best = None
        for jy in range(-r, r + 1):
            cy = ay + jy * SEARCH_STEP
            if max(box[3], cy + hh) - min(box[1], cy - hh) > uh:
                continue
            for jx in range(-r, r + 1):
                cx = ax + jx * SEARCH_STEP
                dist2 = (cx - ax) ** 2 + (cy - ay) ** 2
                if dist2 > MAX_SHIFT ** 2:
                    continue
                if max(box[2], cx + hw) - min(box[0], cx - hw) > uw:
                    continue
                if inkmap.ink(cx - cw, cy - ch, cx + cw, cy + ch) > CORE_TOL:
                    continue
                if any(abs(cx - px) < hw + pw + DIGIT_GAP_X and abs(cy - py) < hh + ph + DIGIT_GAP_Y
                       for px, py, pw, ph in placed.values()):
                    continue
                grow = (max(box[2], cx + hw) - min(box[0], cx - hw) - (box[2] - box[0])
                        + max(box[3], cy + hh) - min(box[1], cy - hh) - (box[3] - box[1]))
                cost = (20.0 * inkmap.ink(cx - hw, cy - hh, cx + hw, cy + hh) + dist2
                        + GROW_COST * grow)
                key = (round(cost, 6), abs(jy), abs(jx), jy, jx)
                if best is None or key < best[0]:
                    best = (key, cx, cy)
        if best is None:
            return None
        _, cx, cy = best
        placed[d] = (cx, cy, hw, hh)
        box = [min(box[0], cx - hw), min(box[1], cy - hh),
               max(box[2], cx + hw), max(box[3], cy + hh)]
    return placed, box


def try_scale(s, strokes, marks, digits, area):
    """Lays out one kana at scale s (px per unit); None if the digits do not fit."""
    ux0, uy0, ux1, uy1 = area
    bold = [embolden(c, STROKE_BOLD / s) for c in strokes]
    sx0, sy0, sx1, sy1 = contour_bounds(bold)
    tx = (ux0 + ux1) / 2 - s * (sx0 + sx1) / 2
    ty = (uy0 + uy1) / 2 + s * (sy0 + sy1) / 2
    to_px = affine(s, s, tx, ty)
    stroke_box = (tx + s * sx0, ty - s * sy1, tx + s * sx1, ty - s * sy0)
    if stroke_box[2] - stroke_box[0] > ux1 - ux0 or stroke_box[3] - stroke_box[1] > uy1 - uy0:
        return None
    inkmap = InkMap(polygons(bold, to_px), ux0 - PAD, uy0 - PAD, ux1 + PAD, uy1 + PAD)
    anchors = {}
    for d, (mx0, my0, mx1, my1) in marks:
        anchors[d] = to_px(((mx0 + mx1) / 2, (my0 + my1) / 2))
    found = None
    for order in itertools.permutations(sorted(anchors)):
        found = place_digits(order, anchors, digits, inkmap, stroke_box,
                             (ux1 - ux0, uy1 - uy0))
        if found:
            break
    if not found:
        return None
    placed, box = found
    # centre the whole drawing, strokes and digits, in the usable area
    dx = (ux0 + ux1) / 2 - (box[0] + box[2]) / 2
    dy = (uy0 + uy1) / 2 - (box[1] + box[3]) / 2
    return dict(
        scale=s,
        strokes=path_data(bold, affine(s, s, tx + dx, ty + dy)),
        digits=[(d, cx + dx, cy + dy) for d, (cx, cy, _, _) in sorted(placed.items())],
    )


def layout_kana(cell, glyph, templates, digits):
    """Strokes and digits of one kana, as large as the cell and box allow."""
    strokes, marks = split_glyph(glyph)
    read = read_marks(cell["kana"], marks, templates)
    numbered = [(r[0], contour_bounds(g)) for r, g in zip(read, marks)]
    area = usable_area(cell)
    # feasibility is not monotonic in the scale (a digit may find a gap at
    # one size and not at a nearby one), so step down rather than bisect
    s = KANA_MAX_SCALE
    while True:
        best = try_scale(s, strokes, numbered, digits, area)
        if best is not None:
            break
        s -= SCALE_STEP
        if s < KANA_MIN_SCALE:
            raise SystemExit("%s: digits do not fit even at the smallest size" % cell["kana"])
    best["reads"] = read
    return best


def digit_paths(placed, digits):
    halo, red = [], []
    for d, cx, cy in placed:
        h, r = digits.paths(d, cx, cy)
        halo.append(h)
        red.append(r)
    return "".join(halo), red


# ---------------------------------------------------------------- headings
HEADING_BOX = (205, 250)     # ink x from..to (pixel edges)
HEADING_HEIGHT = 16
HEADINGS = (("平假名", 12), ("片假名", 252))
HEADING_GAP = 1.5            # pixels between the characters' ink


def heading_path(font, text, top):
    glyphs = [glyph_contours(font, ch) for ch in text]
    bounds = [contour_bounds(g) for g in glyphs]
    y_lo = min(b[1] for b in bounds)
    y_hi = max(b[3] for b in bounds)
    sy = HEADING_HEIGHT / (y_hi - y_lo)
    inks = [b[2] - b[0] for b in bounds]
    room = HEADING_BOX[1] - HEADING_BOX[0] - HEADING_GAP * (len(text) - 1)
    sx = min(sy, room / sum(inks))
    # if the glyphs at full width would not fit, they are narrowed a little;
    # the leftover space is shared out between the characters
    gap = (HEADING_BOX[1] - HEADING_BOX[0] - sx * sum(inks)) / (len(text) - 1)
    x = HEADING_BOX[0]
    parts = []
    for g, b in zip(glyphs, bounds):
        parts.append(path_data(g, affine(sx, sy, x - sx * b[0], top + sy * y_hi)))
        x += sx * (b[2] - b[0]) + gap
    return "".join(parts)


# ---------------------------------------------------------------- output
def colour(c):
    return "#%02x%02x%02x" % c


def build_svg():
    stroke_fonts = sorted(glob.glob(STROKE_FONT_GLOB))
    if not stroke_fonts:
        raise SystemExit("stroke-order font not found; apt-get install fonts-kanjistrokeorders")
    kfont = TTFont(stroke_fonts[-1])
    hfont = TTFont(HEADING_FONT, fontNumber=0)
    digits = DigitFont()
    templates = digit_templates(kfont)

    out = []
    w = out.append
    w('<?xml version="1.0" encoding="UTF-8"?>\n')
    w('<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
      'width="%d" height="%d" viewBox="0 0 %d %d">\n' % (WIDTH, HEIGHT, WIDTH, HEIGHT))
    w('<rect x="0" y="0" width="%d" height="%d" fill="%s"/>\n'
      % (WIDTH, HEIGHT, colour(BACKGROUND)))
    w('<g shape-rendering="crispEdges">\n')
    w('<rect x="%d" y="0" width="1" height="%d" fill="%s"/>\n'
      % (WIDTH - 1, HEIGHT, colour(EDGE)))
    w('<rect x="0" y="%d" width="%d" height="1" fill="%s"/>\n'
      % (HEIGHT - 1, WIDTH, colour(EDGE)))
    for half in ("upper", "lower"):
        for x, y, rw, rh, c in grid_rects(half):
            w('<rect x="%d" y="%d" width="%d" height="%d" fill="%s"/>\n'
              % (x, y, rw, rh, colour(c)))
    w('</g>\n')
    for text, top in HEADINGS:
        w('<path fill="%s" d="%s"/>\n' % (colour(NAVY), heading_path(hfont, text, top)))

    reads = {}
    for cell in cells():
        lay = layout_kana(cell, glyph_contours(kfont, cell["kana"]), templates, digits)
        reads[cell["index"]] = lay["reads"]
        halo, red = digit_paths(lay["digits"], digits)
        w('<g id="kana-%d">\n' % cell["index"])
        w('<path fill="%s" d="%s"/>\n' % (colour(NAVY), lay["strokes"]))
        if halo:
            w('<path fill="%s" d="%s"/>\n' % (colour(WHITE), halo))
        for p in red:
            w('<path fill="%s" d="%s"/>\n' % (colour(RED), p))
        w('</g>\n')
    w('</svg>\n')
    return "".join(out), reads


# ---------------------------------------------------------------- self-check
NUM = re.compile(r"-?\d+(?:\.\d+)?")
# Bounds are taken from the written control points, which enclose the curves,
# so this is slightly stricter than the layout's own MARGIN.
CHECK_MARGIN = 0.5


def path_bounds(d):
    vals = [float(v) for v in NUM.findall(d)]
    xs, ys = vals[0::2], vals[1::2]
    return (min(xs), min(ys), max(xs), max(ys))


def check(svg_text, reads):
    """Reads the written picture back and tests every cell; returns failures."""
    groups = dict(re.findall(r'<g id="kana-(\d+)">\n(.*?)</g>', svg_text, re.S))
    failures = []
    worst_margin = None
    for cell in cells():
        body = groups.get(str(cell["index"]))
        if body is None:
            failures.append("%d: missing" % cell["index"])
            continue
        paths = re.findall(r'<path fill="(#[0-9a-f]{6})" d="([^"]*)"/>', body)
        b = [path_bounds(d) for _, d in paths]
        ink = (min(v[0] for v in b), min(v[1] for v in b),
               max(v[2] for v in b), max(v[3] for v in b))
        bx0, by0, bx1, by1 = box_interior(cell)
        limits = (max(cell["left"], bx0), max(cell["top"], by0),
                  min(cell["left"] + cell["size"], bx1),
                  min(cell["top"] + cell["size"], by1))
        margin = min(ink[0] - limits[0], ink[1] - limits[1],
                     limits[2] - ink[2], limits[3] - ink[3])
        worst_margin = margin if worst_margin is None else min(worst_margin, margin)
        if margin < CHECK_MARGIN:
            failures.append("%d %s: ink %s not inside %s with %.1f px to spare"
                            % (cell["index"], cell["kana"], ink, limits, CHECK_MARGIN))
        if not any(c == colour(NAVY) and d for c, d in paths):
            failures.append("%d %s: no strokes" % (cell["index"], cell["kana"]))
        red = sum(1 for c, _ in paths if c == colour(RED))
        strokes = len(reads[cell["index"]])
        if red != strokes:
            failures.append("%d %s: %d digits for %d strokes"
                            % (cell["index"], cell["kana"], red, strokes))
    return failures, worst_margin, len(groups)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--out", default=DEFAULT_OUT)
    ap.add_argument("--no-check", action="store_true")
    ap.add_argument("--verbose", action="store_true",
                    help="list each kana's stroke count and how its marks were read")
    ap.add_argument("--facts", default=DEFAULT_FACTS,
                    help="the tessel_facts tool, which prints the program's cell table")
    args = ap.parse_args()
    read_facts(args.facts)

    svg, reads = build_svg()
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    with open(args.out, "w", encoding="utf-8", newline="\n") as f:
        f.write(svg)

    if args.verbose:
        for cell in cells():
            r = reads[cell["index"]]
            lead = "" if len(r) < 2 else "  lead %.2f / %.2f" % r[0][1:]
            print("%3d %s %d strokes%s" % (cell["index"], cell["kana"], len(r), lead))
    if args.no_check:
        return 0
    with open(args.out, encoding="utf-8") as f:
        failures, worst, n = check(f.read(), reads)
    for line in failures:
        print("FAIL", line)
    own = min(x[1] for r in reads.values() for x in r)
    other = min(x[2] for r in reads.values() for x in r)
    print("chart: %d cells, %d stroke digits, %d failures; tightest ink-to-edge %.2f px; "
          "marks read alike by both digit sets, smallest lead %.2f / %.2f"
          % (n, sum(len(r) for r in reads.values()), len(failures), worst, own, other))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
