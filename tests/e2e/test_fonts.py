"""Text on captured frames: a font added from a font file matches FreeType's
own rendering glyph for glyph, also when a frame needs more glyphs than the
glyph page holds; a font of the data file places its glyphs at the pen."""

import os
import shutil
import subprocess

from twtest import RunnerTest, read_png

ORACLE = os.environ.get("TW_GLYPH_ORACLE", "")
FACE = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
BLACK = (0, 0, 0, 255)


def quoted(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


def game(width, height, create, draw, fonts=""):
    return "\n".join([
        f'GEN8 version=13 debug=1 name="F" display="F" width={width} height={height} flags=0 '
        "last_instance=100100 rooms=0",
        "OPTN",
        fonts,
        'OBJECT "writer" depth=0',
        f'  EVENT 0 0 text="{quoted(create)}"',
        f'  EVENT 8 0 text="{quoted(draw)}"',
        "END",
        f'ROOM "rm" width={width} height={height} colour=0 show_colour=1 speed=30',
        "  INSTANCE x=0 y=0 object=0 id=100001",
        "END", "EMPTY CODE", "STRG", ""])


def oracle(size, text):
    """(line height, [(advance, left, top, width, rows, coverage)]) of each
    character as FreeType renders it."""
    out = subprocess.run([ORACLE, FACE, str(size)] + [str(ord(c)) for c in text],
                         check=True, capture_output=True, text=True).stdout.splitlines()
    line = int(out[0].split()[1])
    glyphs = []
    for row in out[1:]:
        parts = row.split()
        advance, left, top, width, rows = (int(p) for p in parts[1:6])
        glyphs.append((advance, left, top, width, rows, bytes.fromhex(parts[6] if len(parts) > 6 else "")))
    return line, glyphs


def expected_frame(width, height, x0, y0, lines, size):
    """The frame white text in the face would give on black: each glyph's
    coverage composited over what lies under it, and the number of glyphs
    covering each pixel."""
    grey = [[0.0] * width for _ in range(height)]
    count = [[0] * width for _ in range(height)]
    step, _ = oracle(size, " ")
    for k, text in enumerate(lines):
        _, glyphs = oracle(size, text)
        pen, top_of_line = x0, y0 + k * step
        for advance, left, top, w, rows, coverage in glyphs:
            assert top >= 0, "the test's characters lie inside their line"
            for r in range(rows):
                for c in range(w):
                    a = coverage[r * w + c] / 255.0
                    x, y = pen + left + c, top_of_line + top + r
                    if a > 0:
                        grey[y][x] = a * 255 + grey[y][x] * (1 - a)
                        count[y][x] += 1
            pen += advance
    return grey, count


class Fonts(RunnerTest):
    def setUp(self):
        super().setUp()
        if not ORACLE:
            self.skipTest("TW_GLYPH_ORACLE not set")
        shutil.copy(FACE, self.path("DejaVuSans.ttf"))

    def frames(self, description, frames):
        self.pack(description)
        self.env["TARNWICKE_CAPTURE_FRAME"] = ",".join(str(f) for f in frames)
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame-%d.png")
        r = self.run_runner(["-game", "game.win"])
        self.assertEqual(r.returncode, 0, r.stderr)
        return [read_png(self.path("frame-%d.png" % f)) for f in frames]

    def assertMatchesOracle(self, frame, lines, size, x0=10, y0=10):
        width, height, rows = frame
        grey, count = expected_frame(width, height, x0, y0, lines, size)
        wrong = []
        for y in range(height):
            for x in range(width):
                got = rows[y][x]
                want = round(grey[y][x])
                # Where two glyphs overlap, blending may round either way.
                slack = 1 if count[y][x] > 1 else 0
                # The frame's alpha takes the blend too; the colour is what shows.
                if any(abs(ch - want) > slack for ch in got[:3]):
                    wrong.append((x, y, got, want))
        self.assertEqual(wrong[:6], [], "%d pixels differ from FreeType's rendering" % len(wrong))
        self.assertGreater(sum(1 for y in range(height) for x in range(width) if rows[y][x][:3] != BLACK[:3]), 100)

    def font_game(self, width, height, size, lines):
        create = f'global.f = font_add("DejaVuSans.ttf", {size}, 0, 0, 32, 127);'
        draw = ("draw_set_font(global.f); draw_set_colour(16777215); "
                f'draw_text(10, 10, "{"#".join(lines)}");')
        return game(width, height, create, draw)

    def test_each_glyph_is_freetypes_own_rendering_at_the_pen(self):
        lines = ["Hello, World!", "gjpq|@ 0123 {y}"]
        (frame,) = self.frames(self.font_game(200, 60, 12, lines), [2])
        self.assertMatchesOracle(frame, lines, 12)

    def test_more_glyphs_than_the_page_holds_draw_the_same_every_frame(self):
        # At size 40 the page holds 54 glyphs; each frame needs 62.
        lines = ["ABCDEFGHIJKLM", "NOPQRSTUVWXYZ", "abcdefghijklm", "nopqrstuvwxyz", "0123456789"]
        second, third = self.frames(self.font_game(560, 280, 40, lines), [2, 3])
        self.assertMatchesOracle(second, lines, 40)
        self.assertEqual(second, third)

    def test_a_data_file_font_places_solid_glyphs_at_the_pen(self):
        fonts = "\n".join([
            'FONT "fnt" size=10',
            '  GLYPH "A" width=4 height=6 advance=6 offset=1 fill=0xFF0000FF',
            '  GLYPH "B" width=3 height=5 advance=4 fill=0x00FF00FF',
            "END"])
        draw = 'draw_set_font(0); draw_set_colour(16777215); draw_text(10, 10, "A\u20acB#BA");'
        ((width, height, rows),) = self.frames(game(40, 30, "", draw, fonts), [2])
        red, green = (255, 0, 0, 255), (0, 255, 0, 255)
        # Line one at y 10: A at pen 10 + offset 1; the euro sign has no
        # glyph and no advance; B at 16. Line two one tallest glyph (6) down.
        boxes = [(11, 10, 4, 6, red), (16, 10, 3, 5, green), (10, 16, 3, 5, green), (15, 16, 4, 6, red)]

        def want(x, y):
            for bx, by, bw, bh, colour in boxes:
                if bx <= x < bx + bw and by <= y < by + bh:
                    return colour
            return BLACK
        wrong = [(x, y, rows[y][x], want(x, y)) for y in range(height) for x in range(width)
                 if rows[y][x] != want(x, y)]
        self.assertEqual(wrong[:6], [], "%d pixels differ" % len(wrong))
