"""Primitives as a player sees them, read from captured frames: rectangles
against ImageMagick's, points and lines lighting the pixels they name, and
filled circles and ellipses at every circle precision against a rasteriser
of the same triangles written here."""

import math
import shutil
import struct
import subprocess
import unittest
from fractions import Fraction

from twtest import RunnerTest, read_png

CONVERT = shutil.which("convert")
RED = 0x0000FF  # script colours are 0xBBGGRR
LIT, DARK = (255, 0, 0, 255), (0, 0, 0, 255)


def game(draw, width, height):
    """One black room with an instance whose draw event runs `draw`."""
    code = draw.replace("\\", "\\\\").replace('"', '\\"')
    return (f'GEN8 version=13 debug=1 name="P" display="P" width={width} height={height} '
            "last_instance=100100 rooms=0\nOPTN\n"
            f'OBJECT "painter" depth=0\n  EVENT ev_draw 0 text="{code}"\nEND\n'
            f'ROOM "r" width={width} height={height} colour=0 show_colour=1 speed=30\n'
            "  INSTANCE x=0 y=0 object=0 id=100001\nEND\nEMPTY CODE\nSTRG\n")


# ---- The oracle for filled ellipses -------------------------------------------

def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


PI = f32(math.pi)


def ellipse(x1, y1, x2, y2, n):
    """The triangle list of a filled ellipse in the box at precision n, in
    single precision: centre, then rim points i and i + 1 at angle 2i*pi/n."""
    x1, y1, x2, y2 = f32(x1), f32(y1), f32(x2), f32(y2)
    cx, cy = f32(f32(x1 + x2) / 2), f32(f32(y1 + y2) / 2)
    rx, ry = f32(abs(f32(x1 - x2)) / 2), f32(abs(f32(y1 - y2)) / 2)
    rim = []
    for i in range(n + 1):
        a = f32(f32(2 * i * PI) / n)
        rim.append((f32(cx + f32(f32(math.cos(a)) * rx)), f32(cy + f32(f32(math.sin(a)) * ry))))
    return [((cx, cy), rim[i], rim[i + 1]) for i in range(n)]


def circle(x, y, r, n):
    x, y, r = f32(x), f32(y), f32(r)
    return ellipse(f32(x - r), f32(y - r), f32(x + r), f32(y + r), n)


# A centre this close to a rim edge, but not on it, is not called either
# way: the rasteriser snaps vertices to a sub-pixel grid.
NEAR = 1 / 128


def edge_value(a, b, px, py):
    """Twice the signed area of (a, b, p): positive on the inside of a
    clockwise (on screen) triangle. Exact whenever the sign is in doubt."""
    e = (b[0] - a[0]) * (py - a[1]) - (b[1] - a[1]) * (px - a[0])
    if abs(e) > 1e-6:
        return e
    fa, fb = (Fraction(a[0]), Fraction(a[1])), (Fraction(b[0]), Fraction(b[1]))
    return (fb[0] - fa[0]) * (Fraction(py) - fa[1]) - (fb[1] - fa[1]) * (Fraction(px) - fa[0])


def rasterise(triangles, width, height):
    """(lit, unsure): the pixels whose centre (x + 0.5, y + 0.5) the triangles
    cover, a centre exactly on an edge going to the triangle whose top or
    left edge it is; and the pixels too near a rim edge (the second edge of
    each triangle) to call."""
    lit, unsure = set(), set()
    for tri in triangles:
        a, b, c = tri
        area = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])
        if area == 0:
            continue
        rim = (1, 2)
        if area < 0:  # clockwise on screen, where y runs down
            tri, rim = (a, c, b), (2, 1)
        edges = [(0, 1), (1, 2), (2, 0)]
        xs, ys = [p[0] for p in tri], [p[1] for p in tri]
        for py in range(max(0, math.floor(min(ys)) - 1), min(height, math.ceil(max(ys)) + 1)):
            for px in range(max(0, math.floor(min(xs)) - 1), min(width, math.ceil(max(xs)) + 1)):
                inside = True
                for i, j in edges:
                    p, q = tri[i], tri[j]
                    dx, dy = q[0] - p[0], q[1] - p[1]
                    e = edge_value(p, q, px + 0.5, py + 0.5)
                    if {i, j} == set(rim) and e != 0 and abs(e) < NEAR * math.hypot(dx, dy):
                        unsure.add((px, py))
                    top_left = dy < 0 or (dy == 0 and dx > 0)
                    if e < 0 or (e == 0 and not top_left):
                        inside = False
                if inside:
                    lit.add((px, py))
    return lit, unsure


class Primitives(RunnerTest):
    def frame(self, draw, width=40, height=40):
        """The pixels of the second frame, rows of (r, g, b, a)."""
        self.pack(game(f"draw_set_colour({RED}); " + draw, width, height))
        self.env["TARNWICKE_CAPTURE_FRAME"] = "2"
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame.png")
        r = self.run_runner(["-game", "game.win"])
        self.assertEqual(r.returncode, 0, r.stderr)
        w, h, rows = read_png(self.path("frame.png"))
        self.assertEqual((w, h), (width, height))
        return rows

    def lit(self, rows):
        """The red pixels; every other pixel must be the room's black."""
        out, other = set(), []
        for y, row in enumerate(rows):
            for x, p in enumerate(row):
                if p == LIT:
                    out.add((x, y))
                elif p != DARK:
                    other.append((x, y, p))
        self.assertEqual(other[:4], [], f"{len(other)} pixels neither red nor black")
        return out

    @unittest.skipUnless(CONVERT, "ImageMagick's convert is not installed")
    def test_a_filled_rectangle_is_imagemagicks_whichever_corners_come_first(self):
        magick = subprocess.run([CONVERT, "-size", "40x40", "xc:black", "+antialias", "-fill", "red",
                                 "-stroke", "none", "-draw", "rectangle 10,10 19,19", "-depth", "8", "rgba:-"],
                                check=True, capture_output=True).stdout
        want = {(i // 4 % 40, i // 4 // 40) for i in range(0, len(magick), 4) if magick[i] == 255}
        self.assertEqual(len(want), 100)
        for corners in ("10, 10, 19, 19", "19, 19, 10, 10", "19, 10, 10, 19"):
            with self.subTest(corners=corners):
                self.assertEqual(self.lit(self.frame(f"draw_rectangle({corners}, false);")), want)

    def test_an_outline_lights_exactly_the_border(self):
        got = self.lit(self.frame("draw_rectangle(19, 19, 10, 10, true);"))
        border = {(x, y) for x in range(10, 20) for y in range(10, 20) if x in (10, 19) or y in (10, 19)}
        self.assertEqual(len(border), 36)
        self.assertEqual(got, border)

    def test_points_and_lines_light_the_pixels_they_name_ends_included(self):
        got = self.lit(self.frame("draw_point(5, 5); draw_line(0, 0, 9, 0); draw_line(9, 2, 0, 2); "
                                  "draw_line(30, 10, 30, 19);"))
        want = ({(5, 5)} | {(x, 0) for x in range(10)} | {(x, 2) for x in range(10)}
                | {(30, y) for y in range(10, 20)})
        self.assertEqual(got, want)

    def test_filled_circles_and_ellipses_at_every_precision(self):
        # A 40 x 40 cell per shape: circles in the top two rows, ellipses
        # below; whole-number boxes (edges through pixel centres, so the
        # fill rule decides) alternate with fractional ones.
        code, triangles = [], []
        for k, n in enumerate(range(4, 65, 4)):
            ox, oy = 40 * (k % 8), 40 * (k // 8)
            x, y, r = (ox + 20, oy + 20, 15) if k % 2 == 0 else (ox + 20.25, oy + 19.5, 14.6)
            ex1, ey1, ex2, ey2 = ((ox + 36, oy + 80 + 31, ox + 4, oy + 80 + 9) if k % 2 == 0
                                  else (ox + 3.5, oy + 80 + 8.25, ox + 36.75, oy + 80 + 31))
            code.append(f"draw_set_circle_precision({n}); draw_circle({x}, {y}, {r}, false); "
                        f"draw_ellipse({ex1}, {ey1}, {ex2}, {ey2}, false);")
            triangles += circle(x, y, r, n) + ellipse(ex1, ey1, ex2, ey2, n)
        got = self.lit(self.frame(" ".join(code), 320, 160))
        want, unsure = rasterise(triangles, 320, 160)
        self.assertGreater(len(want), 10000)
        self.assertLess(len(unsure), len(want) // 100)
        wrong = sorted(p for p in (got ^ want) if p not in unsure)
        self.assertEqual(wrong[:8], [], f"{len(wrong)} pixels differ from the oracle")
