"""The game window and its frames, seen as a player would: captured frames
of fixture games run headless on the offscreen driver."""

import os

from twtest import RunnerTest, read_png

FIXTURE = os.environ.get("TW_FIXTURE_RUNNER", "")


def game(width, height, flags, room_colour, window_colour=0x000000, room_w=None, room_h=None):
    room_w = room_w or width
    room_h = room_h or height
    return (f'GEN8 version=13 debug=1 name="Shown" display="Shown" width={width} height={height} '
            f'flags={flags} rooms=0\n'
            f"OPTN word8={window_colour}\n"
            f'ROOM "room0" width={room_w} height={room_h} colour={room_colour} show_colour=1 speed=30 code=0\nEND\n'
            "EMPTY CODE\nSTRG\n")


def script_to_rgb(colour):
    return (colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF)


class Frames(RunnerTest):
    def capture(self, description, frame=2, extra_env=None):
        self.pack(description)
        self.env["TARNWICKE_CAPTURE_FRAME"] = str(frame)
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame-%d.png")
        self.env.update(extra_env or {})
        r = self.run_runner(["-game", "game.win"])
        self.assertEqual(r.returncode, 0, r.stderr)
        path = self.path(f"frame-{frame}.png")
        self.assertTrue(os.path.exists(path), "no frame captured:\n" + r.stderr)
        return r, read_png(path)

    def test_window_of_the_header_size_cleared_to_the_room_colour(self):
        colour = 0x4080C0  # script colours are 0xBBGGRR
        _, (w, h, rows) = self.capture(game(200, 150, 0, colour))
        self.assertEqual((w, h), (200, 150))
        want = script_to_rgb(colour) + (255,)
        wrong = [(x, y) for y in range(h) for x in range(w) if rows[y][x] != want]
        self.assertEqual(wrong[:5], [], f"pixels not {want}")

    def test_a_keep_aspect_game_is_letterboxed_in_the_window_colour(self):
        room, window = 0x00FF00, 0x0000FF
        _, (w, h, rows) = self.capture(game(320, 240, 0x10, room, window),
                                       extra_env={"TARNWICKE_WINDOW_SIZE": "800x480"})
        self.assertEqual((w, h), (800, 480))
        inside, bars = script_to_rgb(room) + (255,), script_to_rgb(window) + (255,)
        # The picture is 640 wide, centred: bars of 80 at each side.
        for y in (0, 240, 479):
            self.assertEqual(rows[y][0], bars)
            self.assertEqual(rows[y][79], bars)
            self.assertEqual(rows[y][80], inside)
            self.assertEqual(rows[y][719], inside)
            self.assertEqual(rows[y][720], bars)
            self.assertEqual(rows[y][799], bars)

    def test_without_keep_aspect_the_picture_fills_the_window(self):
        _, (w, h, rows) = self.capture(game(320, 240, 0, 0x00FF00, 0x0000FF),
                                       extra_env={"TARNWICKE_WINDOW_SIZE": "800x480"})
        self.assertEqual(rows[240][0], (0, 255, 0, 255))
        self.assertEqual(rows[240][799], (0, 255, 0, 255))

    def test_a_lost_device_is_reset_and_the_game_goes_on(self):
        r, (w, h, rows) = self.capture(game(160, 120, 0, 0xFF0000), frame=3,
                                       extra_env={"TARNWICKE_LOSE_DEVICE": "2"})
        lines = r.debug_lines()
        start = lines.index("Free all surfaces")
        self.assertEqual(lines[start:start + 4], ["Free all surfaces", "Graphics::Reset()", "--Reset Begin",
                                                  "Restore Target"])
        self.assertIn("--Reset End", lines)
        self.assertIn("D3D Settings Init", lines)
        self.assertEqual(rows[60][80], (0, 0, 255, 255))
        self.assertEqual((w, h), (160, 120))
