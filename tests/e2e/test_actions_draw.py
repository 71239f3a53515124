"""The drawing actions as a player sees them, read from captured frames: the
score, life images and health bar, sprites by subimage, the high-score
table's square and the one-call effects above or below an instance."""

import os

from twtest import RunnerTest, read_png

RED, GREEN, BLUE, WHITE, BLACK = ((255, 0, 0, 255), (0, 255, 0, 255), (0, 0, 255, 255), (255, 255, 255, 255),
                                  (0, 0, 0, 255))

# Pages 0 red, 1 green, 2 blue, 8x8 each; sprite 0 has the three as frames,
# sprite 1 is blue alone.
IMAGES = ("PAGE width=8 height=8 fill=0xFF0000FF\n"
          "PAGE width=8 height=8 fill=0x00FF00FF\n"
          "PAGE width=8 height=8 fill=0x0000FFFF\n"
          "ENTRY width=8 height=8 page=0\n"
          "ENTRY width=8 height=8 page=1\n"
          "ENTRY width=8 height=8 page=2\n"
          'SPRITE "rgb" width=8 height=8 right=7 bottom=7 frames=0,1,2\n'
          'SPRITE "blue" width=8 height=8 right=7 bottom=7 frames=2\n')


def quoted(code):
    return code.replace("\\", "\\\\").replace('"', '\\"')


class DrawActions(RunnerTest):
    def frame(self, draw="", create="", width=40, height=40, objects="", instances="", at=(0, 0), frame=2):
        """The captured frame `frame` of a black room whose painter (sprite
        none, at `at`) runs `create` once and `draw` in its draw event."""
        events = f'  EVENT ev_create 0 text="{quoted(create)}"\n' if create else ""
        if draw:
            events += f'  EVENT ev_draw 0 text="{quoted(draw)}"\n'
        desc = (f"GEN8 width={width} height={height}\nOPTN\n" + IMAGES + objects +
                'OBJECT "painter" sprite=-1 depth=0\n' + events + "END\n" +
                f'ROOM "r" width={width} height={height} colour=0 speed=30\n' + instances +
                f"  INSTANCE x={at[0]} y={at[1]} object={objects.count('OBJECT ')}\nEND\n")
        game = self.pack(desc)
        shot = self.path(f"frame-{frame}.png")
        if os.path.exists(shot):
            os.remove(shot)
        self.env["TARNWICKE_FRAMES"] = str(frame + 1)
        self.env["TARNWICKE_CAPTURE_FRAME"] = str(frame)
        self.env["TARNWICKE_CAPTURE_FILE"] = self.path("frame-%d.png")
        r = self.run_runner(["-game", game])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertNotIn("ERROR", r.stdout)
        return read_png(shot)[2]

    def test_the_score_and_lives_look_as_the_text_they_stand_for(self):
        cases = [
            ("score = 1234; action_draw_score(4, 4, 'Score: ');", "draw_text(4, 4, 'Score: 1234');"),
            ("lives = -3; action_draw_life(4, 20, 'L=');", "draw_text(4, 20, 'L=-3');"),
            ("action_draw_variable(2.5, 0, 4);", "draw_text(0, 4, '      2.50');"),
            ("action_draw_variable(power(10, 20), 0, 4);", "draw_text(0, 4, '100000000000000000000');"),
            ("action_set_relative(1); score = 7; action_draw_score(-6, -6, ''); action_set_relative(0);",
             "draw_text(4, 4, '7');"),
        ]
        for action, direct in cases:
            with self.subTest(action):
                got = self.frame(action, width=200, at=(10, 10))
                want = self.frame(direct, width=200, at=(10, 10))
                self.assertTrue(any(p != BLACK for row in want for p in row), "the text is seen")
                self.assertEqual(got, want)

    def test_life_images_repeat_frame_zero_once_a_life(self):
        rows = self.frame("lives = 3; action_draw_life_images(4, 4, 0);")
        for x in range(4, 28):
            self.assertEqual(rows[6][x], RED, x)
        self.assertEqual(rows[6][28], BLACK, "three images, no more")
        self.assertEqual(rows[6][3], BLACK)
        self.assertEqual(rows[12][10], BLACK)
        rows = self.frame("lives = 0; action_draw_life_images(4, 4, 0); action_draw_life_images(4, 4, 9);")
        self.assertTrue(all(p == BLACK for row in rows for p in row), "no lives, or no sprite: nothing")
        # A huge count fills the row and the frame still comes.
        rows = self.frame("lives = 2147483647; action_draw_life_images(0, 0, 1);")
        self.assertTrue(all(p == BLUE for p in rows[4]))

    def test_the_health_bar_runs_from_red_through_yellow_to_lime(self):
        def bar(health):
            # Back white; bar 0 from (0, 0) to (200, 10).
            return self.frame(f"health = {health}; action_draw_health(0, 0, 200, 10, 4, 0);", width=200)

        rows = bar(0)
        self.assertEqual(rows[5][5], WHITE, "no bar at 0: the back shows")
        r, g, b, _ = bar(4)[5][5]
        self.assertEqual((r, b), (255, 0), "red at the bottom")
        self.assertLessEqual(g, 21)
        rows = bar(50)
        self.assertEqual(rows[5][50], (255, 255, 0, 255), "yellow at 50")
        self.assertEqual(rows[5][150], WHITE, "the bar ends halfway")
        rows = bar(100)
        self.assertEqual(rows[5][100], GREEN, "lime at 100")
        self.assertEqual(rows[5][195], GREEN)
        # Without the back only the bar and its border are drawn.
        rows = self.frame("health = 50; action_draw_health(0, 0, 200, 10, 0, 0);", width=200)
        self.assertEqual(rows[5][150], BLACK)

    def test_a_sprite_is_drawn_at_the_frame_asked_for(self):
        # The painter shows frame 1 (green) and draws the sprite three times.
        create = "image_index = 1; image_speed = 0;"
        draw = ("action_draw_sprite(0, 0, 0, -1); action_draw_sprite(0, 10, 0, 2.7); "
                "action_set_relative(1); action_draw_sprite(0, -10, 0, 0); action_set_relative(0);")
        rows = self.frame(draw, create, at=(30, 20))
        self.assertEqual(rows[4][4], GREEN, "-1: self's frame")
        self.assertEqual(rows[4][14], BLUE, "2.7: frame 2")
        self.assertEqual(rows[24][24], RED, "relative to self at (30, 20)")
        self.assertEqual(rows[4][24], BLACK)

    def test_the_high_score_table_fills_the_square_in_the_middle_of_the_room(self):
        got = self.frame("draw_set_colour(c_white); action_highscore_show(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);",
                         width=640, height=480)
        want = self.frame("draw_set_colour(c_white); draw_highscore(220, 140, 420, 340);", width=640, height=480)
        self.assertEqual(got, want)
        lit = [(x, y) for y, row in enumerate(got) for x, p in enumerate(row) if p != BLACK]
        self.assertTrue(lit)
        self.assertGreaterEqual(min(x for x, _ in lit), 220)
        self.assertLessEqual(max(x for x, _ in lit), 420)
        self.assertGreaterEqual(min(y for _, y in lit), 140)
        self.assertLessEqual(max(y for _, y in lit), 340)

    def test_an_effect_shows_above_or_below_an_instance_as_asked(self):
        # A blue instance at depth 0 covers the 80x40 room; the painter
        # (depth 0 too) makes a large lime ring in its create event.
        cover = ('OBJECT "cover" sprite=1 depth=0\n'
                 '  EVENT ev_create 0 text="image_xscale = 10; image_yscale = 5;"\nEND\n')
        for where, above in ((1, True), (0.5, True), (0.49, False), (0, False)):
            with self.subTest(where=where):
                rows = self.frame(create=f"action_effect(1, 40, 20, 2, c_lime, {where});", width=80,
                                  objects=cover, instances="  INSTANCE x=0 y=0 object=0\n", frame=5)
                seen = [(x, y) for y, row in enumerate(rows) for x, p in enumerate(row) if p != BLUE]
                if above:
                    self.assertTrue(seen, "over the instance")
                else:
                    self.assertEqual(seen[:3], [], "under the instance")
        # Relative: the ring is centred on the painter.
        rows = self.frame(create="action_set_relative(1); action_effect(1, 10, 5, 2, c_lime, 1); "
                                 "action_set_relative(0);",
                          width=80, objects=cover, instances="  INSTANCE x=0 y=0 object=0\n", at=(30, 15), frame=5)
        seen = [(x, y) for y, row in enumerate(rows) for x, p in enumerate(row) if p != BLUE]
        self.assertTrue(seen)
        cx = sum(x for x, _ in seen) / len(seen)
        cy = sum(y for _, y in seen) / len(seen)
        self.assertAlmostEqual(cx, 40, delta=3)
        self.assertAlmostEqual(cy, 20, delta=3)
