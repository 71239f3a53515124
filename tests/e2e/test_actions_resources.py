"""Sprites replaced from PNG files beside the game, by sprite_replace and by
action_replace_sprite, seen in captured frames; the reports for a missing
sprite or file; and a sprite added from an http address, whose image
arrives with event 7 / 60 and its map."""

import os
import struct
import zlib

from http_server import Server
from twtest import RunnerTest, quoted, read_png

BLACK, RED, GREEN, BLUE = (0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255)


def png(width, height, pixel):
    """An 8-bit RGB PNG whose pixel (x, y) is pixel(x, y)."""
    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body))
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


# Two 8 x 6 frames side by side: blue, then green.
STRIP = png(16, 6, lambda x, y: BLUE if x < 8 else GREEN)

# "spr" is an 8 x 8 red square on the data file's page with its origin at
# (2, 3); the instance at (20, 20) draws it with the room's default drawing.
IMAGES = ("PAGE width=8 height=8 fill=0xFF0000FF\n"
          "ENTRY width=8 height=8 page=0\n"
          'SPRITE "spr" width=8 height=8 right=7 bottom=7 xorigin=2 yorigin=3 frames=0\n')


def game(create, async_code="", draw=""):
    events = f'  EVENT 0 0 text="{quoted("image_speed = 0; " + create)}"\n'
    if async_code:
        events += f'  EVENT 7 60 text="{quoted(async_code)}"\n'
    if draw:
        events += f'  EVENT 8 0 text="{quoted(draw)}"\n'
    return ('GEN8 version=13 debug=1 name="G" display="Replace Game" width=48 height=48\nOPTN\n' + IMAGES +
            'OBJECT "o" sprite=0\n' + events + "END\n"
            'ROOM "r" width=48 height=48 colour=0 show_colour=1\n'
            "  INSTANCE x=20 y=20 object=0 id=100001\n"
            "END\nEMPTY CODE\nSTRG\n")


class ReplaceSprites(RunnerTest):
    def play(self, description, frame=2):
        """The picture of the frame, the output lines and the debug log with
        the error reports."""
        path = self.pack(description)
        self.env["TARNWICKE_FRAMES"] = str(frame + 1)
        self.env["TARNWICKE_CAPTURE_FRAME"] = str(frame)
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame.png")
        out = self.path("out.txt")
        r = self.run_runner(["-game", path, "-output", out])
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = []
        if os.path.exists(out):
            with open(out, encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        log = "\n".join(r.debug_lines()) + r.stderr
        return read_png(self.path("frame.png")), lines, log

    def assertSquare(self, picture, left, top, width, height, colour):
        """`colour` in the rectangle and black everywhere else."""
        w, h, rows = picture
        wrong = [(x, y, rows[y][x][:3]) for y in range(h) for x in range(w)
                 if rows[y][x][:3] != (colour if left <= x < left + width and top <= y < top + height else BLACK)]
        self.assertEqual(wrong[:5], [], f"{len(wrong)} pixels differ")

    def test_sprite_replace_draws_the_files_first_frame_at_the_new_origin(self):
        self.write("strip.png", STRIP)
        picture, lines, _ = self.play(game(
            'show_debug_message("replaced " + string(sprite_replace(spr, "strip.png", 2, 0, 0, 1, 1)));'))
        self.assertIn("replaced 1", lines)
        self.assertSquare(picture, 19, 19, 8, 6, BLUE)

    def test_action_replace_sprite_keeps_the_origin(self):
        self.write("strip.png", STRIP)
        picture, _, log = self.play(game('action_replace_sprite(spr, "strip.png", 2); image_index = 1;'))
        self.assertNotIn("Trying to replace", log)
        self.assertSquare(picture, 18, 17, 8, 6, GREEN)

    def test_a_missing_sprite_or_file_is_reported_and_the_sprite_stays(self):
        self.write("strip.png", STRIP)
        picture, lines, log = self.play(game(
            'action_replace_sprite(99, "strip.png", 1);'
            'action_replace_sprite(spr, "none.png", 1);'
            'show_debug_message("missing file " + string(sprite_replace(spr, "none.png", 1, 0, 0, 0, 0)));'
            'sprite_replace(99, "strip.png", 1, 0, 0, 0, 0);'))
        self.assertIn("Trying to replace non-existing resource.", log)
        self.assertIn("File does not exist.", log)
        self.assertIn("Trying to replace non-existing sprite.", log)
        self.assertIn("missing file 0", lines)
        self.assertSquare(picture, 18, 17, 8, 8, RED)


class SpriteFromAddress(RunnerTest):
    def setUp(self):
        super().setUp()
        self.server = Server()
        self.addCleanup(self.server.close)
        self.server.files["/strip.png"] = STRIP
        self.env["TW_HTTP"] = self.server.base
        self.env["TARNWICKE_FRAMES"] = "100000000"

    def test_the_image_arrives_with_event_60_and_its_map(self):
        # Three requests: an image, a 404 with a body, and a 200 that is no
        # image. Once all three events have come, the draw event draws each
        # new sprite's frames and reads back what was drawn.
        create = ('base = environment_get_variable("TW_HTTP"); events = 0;'
                  'ok = sprite_add(base + "/strip.png", 2, 0, 0, 1, 1);'
                  'missing = sprite_add(base + "/missing", 1, 0, 0, 0, 0);'
                  'text = sprite_add(base + "/hello", 1, 0, 0, 0, 0);'
                  'show_debug_message("ids " + string(ok) + " " + string(missing) + " " + string(text));')
        on_image = ('var m; m = async_load;'
                    'show_debug_message("ev file=" + ds_map_find_value(m, "filename")'
                    ' + " id=" + string(ds_map_find_value(m, "id"))'
                    ' + " http=" + string(ds_map_find_value(m, "http_status"))'
                    ' + " status=" + string(ds_map_find_value(m, "status")));'
                    'events += 1;')
        draw = ('if (events == 3) {'
                ' draw_clear(c_black);'
                ' draw_sprite(ok, 0, 11, 11); draw_sprite(ok, 1, 31, 11);'
                ' draw_sprite(missing, 0, 11, 31); draw_sprite(text, 0, 31, 31);'
                ' show_debug_message("pixels " + string(draw_getpixel(10, 10)) + " " + string(draw_getpixel(17, 15))'
                '  + " " + string(draw_getpixel(18, 10)) + " " + string(draw_getpixel(30, 10))'
                '  + " " + string(draw_getpixel(10, 30)) + " " + string(draw_getpixel(30, 30)));'
                ' game_end(); }')
        path = self.pack(game(create, on_image, draw))
        out = self.path("out.txt")
        r = self.run_runner(["-game", path, "-output", out])
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
        base = self.server.base
        # New slots after the data file's one, given at once.
        self.assertIn("ids 1 2 3", lines)
        events = sorted(line for line in lines if line.startswith("ev "))
        self.assertEqual(events, sorted([
            f"ev file={base}/strip.png id=1 http=200 status=0",
            f"ev file={base}/missing id=2 http=404 status=0",
            f"ev file={base}/hello id=3 http=200 status=0",
        ]))
        # Blue frame 0 is 8 x 6 from the origin (1, 1); green frame 1; the
        # sprites of the 404 and of the text stay empty and draw nothing.
        blue, green = 0xFF0000, 0x00FF00
        self.assertIn("pixels %d %d 0 %d 0 0" % (blue, blue, green), lines)
        log = "\n".join(r.debug_lines())
        self.assertIn(f"Failed to decode data in Sprite_Add {base}/hello", log)
        self.assertNotIn(f"Failed to decode data in Sprite_Add {base}/missing", log)
