"""Particle systems as a room shows them, read from captured frames: drawn
between the instances by depth, on demand only when automatic drawing is
off, shape particles in their colour with additive blending, and the one-call
effects above or below the instances until their life ends."""

import os

from twtest import RunnerTest, read_png

RED, GREEN, BLUE, YELLOW, BLACK = ((255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255), (255, 255, 0, 255),
                                   (0, 0, 0, 255))

# Pages and sprites: 0 red, 1 blue, 8x8 each.
IMAGES = ("PAGE width=8 height=8 fill=0xFF0000FF\n"
          "PAGE width=8 height=8 fill=0x0000FFFF\n"
          "ENTRY width=8 height=8 page=0\n"
          "ENTRY width=8 height=8 page=1\n"
          'SPRITE "red" width=8 height=8 right=7 bottom=7 frames=0\n'
          'SPRITE "blue" width=8 height=8 right=7 bottom=7 frames=1\n'
          'BGND "bg_red" entry=0\n')

# A system at depth 0 with one green 16x16 square particle centred on (16, 16).
SQUARE = ("global.s = part_system_create(); part_system_depth(global.s, 0); "
          "global.t = part_type_create(); part_type_shape(global.t, pt_shape_square); "
          "part_type_size(global.t, 0.25, 0.25, 0, 0); part_type_color1(global.t, c_lime); "
          "part_particles_create(global.s, 16, 16, global.t, 1);")


def quoted(code):
    return code.replace("\\", "\\\\").replace('"', '\\"')


class Particles(RunnerTest):
    def frames(self, objects, instances, width=40, height=40, capture=(2,), total=3):
        """Packs a room of the objects and instances, runs it for `total`
        frames and returns the captured pictures by frame number."""
        desc = (f"GEN8 width={width} height={height}\nOPTN\n" + IMAGES + objects +
                f'ROOM "r" width={width} height={height} colour=0 speed=30\n' + instances + "END\n")
        game = self.pack(desc)
        self.env["TARNWICKE_FRAMES"] = str(total)
        self.env["TARNWICKE_CAPTURE_FRAME"] = ",".join(str(n) for n in capture)
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame-%d.png")
        for n in capture:
            if os.path.exists(self.path(f"frame-{n}.png")):
                os.remove(self.path(f"frame-{n}.png"))
        r = self.run_runner(["-game", game])
        self.assertEqual(r.returncode, 0, r.stderr)
        return {n: read_png(self.path(f"frame-{n}.png"))[2] for n in capture}

    @staticmethod
    def between(create, draw="", controller_depth=0):
        """Red at depth 10 on (8..16), blue at depth -10 on (16..24), and a
        controller running `create` and `draw`."""
        events = f'  EVENT ev_create 0 text="{quoted(create)}"\n'
        if draw:
            events += f'  EVENT ev_draw 0 text="{quoted(draw)}"\n'
        objects = ('OBJECT "r" sprite=0 depth=10\nEND\n'
                   'OBJECT "b" sprite=1 depth=-10\nEND\n'
                   f'OBJECT "ctl" sprite=-1 depth={controller_depth}\n' + events + "END\n")
        instances = ("  INSTANCE x=8 y=8 object=0\n"
                     "  INSTANCE x=16 y=16 object=1\n"
                     "  INSTANCE x=0 y=0 object=2\n")
        return objects, instances

    def test_a_system_at_depth_zero_draws_between_instances_at_ten_and_minus_ten(self):
        rows = self.frames(*self.between(SQUARE))[2]
        self.assertEqual(rows[10][10], GREEN, "the particle covers the deeper red instance")
        self.assertEqual(rows[20][20], BLUE, "the nearer blue instance covers the particle")
        self.assertEqual(rows[20][10], GREEN)
        self.assertEqual(rows[4][4], BLACK, "nothing outside the square")
        self.assertEqual(rows[30][30], BLACK)

    def test_without_automatic_drawing_a_system_shows_only_through_drawit(self):
        off = SQUARE + " part_system_automatic_draw(global.s, 0);"
        rows = self.frames(*self.between(off))[2]
        self.assertEqual(rows[10][10], RED, "the depth pass leaves it out")
        self.assertEqual(rows[20][10], BLACK)
        # Drawn by a draw event at depth -20: over both instances.
        rows = self.frames(*self.between(off, draw="part_system_drawit(global.s);", controller_depth=-20))[2]
        self.assertEqual(rows[10][10], GREEN)
        self.assertEqual(rows[20][20], GREEN)
        self.assertEqual(rows[4][4], BLACK)

    def test_shape_particles_show_their_colour_alpha_and_additive_blending(self):
        create = ("global.s = part_system_create(); "
                  "var a, h; a = part_type_create(); part_type_shape(a, pt_shape_square); "
                  "part_type_size(a, 0.25, 0.25, 0, 0); part_type_color1(a, c_lime); part_type_blend(a, 1); "
                  "h = part_type_create(); part_type_shape(h, pt_shape_square); "
                  "part_type_size(h, 0.125, 0.125, 0, 0); part_type_color1(h, c_lime); part_type_alpha1(h, 0.5); "
                  "part_particles_create(global.s, 16, 16, a, 1); "
                  "part_particles_create(global.s, 32, 32, h, 1);")
        objects = ('OBJECT "r" sprite=0 depth=10\nEND\n'
                   f'OBJECT "ctl" sprite=-1 depth=0\n  EVENT ev_create 0 text="{quoted(create)}"\nEND\n')
        instances = "  INSTANCE x=8 y=8 object=0\n  INSTANCE x=28 y=28 object=0\n  INSTANCE x=0 y=0 object=1\n"
        rows = self.frames(objects, instances)[2]
        self.assertEqual(rows[10][10], YELLOW, "green added to the red instance")
        self.assertEqual(rows[20][20], GREEN, "green added to black")
        # The normal type after the additive one blends normally again: half
        # green over red, where adding would keep the red whole.
        r, g, b, _ = rows[32][32]
        self.assertIn(r, (127, 128))
        self.assertIn(g, (127, 128))
        self.assertEqual(b, 0)

    def centre(self, create):
        """The pixel at (16, 16) with a red instance at depth 10 on (8..16)
        under a system at depth 10 that `create` fills: the colours of
        `square(c)` particles, each a 16x16 square centred on (16, 16)."""
        objects = ('OBJECT "r" sprite=0 depth=10\nEND\n'
                   f'OBJECT "ctl" sprite=-1 depth=0\n  EVENT ev_create 0 text="{quoted(create)}"\nEND\n')
        rows = self.frames(objects, "  INSTANCE x=8 y=8 object=0\n  INSTANCE x=0 y=0 object=1\n")[2]
        return rows[12][12]

    def test_ties_draw_order_and_a_bad_shape(self):
        made = ("global.s = part_system_create(); part_system_depth(global.s, 10); "
                "var g, b, bad; g = part_type_create(); b = part_type_create(); bad = part_type_create(); "
                "part_type_shape(g, pt_shape_square); part_type_shape(b, pt_shape_square); "
                "part_type_size(g, 0.25, 0.25, 0, 0); part_type_size(b, 0.25, 0.25, 0, 0); "
                "part_type_color1(g, c_lime); part_type_color1(b, c_blue); part_type_shape(bad, 14); ")
        cases = [
            ("part_particles_create(global.s, 16, 16, g, 1);", GREEN, "after the instance of the same depth"),
            ("part_particles_create(global.s, 16, 16, g, 1); part_particles_create(global.s, 16, 16, b, 1);",
             BLUE, "old to new: the newest on top"),
            ("part_system_draw_order(global.s, 0); part_particles_create(global.s, 16, 16, g, 1); "
             "part_particles_create(global.s, 16, 16, b, 1);", GREEN, "new to old: the oldest on top"),
            ("part_particles_create(global.s, 16, 16, g, 1); part_particles_create(global.s, 16, 16, bad, 1); "
             "part_particles_create(global.s, 16, 16, b, 1);", GREEN, "a bad shape ends the system's drawing"),
            ("part_type_color1(g, c_white); part_type_sprite(g, 1, 0, 0, 0); "
             "part_particles_create(global.s, 12, 12, g, 1);", BLUE,
             "a sprite particle: the blue sprite from (12, 12), tinted white"),
        ]
        for create, want, why in cases:
            with self.subTest(why):
                self.assertEqual(self.centre(made + create), want, why)

    def test_a_system_at_a_tiles_depth_draws_before_the_tile(self):
        objects = f'OBJECT "ctl" sprite=-1 depth=0\n  EVENT ev_create 0 text="{quoted(SQUARE)}"\nEND\n'
        for depth, want in ((0, RED), (5, GREEN), (-5, RED)):
            with self.subTest(tile_depth=depth):
                tile = f"  TILE x=12 y=12 background=0 left=0 top=0 width=8 height=8 depth={depth}\n"
                rows = self.frames(objects, "  INSTANCE x=0 y=0 object=0\n" + tile)[2]
                self.assertEqual(rows[18][18], want)
                self.assertEqual(rows[22][22], GREEN)

    def effect_frames(self, call, capture):
        """A blue instance covering the 80x40 room at depth 0 and an effect
        made by `call` in its create event."""
        objects = ('OBJECT "cover" sprite=1 depth=0\n'
                   '  EVENT ev_create 0 text="image_xscale = 10; image_yscale = 5;"\nEND\n'
                   f'OBJECT "ctl" sprite=-1 depth=0\n  EVENT ev_create 0 text="{quoted(call)}"\nEND\n')
        instances = "  INSTANCE x=0 y=0 object=0\n  INSTANCE x=0 y=0 object=1\n"
        return self.frames(objects, instances, width=80, height=40, capture=capture, total=max(capture) + 1)

    def test_each_effect_shows_above_or_below_as_asked_and_is_gone_after_its_life(self):
        # When each kind is surely in sight (the cloud fades in, the snow
        # falls in from above the room); the seed fixes where rain and snow
        # start.
        seen_at = {0: 5, 1: 5, 2: 5, 3: 5, 4: 5, 5: 5, 6: 5, 7: 5, 8: 5, 9: 50, 10: 5, 11: 12}
        gone = 110  # the longest life is the cloud's 100 steps
        for kind, early in seen_at.items():
            for where in ("above", "below"):
                with self.subTest(kind=kind, where=where):
                    call = f"random_set_seed(7); effect_create_{where}({kind}, 40, 20, 2, c_lime);"
                    shots = self.effect_frames(call, (early, gone))
                    covered = [p for row in shots[early] for p in row if p != BLUE]
                    if where == "above":
                        self.assertTrue(covered, "the effect is in front of the instance")
                    else:
                        self.assertEqual(covered[:3], [], "the effect is behind the instance")
                    self.assertTrue(all(p == BLUE for row in shots[gone] for p in row), "gone after its life")
