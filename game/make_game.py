#!/usr/bin/env python3
"""Writes the embedded game's data: the tw-pack description (general
information, options, sprites, sounds, the font, objects and rooms), the
sprite pages it names and the sounds, all drawn and synthesised here.

    make_game.py --table game/embedded_game.cpp --font game/art/font0.twp
                 --out DIR --music DIR

The description and its pictures and short sounds go to --out; the three
music loops are encoded to Ogg with oggenc into --music, the directory of the
program, where the streamed sounds are looked for when they play.

The objects' events come from the compiled-code table in embedded_game.cpp:
an entry "tws_Object_<object>_<event>_<number>" at position N becomes that
object's event with code index N, so the container and the table cannot drift.
"""

import argparse
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import wave
import zlib

WIDTH, HEIGHT, CELL = 640, 480, 32
COLS, ROWS = WIDTH // CELL, HEIGHT // CELL  # 20 x 15

# ---- Objects: index, name, sprite, visible, solid, depth -------------------

OBJECTS = [
    ("plr_1", "sprite0", 1, 1, 100),
    ("block1", "block", 1, 1, 0),
    ("ball_1", "ball1", 1, 1, 50),
    ("plr_2", "sprite0", 1, 1, 100),
    ("goal_plr1", "block_plr1", 1, 0, 0),
    ("goal_plr2", "block_plr2", 1, 0, 0),
    ("level_select", None, 1, 0, 0),
    ("change_level", "level1_map", 1, 0, 0),
    ("GameRunning", None, 1, 0, 0),
    ("countdown", None, 1, 0, 0),
    ("game_start", None, 1, 0, 0),
    ("obj_Help", None, 1, 0, 0),
    ("gotolevel", None, 1, 0, 0),
    ("splash_screen", None, 1, 0, 0),
    ("spr_splash", "sprite14", 1, 0, 0),
    ("obj_fadetoblack", None, 1, 0, 0),
]
OBJ = {name: i for i, (name, *_rest) in enumerate(OBJECTS)}

# ---- Sprites: index order, size, origin ------------------------------------

SPRITES = [
    ("sprite0", 8, 64, 4, 32),
    ("block", 32, 32, 0, 0),
    ("block_plr1", 32, 32, 0, 0),
    ("block_plr2", 32, 32, 0, 0),
    ("ball1", 8, 8, 4, 4),
    ("level2_map", 320, 240, 160, 120),
    ("level1_map", 320, 240, 160, 120),
] + [("level%d_map" % n, 320, 240, 160, 120) for n in range(3, 10)] + [
    ("sprite14", 356, 335, 178, 167),
]
SPRITE = {s[0]: i for i, s in enumerate(SPRITES)}

# ---- Sounds: index order; music is streamed from Ogg files beside the program

SOUNDS = [
    ("bg_music1", "ogg"),
    ("win_music", "ogg"),
    ("click1", "wav"),
    ("play_music", "ogg"),
    ("goal", "wav"),
]

# ---- Rooms ------------------------------------------------------------------
#
# Block layouts inside the walls, one text row per 32-pixel row from y = 32 to
# y = 416 ('#' a block). Level rooms have walls only at the top and bottom;
# the other rooms are closed on all four sides. The paddles' columns (1, 2,
# 17, 18) stay free in the levels, and so does the serve point (320, 205).

LEVELS = {
    1: [
        "....................",
    ] * 13,
    2: [
        "....................",
        ".........##.........",
        ".........##.........",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        ".........##.........",
        ".........##.........",
        "....................",
        "....................",
    ],
    3: [
        "....................",
        "....................",
        "....................",
        ".....##......##.....",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        ".....##......##.....",
        "....................",
        "....................",
        "....................",
    ],
    4: [
        "....................",
        "....................",
        "....................",
        "......#.............",
        "......#.............",
        "......#......#......",
        "......#......#......",
        "......#......#......",
        ".............#......",
        ".............#......",
        "....................",
        "....................",
        "....................",
    ],
    5: [
        "....................",
        "....................",
        ".......#....#.......",
        "....................",
        ".....#........#.....",
        ".....#........#.....",
        ".....#........#.....",
        ".....#........#.....",
        ".....#........#.....",
        "....................",
        ".......#....#.......",
        "....................",
        "....................",
    ],
    6: [
        "........####........",
        "....##........##....",
        "....##........##....",
        ".......#....#.......",
        "......#......#......",
        "......#......#......",
        "......#......#......",
        ".......#....#.......",
        "....................",
        "....##........##....",
        "....##........##....",
        "........#..#........",
        "........####........",
    ],
    7: [
        "....................",
        "....#..#....#..#....",
        "........#..#........",
        "......#......#......",
        "....#..........#....",
        "....#..........#....",
        "....#..........#....",
        "....#..........#....",
        "....#..........#....",
        "......#......#......",
        "....................",
        "....#..#....#..#....",
        "....................",
    ],
    8: [
        "....#.#.#..#.#.#....",
        "....................",
        ".....#.#....#.#.....",
        "....................",
        "....#.#......#.#....",
        "....#.#......#.#....",
        "....#.#......#.#....",
        "....#.#......#.#....",
        "....#.#......#.#....",
        "....................",
        ".....#.#....#.#.....",
        "....................",
        "....#.#.#..#.#.#....",
    ],
    9: [
        "......########......",
        "....................",
        "....##........##....",
        "....#..........#....",
        "....#...#..#...#....",
        "....#..........#....",
        "....#..........#....",
        "....#..........#....",
        "....#...#..#...#....",
        "....#..........#....",
        "....##........##....",
        "....................",
        "......########......",
    ],
}
LEVEL_BLOCKS = {1: 40, 2: 48, 3: 48, 4: 50, 5: 54, 6: 76, 7: 64, 8: 80, 9: 82}

# The closed rooms' pictures (inside the 66 border blocks).
PICTURES = {
    # Two paddles and a ball above the menu texts.
    "Menu": [
        "....................",
        "...#............#...",
        "...#.....##.....#...",
        "...#....####....#...",
        "...#.....##.....#...",
        "...#............#...",
        ".....###########....",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
    ],
    "Choose_Level": ["...................."] * 13,
    # A cup.
    "Winroom": [
        "....................",
        "......########......",
        "....#.########.#....",
        ".....#.######.#.....",
        ".......######.......",
        ".........##.........",
        ".........##.........",
        "........####........",
        ".......#####........",
        "....................",
        "....................",
        "....................",
        "....................",
    ],
    # A sad face.
    "Loseroom": [
        "....................",
        ".......######.......",
        ".....##......##.....",
        "....#..........#....",
        "...#...##..##...#...",
        "...#...##..##...#...",
        "...#............#...",
        "...#....####....#...",
        "...#...#....#...#...",
        "....#..........#....",
        ".....##......##.....",
        ".......######.......",
        "....................",
    ],
    # A paddle and the arrow keys above the help texts.
    "help": [
        "....................",
        "...........#........",
        "..#.......###.......",
        "..#.................",
        "..#.......###.......",
        "...........#........",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
        "....................",
    ],
}
PICTURE_BLOCKS = {"Menu": 95, "Choose_Level": 66, "Winroom": 111, "Loseroom": 114, "help": 77}

# The nine balls of the win room, in free cells.
WIN_BALLS = [(96, 96), (544, 96), (96, 352), (544, 352), (224, 400), (416, 400), (560, 224), (80, 224), (320, 416)]


def cells_of(rows):
    """The blocks of a layout as (column, row) in room cells."""
    if len(rows) != ROWS - 2 or any(len(r) != COLS for r in rows):
        raise SystemExit("a layout must have %d rows of %d cells" % (ROWS - 2, COLS))
    return [(c, r + 1) for r, row in enumerate(rows) for c, ch in enumerate(row) if ch == "#"]


def walls(closed):
    cells = [(c, 0) for c in range(COLS)] + [(c, ROWS - 1) for c in range(COLS)]
    if closed:
        cells += [(0, r) for r in range(1, ROWS - 1)] + [(COLS - 1, r) for r in range(1, ROWS - 1)]
    return cells


def room_blocks(name):
    """Every block cell of a room, walls first."""
    if name.startswith("level"):
        cells = walls(False) + cells_of(LEVELS[int(name[5:])])
    elif name in PICTURES:
        cells = walls(True) + cells_of(PICTURES[name])
    else:
        cells = []
    if len(set(cells)) != len(cells):
        raise SystemExit("room %s: a picture block lies on a wall" % name)
    return cells


def rooms():
    """(name, colour, instances as (object, x, y)) in room order."""
    black, white = 0x000000, 0xFFFFFF
    plan = [
        ("Gamestart", white, [("splash_screen", 32, 416), ("spr_splash", 320, 192)]),
        ("Menu", black, [("ball_1", 320, 288), ("game_start", 64, 384)]),
        ("Choose_Level", black, [("change_level", 320, 160), ("level_select", 64, 416)]),
    ]
    for n in range(1, 10):
        plan.append(("level%d" % n, black, [("plr_1", 64, 224), ("plr_2", 576, 224), ("countdown", 288, 192),
                                             ("GameRunning", 320, 192)]))
    plan += [
        ("Winroom", black, [("ball_1", x, y) for x, y in WIN_BALLS] + [("gotolevel", 64, 416)]),
        ("Loseroom", black, [("gotolevel", 32, 416)]),
        ("help", black, [("obj_Help", 64, 64)]),
    ]
    out = []
    for name, colour, contents in plan:
        insts = list(contents)
        insts += [("block1", c * CELL, r * CELL) for c, r in room_blocks(name)]
        insts += [("goal_plr1", -32, r * CELL) for r in range(ROWS)]
        insts += [("goal_plr2", 640, r * CELL) for r in range(ROWS)]
        out.append((name, colour, insts))
    return out


def check_counts():
    for n, want in LEVEL_BLOCKS.items():
        got = len(room_blocks("level%d" % n))
        if got != want:
            raise SystemExit("level%d has %d blocks, not %d" % (n, got, want))
    for name, want in PICTURE_BLOCKS.items():
        got = len(room_blocks(name))
        if got != want:
            raise SystemExit("%s has %d blocks, not %d" % (name, got, want))
    for n, rows in LEVELS.items():
        for c, r in cells_of(rows):
            if c in (1, 2, 17, 18) or (c in (9, 10) and r == 6):
                raise SystemExit("level%d: block (%d, %d) is in a paddle's column or on the serve" % (n, c, r))
    for x, y in WIN_BALLS + [(320, 288)]:
        if (x // CELL, y // CELL) in room_blocks("Winroom" if (x, y) != (320, 288) else "Menu"):
            raise SystemExit("a ball at (%d, %d) starts inside a block" % (x, y))


# ---- Events from the compiled-code table -------------------------------------

EVENT_KINDS = {"Create": "ev_create", "Step": "ev_step", "Alarm": "ev_alarm", "Collision": "ev_collision",
               "Keyboard": "ev_keyboard", "Draw": "ev_draw", "KeyPress": "ev_keypress"}


def read_table(path):
    """The compiled-code table's names in code-index order."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    body = text[text.index("kCompiledCodeTable"):]
    body = body[:body.index("};")]
    names = re.findall(r'\{"(tws_Object_\w+)"', body)
    if len(names) != 52:
        raise SystemExit("%s: found %d table entries, not 52" % (path, len(names)))
    return names


def events_by_object(names):
    """object -> [(type, subtype, code index)], in table order."""
    out = {}
    for index, full in enumerate(names):
        m = re.fullmatch(r"tws_Object_(\w+)_(Create|Step|Draw|Alarm|Collision|KeyPress|Keyboard)_(\d+)", full)
        if not m or m.group(1) not in OBJ:
            raise SystemExit("cannot read the table entry %s" % full)
        out.setdefault(m.group(1), []).append((EVENT_KINDS[m.group(2)], int(m.group(3)), index))
    return out


# ---- Pictures ---------------------------------------------------------------

class Image:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def set(self, x, y, rgba):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = list(rgba)

    def rect(self, x0, y0, x1, y1, rgba):
        """Fills [x0, x1) x [y0, y1)."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y * self.w + x] = list(rgba)

    def disc(self, cx, cy, r, rgba):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, rgba)

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                self.set(ox + x, oy + y, other.px[y * other.w + x])

    def png(self):
        raw = b"".join(b"\0" + bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in p)
                       for y in range(self.h))

        def chunk(tag, data):
            return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def paddle():
    im = Image(8, 64, (200, 200, 210, 255))
    im.rect(1, 1, 7, 63, (240, 240, 250, 255))
    im.rect(3, 4, 5, 60, (255, 255, 255, 255))
    for x, y in ((0, 0), (7, 0), (0, 63), (7, 63)):
        im.set(x, y, (0, 0, 0, 0))
    return im


def brick(face, light, dark):
    im = Image(32, 32, face)
    im.rect(0, 0, 32, 2, light)
    im.rect(0, 0, 2, 32, light)
    im.rect(0, 30, 32, 32, dark)
    im.rect(30, 0, 32, 32, dark)
    im.rect(8, 8, 24, 24, tuple(min(255, v + 12) for v in face[:3]) + (255,))
    return im


def ball():
    im = Image(8, 8)
    im.disc(4, 4, 4, (230, 230, 230, 255))
    im.disc(3.4, 3.4, 2, (255, 255, 255, 255))
    return im


def digit_cells(d):
    """A 3 x 5 figure for the previews' level numbers."""
    font = ["111101101101111", "010110010010111", "111001111100111", "111001111001111", "101101111001001",
            "111100111001111", "111100111101111", "111001001001001", "111101111101111", "111101111001111"]
    bits = font[d]
    return [(i % 3, i // 3) for i, b in enumerate(bits) if b == "1"]


def preview(level):
    """The level's room at half size: walls, obstacles, paddles and goals."""
    im = Image(320, 240, (0, 0, 0, 255))
    half = CELL // 2
    for c, r in room_blocks("level%d" % level):
        im.rect(c * half, r * half, (c + 1) * half, (r + 1) * half, (150, 150, 160, 255))
        im.rect(c * half + 1, r * half + 1, (c + 1) * half - 1, (r + 1) * half - 1, (110, 110, 125, 255))
    im.rect(0, half, 2, 240 - half, (40, 90, 220, 255))       # the player's goal
    im.rect(318, half, 320, 240 - half, (220, 50, 40, 255))   # the computer's goal
    im.rect(30, 96, 34, 128, (240, 240, 250, 255))            # plr_1 at (64, 224)
    im.rect(286, 96, 290, 128, (240, 240, 250, 255))          # plr_2 at (576, 224)
    im.disc(160, 102.5, 2.5, (255, 255, 255, 255))            # the serve point
    for x, y in digit_cells(level):
        im.rect(150 + x * 6, 40 + y * 6, 156 + x * 6, 46 + y * 6, (255, 200, 40, 255))
    return im


def splash():
    """A play field in a frame: two paddles, a ball with its trail, a net."""
    w, h = 356, 335
    im = Image(w, h, (20, 30, 70, 255))
    im.rect(6, 6, w - 6, h - 6, (10, 14, 35, 255))
    for x in range(14, w - 14, 22):
        im.rect(x, 14, x + 20, 30, (150, 150, 160, 255))
        im.rect(x, h - 30, x + 20, h - 14, (150, 150, 160, 255))
    for y in range(40, h - 40, 20):
        im.rect(w // 2 - 2, y, w // 2 + 2, y + 10, (70, 80, 120, 255))
    im.rect(34, 120, 44, 200, (240, 240, 250, 255))
    im.rect(w - 44, 150, w - 34, 230, (240, 240, 250, 255))
    for i in range(6):
        im.disc(90 + i * 28, 240 - i * 14, 3 + i, (60 + 30 * i, 60 + 30 * i, 70 + 30 * i, 255))
    im.disc(250, 160, 10, (255, 255, 255, 255))
    return im


# ---- Sounds -----------------------------------------------------------------

RATE = 22050


def write_wav(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples))


def tone(freq, seconds, volume=0.4, shape="square", decay=0.0):
    out = []
    for i in range(int(seconds * RATE)):
        t = i / RATE
        phase = (t * freq) % 1.0
        v = (1.0 if phase < 0.5 else -1.0) if shape == "square" else math.sin(2 * math.pi * phase)
        env = math.exp(-decay * t) if decay else 1.0
        edge = min(1.0, i / 80.0, (seconds * RATE - i) / 80.0)  # no clicks at the ends
        out.append(v * volume * env * edge)
    return out


def note(n):
    """Frequency of a semitone number (0 = A4)."""
    return 440.0 * 2 ** (n / 12.0)


def melody(notes, beat, volume, shape="square"):
    out = []
    for n, beats in notes:
        out += tone(note(n), beats * beat, volume, shape, 3.0) if n is not None else [0.0] * int(beats * beat * RATE)
    return out


def mix(*parts):
    n = max(len(p) for p in parts)
    return [sum(p[i] for p in parts if i < len(p)) for i in range(n)]


def music(kind):
    if kind == "bg_music1":  # a calm menu loop
        lead = [(3, 1), (7, 1), (10, 1), (7, 1), (5, 1), (8, 1), (12, 1), (8, 1)] * 2
        bass = [(-21, 4), (-16, 4)] * 2
        return mix(melody(lead, 0.25, 0.15), melody(bass, 0.25, 0.12, "sine"))
    if kind == "win_music":  # a short fanfare
        lead = [(3, 1), (7, 1), (10, 1), (15, 3), (10, 1), (15, 4), (None, 2)]
        return mix(melody(lead, 0.2, 0.18), melody([(-9, 6), (-5, 6)], 0.2, 0.12, "sine"))
    # play_music: a driving match loop
    lead = [(0, 1), (None, 1), (0, 1), (3, 1), (5, 1), (None, 1), (7, 1), (5, 1)] * 2
    bass = [(-24, 1), (-12, 1)] * 8
    return mix(melody(lead, 0.15, 0.14), melody(bass, 0.15, 0.14, "sine"))


def write_sounds(out_dir, music_dir):
    write_wav(os.path.join(out_dir, "click1.wav"), tone(1200, 0.04, 0.35, "square", 60.0))
    write_wav(os.path.join(out_dir, "goal.wav"), melody([(3, 1), (7, 1), (10, 1), (15, 2)], 0.07, 0.3))
    oggenc = shutil.which("oggenc")
    if not oggenc:
        raise SystemExit("oggenc is missing: run scripts/install-deps.sh (vorbis-tools)")
    os.makedirs(music_dir, exist_ok=True)
    for name, kind in SOUNDS:
        if kind != "ogg":
            continue
        wav = os.path.join(out_dir, name + ".wav")
        write_wav(wav, music(name))
        subprocess.run([oggenc, "-Q", "-q", "0", "--serial", "1", "-o", os.path.join(music_dir, name + ".ogg"), wav],
                       check=True)


# ---- The description ---------------------------------------------------------

def description(events, font_block):
    out = []
    w = out.append
    w("# The embedded game, written by game/make_game.py; do not edit.")
    w('GEN8 name="Paddelball" display="Paddelball" width=%d height=%d' % (WIDTH, HEIGHT))
    w("# word2: the sounds belong to the OpenAL audio system.")
    w("OPTN word2=1")
    w("")
    w("# Sprite pages: the small sprites share page 0; each picture has its own.")
    w('PAGE png="page_small.png"')
    pictures = [s for s in SPRITES if s[1] > 32]
    for i, (name, *_r) in enumerate(pictures):
        w('PAGE png="%s.png"' % name)
    small_at = {}
    x = 2
    for name, sw, sh, _ox, _oy in SPRITES:
        if sw <= 32:
            small_at[name] = (x, 2)
            x += sw + 4
    entry = {}
    for name, sw, sh, _ox, _oy in SPRITES:
        entry[name] = len(entry)
        if name in small_at:
            px, py = small_at[name]
            w("ENTRY x=%d y=%d width=%d height=%d page=0" % (px, py, sw, sh))
        else:
            w("ENTRY width=%d height=%d page=%d" % (sw, sh, 1 + [p[0] for p in pictures].index(name)))
    w("")
    w("# Sprites: one image each, a rectangular mask the size of the image.")
    for name, sw, sh, ox, oy in SPRITES:
        w('SPRITE "%s" width=%d height=%d left=0 top=0 right=%d bottom=%d precise=0 xorigin=%d yorigin=%d frames=%d'
          % (name, sw, sh, sw - 1, sh - 1, ox, oy, entry[name]))
    w("")
    w("# Sounds: each names the AUDO entry of its own index; the music has none")
    w("# there, it is streamed from Ogg files beside the program.")
    for name, kind in SOUNDS:
        if kind == "ogg":
            w('SOUND "%s" kind=100 file="%s.ogg" volume=1' % (name, name))
        else:
            w('SOUND "%s" kind=101 file="%s.wav" volume=1' % (name, name))
    for name, kind in SOUNDS:
        w('AUDIO file="%s.wav"' % name if kind == "wav" else "AUDIO none")
    w("")
    w(font_block.rstrip("\n"))
    w("")
    w("# Objects; each event names its entry of the compiled-code table.")
    for i, (name, sprite, visible, solid, depth) in enumerate(OBJECTS):
        keys = "visible=%d solid=%d depth=%d" % (visible, solid, depth)
        if sprite:
            keys = "sprite=%d " % SPRITE[sprite] + keys
        w('OBJECT "%s" %s' % (name, keys))
        for etype, subtype, code in events.get(name, []):
            w("  EVENT %s %d code=%d" % (etype, subtype, code))
        w("END")
    w("")
    w("# Rooms: 640 x 480 at 60 steps, not persistent, no views.")
    for name, colour, insts in rooms():
        w('ROOM "%s" caption="Paddelball" width=%d height=%d speed=60 persistent=0 colour=0x%06X show_colour=1'
          % (name, WIDTH, HEIGHT, colour))
        for obj, x, y in insts:
            w("  INSTANCE object=%d x=%d y=%d" % (OBJ[obj], x, y))
        w("END")
    return "\n".join(out) + "\n"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--table", required=True)
    ap.add_argument("--font", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--music", required=True)
    args = ap.parse_args()
    check_counts()
    os.makedirs(args.out, exist_ok=True)

    page = Image(128, 72)
    x = 2
    for name, sw, sh, _ox, _oy in SPRITES:
        if sw > 32:
            continue
        im = {"sprite0": paddle, "ball1": ball}.get(name)
        if im:
            im = im()
        else:
            im = {"block": brick((120, 120, 135, 255), (180, 180, 195, 255), (70, 70, 80, 255)),
                  "block_plr1": brick((40, 80, 200, 255), (90, 130, 240, 255), (20, 40, 120, 255)),
                  "block_plr2": brick((200, 50, 40, 255), (240, 110, 90, 255), (120, 25, 20, 255))}[name]
        page.blit(im, x, 2)
        x += sw + 4
    with open(os.path.join(args.out, "page_small.png"), "wb") as f:
        f.write(page.png())
    for name, sw, _sh, _ox, _oy in SPRITES:
        if sw <= 32:
            continue
        im = splash() if name == "sprite14" else preview(int(name[5]))
        with open(os.path.join(args.out, name + ".png"), "wb") as f:
            f.write(im.png())

    write_sounds(args.out, args.music)
    font_png = os.path.join(os.path.dirname(args.font), "font0.png")
    shutil.copy(font_png, os.path.join(args.out, "font0.png"))
    with open(args.font, encoding="utf-8") as f:
        font_block = f.read()
    text = description(events_by_object(read_table(args.table)), font_block)
    with open(os.path.join(args.out, "game.twp"), "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
