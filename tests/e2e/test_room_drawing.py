"""What a room shows, read from captured frames: background layers tiled and
stretched, tiles cut from a background, instances in depth order with tiles
among them, views side by side and the GUI layer over them."""

import os

from twtest import RUNNER, RunnerTest, read_png

FIXTURE = os.environ.get("TW_FIXTURE_RUNNER", "")
DRAW_SELF = 21  # fixture code: draws the instance's sprite where it stands


def cell(i, j):
    """Colour of texel (i, j) of the 4x4 background."""
    return (40 + 50 * i, 40 + 50 * j, 200, 255)


def page_4x4():
    data = bytearray()
    for j in range(4):
        for i in range(4):
            data += bytes(cell(i, j))
    return data.hex()


# Page 0: the 4x4 background. Pages 1 to 3: 8x8 red, green and blue sprites.
IMAGES = (f"ENTRY x=0 y=0 width=4 height=4 page=0\n"
          "ENTRY x=0 y=0 width=8 height=8 page=1\n"
          "ENTRY x=0 y=0 width=8 height=8 page=2\n"
          "ENTRY x=0 y=0 width=8 height=8 page=3\n"
          f"PAGE width=4 height=4 rgba={page_4x4()}\n"
          "PAGE width=8 height=8 fill=0xFF0000FF\n"
          "PAGE width=8 height=8 fill=0x00FF00FF\n"
          "PAGE width=8 height=8 fill=0x0000FFFF\n"
          'SPRITE "red" width=8 height=8 right=7 bottom=7 frames=1\n'
          'SPRITE "green" width=8 height=8 right=7 bottom=7 frames=2\n'
          'SPRITE "blue" width=8 height=8 right=7 bottom=7 frames=3\n'
          'BGND "cells" entry=0\n')

RED, GREEN, BLUE = (255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255)
ROOM_COLOUR = 0x202020  # script colour 0xBBGGRR
GREY = (0x20, 0x20, 0x20, 255)


def game(room_lines, objects="", width=40, height=40):
    return (f'GEN8 version=13 debug=1 last_instance=100010 name="Room" display="Room" width={width} '
            f'height={height} flags=0 rooms=0\n'
            "OPTN\n" + IMAGES + objects +
            f'ROOM "room0" width={width} height={height} colour={ROOM_COLOUR} show_colour=1 speed=30\n'
            + room_lines + "END\nEMPTY CODE\nSTRG\n")


class RoomDrawing(RunnerTest):
    def setUp(self):
        super().setUp()
        if not FIXTURE:
            self.skipTest("TW_FIXTURE_RUNNER not set")

    def frame(self, description, env=None, program=None):
        self.pack(description)
        self.env["TARNWICKE_CAPTURE_FRAME"] = "2"
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame.png")
        self.env.update(env or {})
        r = self.run_runner(["-game", "game.win"], program=program or FIXTURE)
        self.assertEqual(r.returncode, 0, r.stderr)
        return read_png(self.path("frame.png"))

    def assertPixels(self, rows, want, width, height):
        wrong = [(x, y, rows[y][x], want(x, y)) for y in range(height) for x in range(width)
                 if rows[y][x] != want(x, y)]
        self.assertEqual(wrong[:4], [], f"{len(wrong)} pixels differ")

    def test_a_tiled_layer_repeats_from_its_offset(self):
        w, h, rows = self.frame(game("BACKGROUND 0 visible=1 index=0 x=2 y=3 tile_h=1 tile_v=1\n"))
        self.assertPixels(rows, lambda x, y: cell((x - 2) % 4, (y - 3) % 4), w, h)

    def test_a_stretched_layer_covers_the_room_once(self):
        w, h, rows = self.frame(game("BACKGROUND 0 visible=1 index=0 tile_h=0 tile_v=0 stretch=1\n",
                                     width=16, height=16))
        self.assertPixels(rows, lambda x, y: cell(x // 4, y // 4), w, h)

    def test_a_tile_shows_exactly_its_part(self):
        # Texels (1..2, 2..3) of the background at (10, 20).
        w, h, rows = self.frame(game("TILE x=10 y=20 background=0 left=1 top=2 width=2 height=2 depth=0\n"))

        def want(x, y):
            if 10 <= x < 12 and 20 <= y < 22:
                return cell(1 + x - 10, 2 + y - 20)
            return GREY
        self.assertPixels(rows, want, w, h)

    def test_depth_order_with_a_tile_among_the_instances(self):
        objects = ('OBJECT "r" sprite=0 depth=10\nEND\n'
                   'OBJECT "g" sprite=1 depth=0\nEND\n'
                   'OBJECT "b" sprite=2 depth=-10\nEND\n')
        # Overlapping at (4..12): red deepest, blue nearest. A tile at depth
        # 0 draws over the green instance of the same depth.
        lines = ("INSTANCE x=0 y=0 object=0 id=100001\n"
                 "INSTANCE x=2 y=2 object=1 id=100002\n"
                 "INSTANCE x=4 y=4 object=2 id=100003\n"
                 "INSTANCE x=20 y=20 object=1 id=100004\n"
                 "TILE x=24 y=24 background=0 left=0 top=0 width=1 height=1 depth=0\n")
        w, h, rows = self.frame(game(lines, objects))
        self.assertEqual(rows[1][1], RED)
        self.assertEqual(rows[3][3], GREEN)
        self.assertEqual(rows[5][5], BLUE)
        self.assertEqual(rows[11][11], BLUE)
        self.assertEqual(rows[24][24], cell(0, 0))
        self.assertEqual(rows[25][25], GREEN)

    def test_two_views_side_by_side_and_the_gui_over_them(self):
        objects = (f'OBJECT "marker" sprite=0\nEND\n'
                   f'OBJECT "hud" sprite=2\n  EVENT 8 64 code={DRAW_SELF}\nEND\n')
        # A 40x20 window of two 20x20 ports: the left shows the room's
        # (0, 0)-(20, 20), the right its (100, 0)-(120, 20). Red markers sit
        # in each; the GUI draws blue at window (16, 0) whatever the views.
        lines = ("VIEW 0 visible=1 xview=0 yview=0 wview=20 hview=20 xport=0 yport=0 wport=20 hport=20\n"
                 "VIEW 1 visible=1 xview=100 yview=0 wview=20 hview=20 xport=20 yport=0 wport=20 hport=20\n"
                 "INSTANCE x=2 y=2 object=0 id=100001\n"
                 "INSTANCE x=110 y=10 object=0 id=100002\n"
                 "INSTANCE x=16 y=0 object=1 id=100003\n")
        room = (f'ROOM "room0" width=200 height=40 colour={ROOM_COLOUR} show_colour=1 speed=30 flags=1\n'
                + lines + "END\n")
        description = (f'GEN8 version=13 debug=1 last_instance=100010 name="Views" display="Views" width=40 '
                       f'height=20 flags=0 rooms=0\nOPTN\n' + IMAGES + objects + room + "EMPTY CODE\nSTRG\n")
        w, h, rows = self.frame(description)
        self.assertEqual((w, h), (40, 20))
        self.assertEqual(rows[5][5], RED)          # left view: marker at (2..10)
        self.assertEqual(rows[11][11], GREY)
        self.assertEqual(rows[12][31], RED)        # right view: marker at 110 - 100 + 20
        self.assertEqual(rows[5][25], GREY)
        self.assertEqual(rows[4][18], BLUE)        # the GUI ignores the views
        self.assertEqual(rows[4][23], BLUE)

    def test_the_alpha_test_drops_clear_pixels_at_the_default_reference(self):
        # A 6x2 sprite: columns 0-1 alpha 0, 2-3 alpha 1, 4-5 opaque. With
        # source-only blending, whatever passes the test replaces the room's
        # grey outright, alpha and all.
        texels = ["ff000000", "ff000000", "00ff0001", "00ff0001", "0000ffff", "0000ffff"] * 2
        images = ("ENTRY x=0 y=0 width=6 height=2 page=0\n"
                  f"PAGE width=6 height=2 rgba={''.join(texels)}\n"
                  'SPRITE "s" width=6 height=2 right=5 bottom=1 frames=0\n')
        create = "draw_set_alpha_test(true); draw_set_blend_mode_ext(bm_one, bm_zero);"
        description = ('GEN8 version=13 debug=1 last_instance=100010 name="A" display="A" width=16 height=8 '
                       'flags=0 rooms=0\nOPTN\n' + images +
                       f'OBJECT "o" sprite=0\n  EVENT 0 0 text="{create}"\nEND\n'
                       f'ROOM "room0" width=16 height=8 colour={ROOM_COLOUR} show_colour=1 speed=30 code=0\n'
                       "  INSTANCE x=4 y=2 object=0 id=100001 code=0\nEND\nEMPTY CODE\nSTRG\n")
        w, h, rows = self.frame(description, program=RUNNER)
        self.assertEqual([rows[2][x][:3] for x in range(3, 11)],
                         [GREY[:3], GREY[:3], GREY[:3], (0, 255, 0), (0, 255, 0), (0, 0, 255), (0, 0, 255),
                          GREY[:3]])
