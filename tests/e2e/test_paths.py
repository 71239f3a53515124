"""Paths from the data file, read back by a game through the path built-ins:
lengths and positions by fraction on straight and smooth, open and closed
paths, against an oracle here that builds each path's point list and length
in single precision on its own; and a way across a motion-planning grid."""

import math
import os
import struct

from twtest import RunnerTest


def f32(v):
    return struct.unpack("<f", struct.pack("<f", v))[0]


def mid(a, b):
    return tuple(f32((p + q) / 2) for p, q in zip(a, b))


def subdivide(out, p0, p1, p2, depth):
    if depth == 0:
        return
    m = tuple(f32((a + 2 * b + c) / 4) for a, b, c in zip(p0, p1, p2))
    if (p0[0] - p1[0]) ** 2 + (p0[1] - p1[1]) ** 2 > 16:
        subdivide(out, p0, mid(p0, p1), m, depth - 1)
    out.append(m)
    if (p1[0] - p2[0]) ** 2 + (p1[1] - p2[1]) ** 2 > 16:
        subdivide(out, m, mid(p1, p2), p2, depth - 1)


def computed(points, smooth, closed, precision):
    """The polyline the path is followed along: (x, y, speed) points."""
    n = len(points)
    if not smooth:
        return list(points) + ([points[0]] if closed else [])
    out = [] if closed else [points[0]]
    for i in range(1, n + 1 if closed else n - 1):
        before, at, after = points[(i - 1) % n], points[i % n], points[(i + 1) % n]
        subdivide(out, mid(before, at), at, mid(at, after), precision)
    out.append(out[0] if closed else points[-1])
    return out


def position(line, t):
    dist = [0.0]
    for a, b in zip(line, line[1:]):
        dist.append(f32(dist[-1] + f32(math.sqrt((b[0] - a[0]) ** 2 + (b[1] - a[1]) ** 2))))
    length = dist[-1]
    if len(line) == 1 or length == 0 or t <= 0:
        return line[0], length
    if t >= 1:
        return line[-1], length
    d = f32(length * t)
    i = 0
    while i < len(line) - 2 and d >= dist[i + 1]:
        i += 1
    a, b = line[i], line[i + 1]
    if dist[i] == dist[i + 1]:
        return a, length
    f = (d - dist[i]) / (dist[i + 1] - dist[i])
    return tuple(p + (q - p) * f for p, q in zip(a, b)), length


# name, kind, closed, precision as stored, control points (x, y, speed).
PATHS = [
    ("pth_square", 0, 1, 4, [(0, 0, 100), (100, 0, 100), (100, 100, 50), (0, 100, 100)]),
    ("pth_zigzag", 0, 0, 4, [(10, 10, 100), (70, 50, 20), (30, 90, 100), (130, 95, 60)]),
    ("pth_curve", 1, 0, 3, [(0, 0, 100), (120, 20, 40), (60, 140, 100), (200, 160, 80)]),
    ("pth_loop", 1, 1, 4, [(50, 0, 100), (100, 90, 30), (0, 90, 70)]),
    ("pth_wave", 1, 0, 8, [(0, 100, 100), (150, -200, 100), (300, 300, 10), (450, 100, 100)]),
    # Stored beyond the precision a path can have: read as 8.
    ("pth_wide", 1, 0, 12, [(0, 0, 100), (2000, 1500, 100), (4000, 0, 100)]),
    ("pth_single", 0, 0, 4, [(7, 9, 30)]),
]
FRACTIONS = [-0.5, 0, 0.1, 0.25, 1 / 3, 0.5, 0.625, 0.77, 0.999, 1, 1.5]


def close(scale):
    """Single precision over a path of this size, printed to five decimals.
    (A curve subdivided one level less misses by a hundred times more.)"""
    return 1e-5 + 1e-6 * scale


def quoted(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def description(main):
    out = ['GEN8 name="P" display="P" width=64 height=64', "OPTN"]
    for name, kind, closed, precision, points in PATHS:
        flat = ",".join("%g" % v for p in points for v in p)
        out.append(f'PATH "{name}" kind={kind} closed={closed} precision={precision} points={flat}')
    out += ['OBJECT "main"', f'  EVENT 0 0 text="{quoted(main)}"', "END",
            'ROOM "rm_main"', "  INSTANCE x=0 y=0 object=0", "END", ""]
    return "\n".join(out)


class Paths(RunnerTest):
    def lines(self, main):
        game = self.pack(description(main))
        out = self.path("out.txt")
        result = self.run_runner(["-game", game, "-output", out])
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(out, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()

    def test_positions_by_fraction_agree_with_the_oracle(self):
        fractions = "; ".join("ts[%d] = %r" % (i, t) for i, t in enumerate(FRACTIONS))
        main = f"""
var p, k, t, ts;
{fractions};
for (p = 0; p < {len(PATHS)}; p += 1) {{
  show_debug_message("L " + string(p) + " " + string_format(path_get_length(p), 0, 5)
    + " " + string(path_get_precision(p)));
  for (k = 0; k < {len(FRACTIONS)}; k += 1) {{
    t = ts[k];
    show_debug_message("P " + string(p) + " " + string(k) + " " + string_format(path_get_x(p, t), 0, 5)
      + " " + string_format(path_get_y(p, t), 0, 5) + " " + string_format(path_get_speed(p, t), 0, 5));
  }}
}}
game_end();
"""
        got = {}
        for line in self.lines(main):
            parts = line.split()
            if parts and parts[0] in ("L", "P"):
                got[tuple(parts[:2 if parts[0] == "L" else 3])] = [float(v) for v in parts[2 if parts[0] == "L" else 3:]]
        for p, (name, kind, closed, precision, points) in enumerate(PATHS):
            kept = min(max(precision, 0), 8)
            line = computed([tuple(map(f32, q)) for q in points], kind == 1, closed == 1, kept)
            with self.subTest(path=name):
                length, stored = got[("L", str(p))]
                scale = length + max(abs(v) for q in points for v in q[:2])
                self.assertEqual(stored, kept)
                for k, t in enumerate(FRACTIONS):
                    (x, y, s), want_length = position(line, f32(t))
                    self.assertAlmostEqual(length, want_length, delta=close(scale))
                    gx, gy, gs = got[("P", str(p), str(k))]
                    for g, w in ((gx, x), (gy, y), (gs, s)):
                        self.assertAlmostEqual(g, w, delta=close(scale), msg=f"t={t}")

    def test_a_game_walks_a_grid_way_around_a_wall(self):
        main = """
var g, p, i;
g = mp_grid_create(0, 0, 5, 4, 16, 16);
mp_grid_add_rectangle(g, 32, 0, 47, 47);
p = path_add();
show_debug_message("found " + string(mp_grid_path(g, p, 8, 8, 72, 8, false)));
for (i = 0; i < path_get_number(p); i += 1)
  show_debug_message("at " + string(path_get_point_x(p, i)) + "," + string(path_get_point_y(p, i)));
mp_grid_add_cell(g, 2, 3);
show_debug_message("walled " + string(mp_grid_path(g, p, 8, 8, 72, 8, true)) + " " + string(path_get_number(p)));
show_debug_message("refused " + string(mp_grid_create(0, 0, 4, 4, 0, 16)));
game_end();
"""
        lines = [l for l in self.lines(main) if l.startswith(("found", "at", "walled", "refused"))]
        # Down to the row below the wall, across, up the column beside it
        # (the trace back from the goal looks left first): ten steps.
        self.assertEqual(lines, [
            "found 1",
            "at 8,8", "at 8,24", "at 8,40", "at 8,56", "at 24,56", "at 40,56", "at 56,56", "at 56,40",
            "at 56,24", "at 56,8", "at 72,8",
            "walled 0 11",
            "refused -1",
        ])
