"""Sprites on texture pages, drawn by the room for instances without a draw
event, compared pixel for pixel with ImageMagick's crop of the same page
composited at the same place."""

import os
import shutil
import subprocess
import unittest

from twtest import RunnerTest, read_png

FIXTURE = os.environ.get("TW_FIXTURE_RUNNER", "")
HERE = os.path.dirname(os.path.abspath(__file__))
# convert -size 40x30 xc: +noise Random
PAGE = os.path.join(HERE, "fixtures", "noise_page.png")

ROOM_W, ROOM_H = 120, 100
# The stored rectangle on the page, where it sits in the untrimmed image,
# and the sprite's origin.
CROP_X, CROP_Y, CROP_W, CROP_H = 5, 4, 20, 15
OFF_X, OFF_Y = 3, 2
ORIGIN_X, ORIGIN_Y = 1, 1
# The room colour, black; script colours are 0xBBGGRR.
BACKGROUND = 0x000000


def game(x, y, extra=""):
    return (f'GEN8 version=13 debug=1 last_instance=100010 name="Sprites" display="Sprites" width={ROOM_W} height={ROOM_H} '
            f'flags=0 rooms=0\n'
            "OPTN\n"
            f'ENTRY x={CROP_X} y={CROP_Y} width={CROP_W} height={CROP_H} xoffset={OFF_X} yoffset={OFF_Y} '
            f'original_width=30 original_height=25 page=0\n'
            f'PAGE png="{PAGE}"\n'
            f'SPRITE "spr_noise" width=30 height=25 right=29 bottom=24 mode=1 xorigin={ORIGIN_X} '
            f'yorigin={ORIGIN_Y} frames=0\n'
            'OBJECT "obj_noise" sprite=0\nEND\n'
            f'ROOM "room0" width={ROOM_W} height={ROOM_H} colour={BACKGROUND} show_colour=1 speed=30 code=0\n'
            f"INSTANCE x={x} y={y} object=0 id=100001 {extra}\n"
            "END\n"
            "EMPTY CODE\nSTRG\n")


@unittest.skipUnless(shutil.which("convert"), "needs ImageMagick")
class SpriteFrames(RunnerTest):
    """On the runner with compiled events, so "no code" needs no compiler."""

    def capture(self, description, frame=2):
        self.pack(description)
        self.env["TARNWICKE_CAPTURE_FRAME"] = str(frame)
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame-%d.png")
        r = self.run_runner(["-game", "game.win"], program=FIXTURE)
        self.assertEqual(r.returncode, 0, r.stderr)
        path = self.path(f"frame-{frame}.png")
        self.assertTrue(os.path.exists(path), "no frame captured:\n" + r.stderr)
        return read_png(path)

    def expected(self, left, top, transform=()):
        """ImageMagick: the crop, transformed, over the room colour."""
        out = self.path("expected.png")
        subprocess.run(["convert", "-size", f"{ROOM_W}x{ROOM_H}", "xc:black",
                        "(", PAGE, "-crop", f"{CROP_W}x{CROP_H}+{CROP_X}+{CROP_Y}", "+repage", *transform, ")",
                        "-geometry", f"+{left}+{top}", "-composite", f"PNG32:{out}"], check=True)
        return read_png(out)

    def assertSamePicture(self, got, want):
        self.assertEqual(got[:2], want[:2])
        w, h = got[:2]
        wrong = [(x, y, got[2][y][x][:3], want[2][y][x][:3]) for y in range(h) for x in range(w)
                 if got[2][y][x][:3] != want[2][y][x][:3]]
        self.assertEqual(wrong[:5], [], f"{len(wrong)} pixels differ")

    def test_a_cropped_frame_lands_at_its_offset_from_the_origin(self):
        x, y = 50, 40
        got = self.capture(game(x, y))
        self.assertSamePicture(got, self.expected(x - ORIGIN_X + OFF_X, y - ORIGIN_Y + OFF_Y))

    def test_scaled_by_two_each_texel_covers_two_by_two_pixels(self):
        x, y = 30, 20
        got = self.capture(game(x, y, "xscale=2 yscale=2"))
        want = self.expected(x + 2 * (OFF_X - ORIGIN_X), y + 2 * (OFF_Y - ORIGIN_Y), ["-scale", "200%"])
        self.assertSamePicture(got, want)

    def test_ninety_degrees_turns_the_frame_anticlockwise(self):
        x, y = 50, 70
        got = self.capture(game(x, y, "angle=90"))
        # Local (lx, ly) goes to (x + ly, y - lx): the frame's top edge
        # becomes its left edge.
        left = x + (OFF_Y - ORIGIN_Y)
        top = y - (OFF_X - ORIGIN_X + CROP_W)
        self.assertSamePicture(got, self.expected(left, top, ["-rotate", "-90"]))

    def test_an_instance_outside_the_view_draws_nothing(self):
        got = self.capture(game(ROOM_W + 60, 40))
        w, h, rows = got
        lit = [(px, py) for py in range(h) for px in range(w) if rows[py][px][:3] != (0, 0, 0)]
        self.assertEqual(lit[:5], [])


class BadImageChunks(RunnerTest):
    def run_game(self, description):
        self.pack(description)
        self.env["TARNWICKE_FRAMES"] = "2"
        return self.run_runner(["-game", "game.win"], program=FIXTURE)

    def test_masks_past_the_end_of_the_container_are_refused(self):
        r = self.run_game(
            'GEN8 version=13 last_instance=100010 rooms=0\nOPTN\n'
            'SPRITE "s" width=4000 height=4000 frames=-1 mask_count=1\n'
            'ROOM "r"\nEND\nEMPTY CODE\nSTRG\n')
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn("masks of sprite \"s\" run past the end of the container", r.stderr)

    def test_an_entry_naming_a_missing_page_is_reported_and_draws_nothing(self):
        r = self.run_game(
            'GEN8 version=13 last_instance=100010 rooms=0\nOPTN\n'
            'ENTRY width=4 height=4 page=5\n'
            'PAGE width=4 height=4 fill=0xFF0000FF\n'
            'SPRITE "s" width=4 height=4 frames=0\n'
            'OBJECT "o" sprite=0\nEND\n'
            'ROOM "r"\nINSTANCE x=10 y=10 object=0 id=100001\nEND\nEMPTY CODE\nSTRG\n')
        self.assertEqual(r.returncode, 0, r.stderr)
        log = "\n".join(r.debug_lines())
        self.assertIn("what!!!!", log)
        self.assertIn("Error attempting to draw sprite s", log)


if __name__ == "__main__":
    unittest.main()
