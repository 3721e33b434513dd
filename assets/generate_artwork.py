#!/usr/bin/env python3
"""Draws Orvessa's frame artwork and application icon.

Run it from anywhere; it rewrites, next to itself:
    frame_landscape.bmp, frame_portrait.bmp       600 x 600, 8 bit, 256 colours
    icon/orvessa-32.bmp                           32 x 32, 8 bit, 256 colours
    icon/hicolor/<N>x<N>/apps/orvessa.png         N = 16 ... 256

Only the Python 3 standard library is needed. Everything random comes from
SEED and from an integer hash, so every run writes the same bytes.

The picture is a hand-coated print: black emulsion brushed on in horizontal
strokes that run from right to left. So the left edge is where the strokes
ran dry (long broken streaks), the right edge is where the brush landed
(blunt, short fray), and the top and bottom are the sides of the outermost
strokes (wavy, with a few stray bristle lines). The print is described as a
continuous ink density over frame coordinates, so the icon can draw the same
corner crisply at any size instead of scaling pixels.

"Dark" means luminance below 128 with
    luminance = (299 R + 587 G + 114 B) / 1000,
the same rule the tests use. Frame measurements that the program relies on
are pinned by EXPECTED below and checked before anything is written.
"""

import math
import os
import random
import struct
import sys
import zlib

SEED = 0x0E55A

SIZE = 600
PAPER_INDEX = 255

# Where the solid ink edge sits on the centre lines (pixel boundaries in
# frame coordinates; pixel i covers [i, i + 1)).  The program positions the
# photo against these, so they are anchored exactly where they cross.
EDGE_LEFT, EDGE_RIGHT, EDGE_TOP, EDGE_BOTTOM = 16.0, 588.0, 104.0, 493.0
CENTRE_ROWS = (298, 300)   # row 298 becomes the portrait's centre column
CENTRE_COL = 300
# Where the edge functions are pinned: midway between the two centre rows
# (one correction serves both), and on the centre column.
PIN_Y = 299.5
PIN_X = CENTRE_COL + 0.5

# Inclusive pixel ranges, y from the top as displayed.
EXPECTED = {
    "landscape": {
        "solid_x": (16, 587), "solid_y": (104, 492),
        "specks": (7, 94, 594, 494),          # x0, y0, x1, y1
        "photo": (24, 110, 583, 485),
    },
    "portrait": {
        "solid_x": (106, 494), "solid_y": (16, 587),
        "specks": (104, 7, 504, 594),
        "photo": (112, 24, 487, 583),
    },
}
ICON_SOURCE = (2.0, 90.0, 40.0)   # x, y, side of the corner the icon shows
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


# --------------------------------------------------------------------------
# Noise.  Hash-based so every value is a pure function of its coordinates:
# the icon samples the same print at other scales and must see the same
# streaks.

def hash01(a, b=0, c=0):
    h = (a * 0x27D4EB2D + b * 0x165667B1 + c * 0x9E3779B1 + SEED) & 0xFFFFFFFF
    h ^= h >> 15
    h = (h * 0x85EBCA77) & 0xFFFFFFFF
    h ^= h >> 13
    h = (h * 0xC2B2AE3D) & 0xFFFFFFFF
    h ^= h >> 16
    return h / 4294967296.0


def noise1(t, salt):
    i = math.floor(t)
    f = t - i
    f = f * f * (3.0 - 2.0 * f)
    a = hash01(i, salt)
    return a + (hash01(i + 1, salt) - a) * f


def noise2(x, y, salt):
    i = math.floor(x)
    j = math.floor(y)
    fx = x - i
    fy = y - j
    fx = fx * fx * (3.0 - 2.0 * fx)
    fy = fy * fy * (3.0 - 2.0 * fy)
    a = hash01(i, j, salt)
    b = hash01(i + 1, j, salt)
    c = hash01(i, j + 1, salt)
    d = hash01(i + 1, j + 1, salt)
    top = a + (b - a) * fx
    return top + (c + (d - c) * fx - top) * fy


def signed(n):
    return 2.0 * n - 1.0


def bump(t, width):
    return math.exp(-(t / width) ** 2)


# --------------------------------------------------------------------------
# The print.

class BrushedPrint:
    """Ink density (0 = paper, 1 = full black) at any point of the frame."""

    def __init__(self, seed):
        rng = random.Random(seed)
        r = rng.random

        # Horizontal strokes, overlapping a little.  Each stroke's ends bow
        # outwards in the middle of the brush (the outer bristles lag), which
        # scallops the left and right edges stroke by stroke.
        self.bands = []
        y = EDGE_TOP - 3.0
        end = EDGE_BOTTOM + 3.0
        while y < end:
            h = 40.0 + 32.0 * r()
            if end - (y + h) < 30.0:
                h = end - y
            self.bands.append({
                "top": y, "bot": y + h + 5.0,
                "left": EDGE_LEFT - 3.5 + 3.0 * r(), "lbow": 1.0 + 1.5 * r(),
                "right": EDGE_RIGHT + 1.5 + 2.5 * r(), "rbow": 0.8 + 1.2 * r(),
                "dry": 0.45 + 0.55 * r(),     # how streaky the dry end is
                "slope": 0.06 * (r() - 0.5),  # the brush was never quite level
            })
            y += h
        # The centre lines cross the print where its border is narrowest,
        # so the stroke there ends a little further in than the others.
        pinned = self._band_at(PIN_Y)
        pinned["left"] = EDGE_LEFT - pinned["lbow"] * self._bow(pinned, PIN_Y)
        pinned["right"] = EDGE_RIGHT + pinned["rbow"] * self._bow(pinned, PIN_Y)

        # Pin each edge where a centre line crosses it: measure the unpinned
        # edge there, then pull it onto its mark with a smooth local bump so
        # the correction cannot be seen as a step.
        self.left_anchor = self.right_anchor = self.top_anchor = self.bottom_anchor = 0.0
        self._cache = {}
        rows = [c + 0.5 for c in CENTRE_ROWS]
        self.left_anchor = EDGE_LEFT - sum(map(self.left, rows)) / len(rows)
        self.right_anchor = EDGE_RIGHT - sum(map(self.right, rows)) / len(rows)
        self.top_anchor = EDGE_TOP - self.top(PIN_X)
        self.bottom_anchor = EDGE_BOTTOM - self.bottom(PIN_X)
        self._cache = {}

        # Dry-brush streaks: one per bristle row.  Bristles clump, so the
        # lengths follow a slow noise and only some rows carry a streak.
        self.tails_left = {}
        self.tails_right = {}
        for k in range(int(EDGE_TOP) - 2, int(EDGE_BOTTOM) + 2):
            band = self._band_at(k + 0.5)
            # The rows the edge is measured on keep a plain end, so the
            # measurement is of the coat and not of a streak that happens
            # to touch it.
            plain = k in CENTRE_ROWS
            clump = noise1(k / 3.5, 11) ** 0.9 * (0.35 + 0.9 * noise1(k / 23.0, 14))
            if r() < 0.25 + 0.6 * band["dry"] and not plain:
                self.tails_left[k] = (
                    k + 0.5 + 0.3 * (r() - 0.5),        # centre line
                    0.7 + 0.8 * r(),                    # thickness
                    1.5 + 12.0 * band["dry"] * clump * (0.3 + 0.7 * r()),
                    0.8 + 0.2 * r(),                    # ink load
                    band["slope"] + 0.04 * (r() - 0.5),
                    1000 + k,                           # salt for its skips
                )
            else:
                r(), r(), r(), r(), r()   # keep later rows' draws unchanged
            if r() < 0.55 and not plain:
                self.tails_right[k] = (
                    k + 0.5 + 0.3 * (r() - 0.5),
                    0.55 + 0.6 * r(),
                    1.0 + 6.0 * noise1(k / 3.5, 12) ** 1.3 * (0.3 + 0.7 * r()),
                    0.6 + 0.4 * r(),
                    -band["slope"] + 0.04 * (r() - 0.5),
                    3000 + k,
                )
            else:
                r(), r(), r(), r(), r()

        # Stray bristles along the sides of the outer strokes: thin lines that
        # follow the edge a few pixels out and peel away from it.
        self.hairs = []
        for _ in range(10):
            length = 18.0 + 110.0 * r() ** 1.5
            x0 = EDGE_LEFT + 2.0 + (EDGE_RIGHT - EDGE_LEFT - 4.0 - length) * r()
            self.hairs.append(("top", x0, x0 + length, 0.3, 1.5 + 7.5 * r() ** 1.3,
                               r() < 0.5, 0.6 + 0.5 * r(), 0.7 + 0.3 * r(),
                               5000 + len(self.hairs)))
        # Below the last stroke only faint ones, too light to count as ink.
        for _ in range(6):
            length = 12.0 + 60.0 * r()
            x0 = EDGE_LEFT + 10.0 + (EDGE_RIGHT - EDGE_LEFT - 20.0 - length) * r()
            self.hairs.append(("bottom", x0, x0 + length, 0.3, 1.5 + 2.5 * r(),
                               r() < 0.5, 0.5 + 0.5 * r(), 0.25 + 0.2 * r(),
                               5000 + len(self.hairs)))

        # Fine specks thrown off the brush, mostly close to the edge.  Reach
        # per side mirrors the strokes: far on the dry left end, barely any
        # below the bottom stroke.
        reach = {"left": 9.5, "right": 6.5, "top": 10.5, "bottom": 1.6}
        self.specks = {}
        for _ in range(70):
            side = ("left", "right", "top", "top", "bottom", "top", "left")[int(7 * r())]
            out = 0.8 + (reach[side] - 0.8) * r() ** 1.4
            rad = 0.3 + 0.55 * r() ** 2
            load = 0.6 + 0.4 * r()
            if side in ("left", "right"):
                cy = EDGE_TOP + 4.0 + (EDGE_BOTTOM - EDGE_TOP - 8.0) * r()
                cx = self.left(cy) - out if side == "left" else self.right(cy) + out
            else:
                cx = EDGE_LEFT + 4.0 + (EDGE_RIGHT - EDGE_LEFT - 8.0) * r()
                cy = self.top(cx) - out if side == "top" else self.bottom(cx) + out
            # Filed under the neighbouring cells too, so that a lookup needs
            # only the cell its point falls in.
            key = (int(cx // 8), int(cy // 8))
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    self.specks.setdefault((key[0] + dx, key[1] + dy), []).append(
                        (cx, cy, rad, load))

    # -- edges --------------------------------------------------------------

    def _band_at(self, y):
        best = None
        for b in self.bands:
            if b["top"] <= y <= b["bot"]:
                mid = abs(y - (b["top"] + b["bot"]) / 2)
                if best is None or mid < best[0]:
                    best = (mid, b)
        return best[1] if best else self.bands[0 if y < EDGE_TOP + 50 else -1]

    @staticmethod
    def _bow(b, y):
        u = (y - b["top"]) / (b["bot"] - b["top"])
        return abs(2.0 * u - 1.0) ** 3

    def left(self, y):
        key = ("l", y)
        v = self._cache.get(key)
        if v is None:
            v = min((b["left"] + b["lbow"] * self._bow(b, y)
                     for b in self.bands if b["top"] <= y <= b["bot"]),
                    default=EDGE_LEFT + 4.0)
            # Bristle clumps run dry at different places: fingers of ink.
            fingers = self._band_at(y)["dry"] * signed(noise1(y / 2.6, 9))
            v += (1.0 - bump(y - PIN_Y, 3.0)) * (0.45 * signed(noise1(y / 1.1, 1)) + 1.6 * fingers)
            v += 1.0 * signed(noise1(y / 13.0, 2)) + 0.8 * signed(noise1(y / 5.0, 10))
            v += self.left_anchor * bump(y - PIN_Y, 12.0)
            self._cache[key] = v
        return v

    def right(self, y):
        key = ("r", y)
        v = self._cache.get(key)
        if v is None:
            v = max((b["right"] - b["rbow"] * self._bow(b, y)
                     for b in self.bands if b["top"] <= y <= b["bot"]),
                    default=EDGE_RIGHT - 4.0)
            v += (1.0 - bump(y - PIN_Y, 3.0)) * (0.5 * signed(noise1(y / 1.2, 3))
                                                 + 0.7 * signed(noise1(y / 3.0, 13)))
            v += 1.0 * signed(noise1(y / 11.0, 4))
            v += self.right_anchor * bump(y - PIN_Y, 12.0)
            self._cache[key] = v
        return v

    def top(self, x):
        key = ("t", x)
        v = self._cache.get(key)
        if v is None:
            # The hand wanders slowly along a stroke; bristles add the grain.
            v = (EDGE_TOP - 2.0 + 1.8 * math.sin((x - PIN_X) / 43.0 + math.pi / 2)
                 + 0.7 * math.sin(x / 17.0 + 4.0) + 0.7 * signed(noise1(x / 14.0, 5))
                 + (1.0 - bump(x - PIN_X, 3.0)) * (
                     0.5 * signed(noise1(x / 1.3, 6))
                     # now and then the bristles skip and leave a small bite
                     + 5.0 * max(0.0, noise1(x / 2.2, 30) - 0.72)))
            v += self.top_anchor * bump(x - PIN_X, 25.0)
            self._cache[key] = v
        return v

    def bottom(self, x):
        key = ("b", x)
        v = self._cache.get(key)
        if v is None:
            v = (EDGE_BOTTOM + 0.6 + 0.9 * math.sin((x - PIN_X) / 41.0 - math.pi / 2)
                 + 0.4 * math.sin(x / 15.0 + 2.0) + 0.4 * signed(noise1(x / 16.0, 7))
                 + (1.0 - bump(x - PIN_X, 3.0)) * (
                     0.35 * signed(noise1(x / 1.3, 8))
                     - 4.0 * max(0.0, noise1(x / 2.2, 31) - 0.75)))
            v += self.bottom_anchor * bump(x - PIN_X, 25.0)
            self._cache[key] = v
        return v

    # -- ink ------------------------------------------------------------------

    def _tail(self, tails, x, y, outward):
        best = 0.0
        k0 = math.floor(y)
        for k in (k0 - 1, k0, k0 + 1):
            t = tails.get(k)
            if t is None:
                continue
            yc, thick, length, load, slope, salt = t
            d = (self.left(yc) - x) if outward < 0 else (x - self.right(yc))
            if d < -1.0 or d > length:
                continue
            s = max(d, 0.0) / length
            across = y - (yc + slope * d)
            if abs(across) > 0.5 * thick * (1.0 - s * s) ** 0.5:
                continue
            # A drying brush skips: gaps get more frequent towards the tip.
            if noise1((d + 0.7 * across) / 1.7, salt) < 0.1 + 0.55 * s:
                continue
            best = max(best, load * (1.0 - s) ** 0.35)
        return best

    def _hair(self, x, y):
        best = 0.0
        for side, x0, x1, attached, free, from_left, thick, load, salt in self.hairs:
            if not x0 <= x <= x1:
                continue
            # A stray bristle leaves the edge at one end and peels away.
            t = (x - x0) / (x1 - x0)
            if not from_left:
                t = 1.0 - t
            off = attached + (free - attached) * t ** 1.5 + 0.6 * (noise1(x / 9.0, salt) - 0.5)
            yl = self.top(x) - off if side == "top" else self.bottom(x) + off
            fade = (1.0 - t) ** 0.5
            if abs(y - yl) > 0.5 * thick * (0.5 + 0.5 * fade):
                continue
            if noise1(x / 2.3, salt + 1) < 0.12 + 0.25 * t:
                continue
            best = max(best, load * (0.35 + 0.65 * fade))
        return best

    def _speck(self, x, y):
        best = 0.0
        for cx, cy, rad, load in self.specks.get((int(x // 8), int(y // 8)), ()):
            if (x - cx) ** 2 + (y - cy) ** 2 <= rad * rad:
                best = max(best, load)
        return best

    def density(self, x, y):
        lx, rx = self.left(y), self.right(y)
        ty, by = self.top(x), self.bottom(x)
        inside = min(x - lx, rx - x, y - ty, by - y)
        if inside > 0.0:
            v = 1.0
            # Brush marks in the coat: faint horizontal streaks, only visible
            # as near-black values.
            n = noise2(x / 37.0, y / 1.7, 20)
            if n > 0.7:
                v -= 0.05 * (n - 0.7)
            if noise2(x / 1.4, y / 1.4, 21) > 0.88:
                v -= 0.02
            # The coat thins right at the edge.
            if inside < 2.0:
                v -= 0.1 * (1.0 - inside / 2.0) * noise2(x / 3.0, y / 3.0, 22)
            return v
        v = max(self._tail(self.tails_left, x, y, -1) if x < lx + 1.0 else 0.0,
                self._tail(self.tails_right, x, y, 1) if x > rx - 1.0 else 0.0,
                self._hair(x, y), self._speck(x, y))
        if v < 0.03 and inside > -6.0:
            # Emulsion that wicked into the paper fibres next to the edge.
            n = noise2(x / 6.0, y / 6.0, 23)
            if n > 0.45:
                v = max(v, 0.022 * (1.0 + inside / 6.0) * (n - 0.45) / 0.55)
        return v


# --------------------------------------------------------------------------
# Rendering and palettes.

def density_to_index(d):
    if d < 0.0045:
        return PAPER_INDEX
    return max(0, min(254, int(round(254.0 * (1.0 - d)))))


def palette(paper):
    """Gray ramp; the lightest steps carry the paper's slight tint."""
    pal = []
    for i in range(255):
        if i >= 240:
            pal.append((i - 1, i, i - 1 + paper[2] - 254))
        else:
            pal.append((i, i, i))
    pal.append(paper)
    return pal


LANDSCAPE_PAPER = (254, 255, 254)
PORTRAIT_PAPER = (254, 255, 255)


def luminance1000(rgb):
    r, g, b = rgb
    return 299 * r + 587 * g + 114 * b


def render(model, x0, y0, scale, n, samples, fast=None):
    """n x n pixels showing the square of side n*scale at (x0, y0).

    fast(px, py) may return a density for pixels known to be plain paper or
    plain coat, which skips the supersampling there."""
    offs = [(i + 0.5) / samples for i in range(samples)]
    inv = 1.0 / (samples * samples)
    rows = []
    for py in range(n):
        row = bytearray(n)
        for px in range(n):
            d = fast(px, py) if fast else None
            if d is None:
                acc = 0.0
                for oy in offs:
                    y = y0 + (py + oy) * scale
                    for ox in offs:
                        acc += model.density(x0 + (px + ox) * scale, y)
                d = acc * inv
            row[px] = density_to_index(d)
        rows.append(row)
    return rows


def render_frame(model):
    def fast(px, py):
        # Nothing the brush leaves reaches this far out.
        if px < EDGE_LEFT - 22 or px > EDGE_RIGHT + 14 or py < EDGE_TOP - 22 or py > EDGE_BOTTOM + 10:
            return 0.0
        if EDGE_LEFT + 14 < px < EDGE_RIGHT - 14 and EDGE_TOP + 14 < py < EDGE_BOTTOM - 14:
            return model.density(px + 0.5, py + 0.5)
        return None
    return render(model, 0.0, 0.0, 1.0, SIZE, 3, fast)


def is_dark(pal, idx):
    return luminance1000(pal[idx]) < 128000


def fit_landscape(img, pal):
    """Nudges the few pixels that decide the measured extents.

    The anchored edges land within a fraction of a pixel of their marks; a
    stray streak or speck can still poke past the outermost-speck box or
    touch the edge pixel on a centre line.  Those are turned into light gray
    (a skip in the streak), never into paper, so the fray stays continuous."""
    want = EXPECTED["landscape"]
    x0, y0, x1, y1 = want["specks"]
    skip = 150
    for y in range(SIZE):
        for x in range(SIZE):
            beyond = max(x0 - x, x - x1, y0 - y, y - y1)
            if beyond > 0 and is_dark(pal, img[y][x]):
                img[y][x] = min(235, skip + 20 * (beyond - 1))
    # Every side must actually reach its mark: extend the nearest streak.
    def reach(axis, target, inward):
        def at(a, b):
            return (a, b) if axis == "x" else (b, a)
        def dark(a, b):
            x, y = at(a, b)
            return is_dark(pal, img[y][x])
        if any(dark(target, b) for b in range(SIZE)):
            return
        for step in range(1, 6):
            hits = [b for b in range(SIZE) if dark(target + inward * step, b)]
            if hits:
                b = hits[len(hits) // 2]
                for k in range(step):
                    x, y = at(target + inward * k, b)
                    img[y][x] = 60 + 12 * (step - k)
                return
        raise SystemExit("artwork: no ink near %s = %d" % (axis, target))

    reach("x", x0, 1)
    reach("x", x1, -1)
    reach("y", y0, 1)
    reach("y", y1, -1)

    sx0, sx1 = want["solid_x"]
    for y in CENTRE_ROWS:
        for x in range(sx0, sx1 + 1):
            if not is_dark(pal, img[y][x]):
                img[y][x] = 60
        for x in (sx0 - 1, sx1 + 1):
            if is_dark(pal, img[y][x]):
                img[y][x] = skip
    sy0, sy1 = want["solid_y"]
    for y in range(sy0, sy1 + 1):
        if not is_dark(pal, img[y][CENTRE_COL]):
            img[y][CENTRE_COL] = 60
    for y in (sy0 - 1, sy1 + 1):
        if is_dark(pal, img[y][CENTRE_COL]):
            img[y][CENTRE_COL] = skip


def turn_clockwise(img):
    """Quarter turn clockwise, one pixel to the left, paper in the last column.

    One art for both orientations keeps them identical in character.  The
    portrait photo sits one pixel further left than a plain turn of the
    landscape one would put it, so the landscape ink has to reach one row
    below its own photo; check() catches it if it ever does not."""
    out = []
    for y in range(SIZE):
        row = bytearray(SIZE)
        for x in range(SIZE - 1):
            row[x] = img[SIZE - 2 - x][y]
        row[SIZE - 1] = PAPER_INDEX
        out.append(row)
    return out


# --------------------------------------------------------------------------
# Measuring, with the same rules as the tests.

def measure(img, pal, cx=CENTRE_COL, cy=SIZE // 2):
    def run(get, c, limit):
        a = c
        while a > 0 and is_dark(pal, get(a - 1)):
            a -= 1
        b = c
        while b < limit - 1 and is_dark(pal, get(b + 1)):
            b += 1
        return a, b
    xs, ys = [], []
    for y in range(SIZE):
        for x in range(SIZE):
            if is_dark(pal, img[y][x]):
                xs.append(x)
                ys.append(y)
    return {
        "solid_x": run(lambda x: img[cy][x], cx, SIZE),
        "solid_y": run(lambda y: img[y][cx], cy, SIZE),
        "specks": (min(xs), min(ys), max(xs), max(ys)),
    }


def check(name, img, pal):
    want = EXPECTED[name]
    got = measure(img, pal)
    for key in ("solid_x", "solid_y", "specks"):
        if tuple(got[key]) != tuple(want[key]):
            raise SystemExit("artwork: %s %s is %r, want %r" % (name, key, got[key], want[key]))
    x0, y0, x1, y1 = want["photo"]
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if not is_dark(pal, img[y][x]):
                raise SystemExit("artwork: %s photo area has paper at %d,%d" % (name, x, y))
    corners = [img[0][0], img[0][SIZE - 1], img[SIZE - 1][0], img[SIZE - 1][SIZE - 1]]
    if any(c != PAPER_INDEX for c in corners):
        raise SystemExit("artwork: %s corners are not paper" % name)


# --------------------------------------------------------------------------
# File formats.

def bmp_bytes(img, pal):
    """8-bit BI_RGB bitmap, bottom-up, with the full table and biClrUsed 256.

    Spelling out 256 rather than 0 spares readers the "0 means all" rule."""
    n = len(img)
    stride = (n + 3) & ~3
    pixels = b"".join(bytes(row) + b"\0" * (stride - n) for row in reversed(img))
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in pal)
    offset = 14 + 40 + len(table)
    info = struct.pack("<IiiHHIIiiII", 40, n, n, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + table + pixels


def png_bytes(img, pal):
    n = len(img)
    raw = b"".join(b"\0" + b"".join(bytes(pal[i]) for i in row) for row in img)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    model = BrushedPrint(SEED)

    land_pal = palette(LANDSCAPE_PAPER)
    port_pal = palette(PORTRAIT_PAPER)
    land = render_frame(model)
    fit_landscape(land, land_pal)
    port = turn_clockwise(land)
    check("landscape", land, land_pal)
    check("portrait", port, port_pal)

    icons = {}
    sx, sy, side = ICON_SOURCE
    for n in ICON_SIZES:
        # Small icons need more samples per pixel to keep streaks as grays.
        icons[n] = render(model, sx, sy, side / n, n, max(3, int(math.ceil(3 * side / n / 2))))

    write(os.path.join(here, "frame_landscape.bmp"), bmp_bytes(land, land_pal))
    write(os.path.join(here, "frame_portrait.bmp"), bmp_bytes(port, port_pal))
    write(os.path.join(here, "icon", "orvessa-32.bmp"), bmp_bytes(icons[32], land_pal))
    for n, img in icons.items():
        write(os.path.join(here, "icon", "hicolor", "%dx%d" % (n, n), "apps", "orvessa.png"),
              png_bytes(img, land_pal))
    return 0


if __name__ == "__main__":
    sys.exit(main())
