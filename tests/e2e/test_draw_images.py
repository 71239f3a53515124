"""Sprites and backgrounds drawn by the drawing built-ins from draw events,
read back from captured frames, and screen pixels read by scripts."""

import os

from twtest import RunnerTest, read_png

BLACK = (0, 0, 0)
RED, GREEN, BLUE, YELLOW, WHITE = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (255, 255, 255)


def cell(i, j):
    """Texel (i, j) of the 4x4 sprite and background "cells"."""
    return (40 + 50 * i, 40 + 50 * j, 200)


def cells_rgba():
    return "".join(bytes(cell(i, j) + (255,)).hex() for j in range(4) for i in range(4))


# Pages: 0 white, 1 the cells, 2 to 5 red, green, blue and yellow squares.
# Sprites: 0 "spr_frames" the four colours as frames 0 to 3, 1 "spr_cells",
# 2 "spr_white", 3 "spr_origin" red with its origin at (2, 3), 4 green, 5
# blue, 6 yellow. Backgrounds 0 to 4 green, 5 blue, 6 yellow, 7 "bg_cells".
IMAGES = ("PAGE width=8 height=8 fill=0xFFFFFFFF\n"
          f"PAGE width=4 height=4 rgba={cells_rgba()}\n"
          "PAGE width=8 height=8 fill=0xFF0000FF\n"
          "PAGE width=8 height=8 fill=0x00FF00FF\n"
          "PAGE width=8 height=8 fill=0x0000FFFF\n"
          "PAGE width=8 height=8 fill=0xFFFF00FF\n"
          "ENTRY width=8 height=8 page=0\n"
          "ENTRY width=4 height=4 page=1\n"
          + "".join(f"ENTRY width=8 height=8 page={p}\n" for p in (2, 3, 4, 5)) +
          'SPRITE "spr_frames" width=8 height=8 right=7 bottom=7 frames=2,3,4,5\n'
          'SPRITE "spr_cells" width=4 height=4 right=3 bottom=3 frames=1\n'
          'SPRITE "spr_white" width=8 height=8 right=7 bottom=7 frames=0\n'
          'SPRITE "spr_origin" width=8 height=8 right=7 bottom=7 xorigin=2 yorigin=3 frames=2\n'
          'SPRITE "spr_four" width=8 height=8 right=7 bottom=7 frames=3\n'
          'SPRITE "spr_five" width=8 height=8 right=7 bottom=7 frames=4\n'
          'SPRITE "spr_six" width=8 height=8 right=7 bottom=7 frames=5\n'
          + "".join(f'BGND "bg{i}" entry=3\n' for i in range(5)) +
          'BGND "bg5" entry=4\nBGND "bg6" entry=5\nBGND "bg_cells" entry=1\n')


def quoted(code):
    return code.replace("\\", "\\\\").replace('"', '\\"')


class DrawImages(RunnerTest):
    def play(self, draw, create="", width=64, height=48, objects="", room_lines="", window=None):
        """A room of one instance of "o" at (0, 0) running `create` and
        `draw`, and `room_lines` (views turn the views on); returns the
        picture of frame 2, the output lines and the run."""
        flags = 1 if "VIEW" in room_lines else 0
        window = window or (width, height)
        desc = (f"GEN8 width={window[0]} height={window[1]}\nOPTN\n" + IMAGES +
                f'OBJECT "o" sprite=0\n'
                f'  EVENT ev_create 0 text="image_speed = 0; {quoted(create)}"\n'
                f'  EVENT ev_draw 0 text="{quoted(draw)}"\n'
                "END\n" + objects +
                f"ROOM \"r\" width={width} height={height} colour=0 flags={flags}\n"
                "  INSTANCE x=0 y=0 object=0\n" + room_lines + "END\n")
        game = self.pack(desc)
        self.env["TARNWICKE_CAPTURE_FRAME"] = "2"
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame.png")
        out = self.path("out.txt")
        for old in (out, self.path("frame.png")):  # of an earlier play
            if os.path.exists(old):
                os.remove(old)
        r = self.run_runner(["-game", game, "-output", out])
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = []
        if os.path.exists(out):  # made by the first output line
            with open(out, encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        frame = self.path("frame.png")
        picture = read_png(frame) if os.path.exists(frame) else None
        return picture, lines, r

    def assertPicture(self, picture, want):
        """want(x, y) gives the colour expected at each pixel."""
        w, h, rows = picture
        wrong = [(x, y, rows[y][x][:3], want(x, y)) for y in range(h) for x in range(w)
                 if rows[y][x][:3] != want(x, y)]
        self.assertEqual(wrong[:5], [], f"{len(wrong)} pixels differ")

    @staticmethod
    def squares(*placed):
        """Expected colours: 8x8 squares (left, top, colour) on black."""
        def want(x, y):
            for left, top, colour in reversed(placed):
                if left <= x < left + 8 and top <= y < top + 8:
                    return colour
            return BLACK
        return want

    def test_subimages_and_indices_pick_the_frame_the_arguments_name(self):
        # The instance shows frame 1 (green). A negative subimage means that
        # frame; others floor after narrowing to single precision, where
        # 2.9999999999 is 3; 5 wraps to 1. draw_sprite_pos truncates, so -1
        # wraps to the last frame. Sprite 5.9 is sprite 5; background 5.5
        # is background 6, and 4.5 background 4 (halves to even).
        draw = ("draw_sprite(spr_frames, -1, 0, 0); draw_sprite(spr_frames, 2.7, 10, 0);"
                "draw_sprite(spr_frames, -0.5, 20, 0); draw_sprite(spr_frames, 2.9999999999, 30, 0);"
                "draw_sprite(spr_frames, 5, 40, 0); draw_sprite(spr_frames, 0, 50, 0);"
                "draw_sprite_pos(spr_frames, -1, 0, 10, 8, 10, 8, 18, 0, 18, 1);"
                "draw_sprite(5.9, 0, 10, 10); draw_background(5.5, 20, 10); draw_background(4.5, 30, 10);"
                "draw_sprite(spr_origin, 0, 42, 13);")
        picture, _, _ = self.play(draw, create="image_index = 1;")
        self.assertPicture(picture, self.squares(
            (0, 0, GREEN), (10, 0, BLUE), (20, 0, GREEN), (30, 0, YELLOW), (40, 0, GREEN), (50, 0, RED),
            (0, 10, YELLOW), (10, 10, BLUE), (20, 10, YELLOW), (30, 10, GREEN),
            (40, 10, RED)))  # the origin (2, 3) puts (42, 13) at the top-left

    def test_sprite_ext_scales_rotates_and_blends(self):
        # The cells scaled 2 x 3 at (4, 4); turned 90 degrees at (40, 20),
        # which sends texel (i, j) to (40 + j, 20 - 1 - i); white blended
        # with orange at half alpha over black at (20, 30).
        draw = ("draw_sprite_ext(spr_cells, 0, 4, 4, 2, 3, 0, c_white, 1);"
                "draw_sprite_ext(spr_cells, 0, 40, 20, 1, 1, 90, c_white, 1);"
                "draw_sprite_ext(spr_white, 0, 20, 30, 1, 1, 0, make_colour_rgb(255, 128, 0), 0.5);")
        (w, h, rows), _, _ = self.play(draw)

        def want(x, y):
            if 4 <= x < 12 and 4 <= y < 16:
                return cell((x - 4) // 2, (y - 4) // 3)
            if 40 <= x < 44 and 16 <= y < 20:
                return cell(19 - y, x - 40)
            return BLACK
        for y in range(h):
            for x in range(w):
                if 20 <= x < 28 and 30 <= y < 38:
                    r, g, b = rows[y][x][:3]
                    self.assertTrue(abs(r - 128) <= 1 and abs(g - 64) <= 1 and b == 0, (x, y, rows[y][x]))
                else:
                    self.assertEqual(rows[y][x][:3], want(x, y), (x, y))

    def test_sprite_part_shows_only_its_rectangle(self):
        picture, _, _ = self.play("draw_sprite_part(spr_cells, 0, 1, 2, 3, 2, 10, 20);")
        self.assertPicture(picture, lambda x, y: cell(1 + x - 10, 2 + y - 20)
                           if 10 <= x < 13 and 20 <= y < 22 else BLACK)

    def test_tiled_forms_repeat_over_the_whole_room(self):
        for draw in ("draw_sprite_tiled(spr_cells, 0, 2, 3);", "draw_background_tiled(bg_cells, 2, 3);"):
            with self.subTest(draw=draw):
                picture, _, _ = self.play(draw, width=16, height=12)
                self.assertPicture(picture, lambda x, y: cell((x - 2) % 4, (y - 3) % 4))

    def test_draw_self_draws_the_instance_as_it_stands(self):
        # Frame 2.9 is frame 2 (blue), twice as wide; the second object's
        # cells at (20, 30) scaled 2 across and turned 90 degrees.
        objects = ('OBJECT "turned" sprite=1\n'
                   '  EVENT ev_create 0 text="image_xscale = 2; image_angle = 90;"\n'
                   '  EVENT ev_draw 0 text="draw_self();"\n'
                   "END\n")
        picture, _, _ = self.play("draw_self();", create="image_index = 2.9; image_xscale = 2; x = 8; y = 4;",
                                  objects=objects, room_lines="  INSTANCE x=20 y=30 object=1\n")

        def want(x, y):
            if 8 <= x < 24 and 4 <= y < 12:
                return BLUE
            if 20 <= x < 24 and 22 <= y < 30:
                return cell((29 - y) // 2, x - 20)
            return BLACK
        self.assertPicture(picture, want)

    def test_screen_pixels_through_the_view_being_drawn(self):
        # View 0 shows the room's (100, 0)-(132, 32) in a 32x32 window; the
        # red square drawn at room (104, 4) is read back at room (105, 5).
        # Each value is shown as its alpha byte and the rest.
        show = "p = {}; show_debug_message(string(p div 16777216) + \" \" + string(p mod 16777216));"
        draw = ("var p; draw_sprite(spr_frames, 0, 104, 4);" + show.format("draw_getpixel_ext(105, 5)") +
                show.format("draw_getpixel(105, 5)") + show.format("draw_getpixel_ext(120, 20)") +
                "draw_sprite(spr_white, 0, 120, 20);" + show.format("draw_getpixel(121, 21)") + "game_end();")
        view = "  VIEW 0 visible=1 xview=100 yview=0 wview=32 hview=32 xport=0 yport=0 wport=32 hport=32\n"
        # In a window twice as wide the port is stretched into the screen:
        # the same room points still read the same colours.
        for window in ((32, 32), (64, 32)):
            with self.subTest(window=window):
                _, lines, _ = self.play(draw, width=160, height=32, room_lines=view, window=window)
                # 0xFF0000FF, 0x0000FF, opaque black 0xFF000000, white 0xFFFFFF.
                self.assertEqual(lines, ["255 255", "0 255", "255 0", "0 16777215"])

    def test_missing_resources_are_reported_and_the_game_goes_on(self):
        draw = ("draw_sprite(99, 0, 0, 0); draw_background(99, 0, 0); draw_sprite(spr_frames, 0, 8, 8);")
        picture, _, r = self.play(draw)
        log = "\n".join(r.debug_lines()) + r.stderr
        self.assertIn("Trying to draw non-existing sprite.", log)
        self.assertIn("Trying to draw non-existing background.", log)
        self.assertPicture(picture, self.squares((8, 8, RED)))
