"""place_free, move_contact_solid, move_outside_solid and move_bounce_solid
in a walled room of box walls and precise rocks, for a precise ball and a
box-shaped crate, against a pixel-by-pixel oracle built here from the masks
the fixture defines: random cases from a fixed seed, each answered by the
game and by the oracle."""

import math
import os
import random
import struct

from twtest import RunnerTest

W, H = 160, 120
SEED = 20240517


def f32(v):
    return struct.unpack("<f", struct.pack("<f", v))[0]


def near(v):
    return int(round(v))  # halves to even, as the engine rounds


def diamond(n):
    c = (n - 1) / 2
    return [[abs(i - c) + abs(j - c) <= c + 0.5 for i in range(n)] for j in range(n)]


def disc(n):
    c = (n - 1) / 2
    return [[(i - c) ** 2 + (j - c) ** 2 <= (c + 0.3) ** 2 for i in range(n)] for j in range(n)]


def mask_hex(rows):
    out = ""
    for row in rows:
        bits = row + [False] * (-len(row) % 8)
        for k in range(0, len(bits), 8):
            out += "%02x" % sum(1 << (7 - b) for b in range(8) if bits[k + b])
    return out


def full(n):
    return [[True] * n for _ in range(n)]


# name: size, origin, precise mask (None: a box)
SPRITES = {
    "spr_wall": (16, 0, None),
    "spr_rock": (16, 0, diamond(16)),
    "spr_ball": (9, 4, disc(9)),
    "spr_crate": (8, 0, None),
}
SPRITE_ORDER = ["spr_wall", "spr_rock", "spr_ball", "spr_crate"]


def shape_pixels(sprite, x, y):
    size, origin, mask = SPRITES[sprite]
    rows = mask or full(size)
    left, top = near(x) - origin, near(y) - origin
    return {(left + i, top + j) for j in range(size) for i in range(size) if rows[j][i]}


def solids():
    """The walls round the room and inside it, and the rocks: (sprite, x, y)."""
    out = []
    for x in range(0, W, 16):
        out += [("spr_wall", x, 0), ("spr_wall", x, H - 16)]
    for y in range(16, H - 16, 16):
        out += [("spr_wall", 0, y), ("spr_wall", W - 16, y)]
    out += [("spr_wall", 48, 48), ("spr_wall", 64, 48), ("spr_rock", 100, 30), ("spr_rock", 40, 80),
            ("spr_rock", 110, 74)]
    return out


class Oracle:
    def __init__(self):
        self.blocked = set()
        for sprite, x, y in solids():
            self.blocked |= shape_pixels(sprite, x, y)

    def free(self, probe, x, y):
        return not (shape_pixels(probe, x, y) & self.blocked)

    @staticmethod
    def step(direction):
        r = f32(f32(f32(direction) * f32(3.1415927)) / f32(180))
        return f32(math.cos(r)), f32(-math.sin(r))

    def contact(self, probe, x, y, direction, maxdist):
        n = 1000 if maxdist <= 0 else near(maxdist)
        dx, dy = self.step(direction)
        if not self.free(probe, x, y):
            return x, y
        for _ in range(n):
            nx, ny = f32(x + dx), f32(y + dy)
            if not self.free(probe, nx, ny):
                break
            x, y = nx, ny
        return x, y

    def outside(self, probe, x, y, direction, maxdist):
        n = 1000 if maxdist <= 0 else near(maxdist)
        dx, dy = self.step(direction)
        steps = 0
        while not self.free(probe, x, y) and steps < n:
            x, y = f32(x + dx), f32(y + dy)
            steps += 1
        return x, y

    def bounce(self, probe, x, y, xp, yp, hs, vs):
        if not self.free(probe, x, y):
            x, y = xp, yp
        h = self.free(probe, x + hs, y)
        v = self.free(probe, x, y + vs)
        d = self.free(probe, x + hs, y + vs)
        if not h:
            hs = -hs
            if not v:
                vs = -vs
        elif not v:
            vs = -vs
        elif not d:
            hs, vs = -hs, -vs
        return hs, vs, x, y


def cases(rng, count):
    out = []
    for i in range(count):
        probe = rng.choice(["spr_ball", "spr_crate"])
        x, y = rng.randint(4, W - 4), rng.randint(4, H - 4)
        kind = rng.choice(["free", "contact", "outside", "bounce"])
        if kind == "free":
            args = ()
        elif kind in ("contact", "outside"):
            args = (rng.choice([0, 45, 90, 135, 180, 225, 270, 315, rng.randint(0, 359)]),
                    rng.choice([0, -3, rng.randint(1, 60)]))
        else:
            args = (x + rng.randint(-4, 4), y + rng.randint(-4, 4), rng.randint(-6, 6), rng.randint(-6, 6))
        out.append((i, probe, x, y, kind, args))
    return out


def case_code(case):
    i, probe, x, y, kind, args = case
    target = "ball" if probe == "spr_ball" else "crate"
    at = f"x = {x}; y = {y}; "
    if kind == "free":
        body = f'show_debug_message("r {i} " + string(place_free({x}, {y})));'
        return f"with ({target}) {{ {body} }}"
    if kind == "contact":
        body = at + f"move_contact_solid({args[0]}, {args[1]}); "
    elif kind == "outside":
        body = at + f"move_outside_solid({args[0]}, {args[1]}); "
    else:
        xp, yp, hs, vs = args
        body = at + f"xprevious = {xp}; yprevious = {yp}; hspeed = {hs}; vspeed = {vs}; move_bounce_solid(0); "
        body += f'show_debug_message("r {i} " + string(hspeed) + " " + string(vspeed) + " " + string(x) + " " + string(y));'
        return f"with ({target}) {{ {body} }}"
    body += f'show_debug_message("r {i} " + string(x * 1000) + " " + string(y * 1000));'
    return f"with ({target}) {{ {body} }}"


def game(all_cases):
    lines = ['GEN8 version=13 debug=1 name="M" display="M" width=160 height=120 last_instance=101000 rooms=0', "OPTN"]
    for name in SPRITE_ORDER:
        size, origin, mask = SPRITES[name]
        extra = f" precise=1 masks={mask_hex(mask)}" if mask else ""
        lines.append(f'SPRITE "{name}" width={size} height={size} right={size - 1} bottom={size - 1} '
                     f"xorigin={origin} yorigin={origin} frames=-1{extra}")
    code = " ".join(case_code(c) for c in all_cases)
    lines += ['OBJECT "wall" sprite=0 solid=1 depth=0', "END",
              'OBJECT "rock" sprite=1 solid=1 depth=0', "END",
              'OBJECT "ball" sprite=2 depth=0', "END",
              'OBJECT "crate" sprite=3 depth=0', "END",
              'OBJECT "ghost" sprite=0 depth=0', "END",
              'OBJECT "control" depth=0',
              '  EVENT 0 0 text="done = 0;"',
              '  EVENT 3 1 text="if (!done) { done = 1; ' + code.replace("\\", "\\\\").replace('"', '\\"') + ' }"',
              "END",
              f'ROOM "r" width={W} height={H} code=0']
    index = {"spr_wall": 0, "spr_rock": 1}
    iid = 100001
    for sprite, x, y in solids():
        lines.append(f"  INSTANCE x={x} y={y} object={index[sprite]} id={iid} code=0")
        iid += 1
    for obj, x, y in [(2, 30, 30), (3, 30, 30), (4, 70, 70), (5, 0, 0)]:
        lines.append(f"  INSTANCE x={x} y={y} object={obj} id={iid} code=0")
        iid += 1
    lines += ["END", "EMPTY CODE", "STRG", ""]
    return "\n".join(lines)


class MotionOracle(RunnerTest):
    def test_moves_and_place_free_match_the_pixel_oracle(self):
        rng = random.Random(SEED)
        all_cases = cases(rng, 240)
        self.env["TARNWICKE_FRAMES"] = "2"
        out = self.path("out.txt")
        r = self.run_runner(["-game", self.pack(game(all_cases)), "-output", out])
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, encoding="utf-8") as f:
            got = {int(l.split()[1]): l.split()[2:] for l in f.read().splitlines() if l.startswith("r ")}
        oracle = Oracle()
        self.assertEqual(len(got), len(all_cases))
        kinds = set()
        for i, probe, x, y, kind, args in all_cases:
            kinds.add((probe, kind))
            values = [float(v) for v in got[i]]
            if kind == "free":
                want = [1.0 if oracle.free(probe, x, y) else 0.0]
            elif kind == "contact":
                want = [v * 1000 for v in oracle.contact(probe, x, y, *args)]
            elif kind == "outside":
                want = [v * 1000 for v in oracle.outside(probe, x, y, *args)]
            else:
                want = list(oracle.bounce(probe, x, y, *args))
            for a, b in zip(values, want):
                self.assertAlmostEqual(a, b, delta=0.02, msg=f"case {i}: {probe} {kind} at ({x}, {y}) {args}: "
                                                               f"game {values}, oracle {want}")
        self.assertEqual(len(kinds), 8)  # every built-in with both shapes


if __name__ == "__main__":
    import unittest
    unittest.main()
