"""The motion pass of the game step on games of text code: friction and
gravity given to an instance partway through the game take effect from that
step on, and instances without them keep their speed."""

import os

from twtest import RunnerTest


def quoted(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def game(objects):
    """One room with an instance of each (name, create text, step text)."""
    out = ['GEN8 version=13 debug=1 name="M" display="M" rooms=0', "OPTN"]
    for name, create, step in objects:
        out += [f'OBJECT "{name}" depth=0', f'  EVENT 0 0 text="{quoted(create)}"',
                f'  EVENT 3 0 text="{quoted(step)}"', "END"]
    out.append('ROOM "rm" width=200 height=200')
    for index in range(len(objects)):
        out.append(f"  INSTANCE x=0 y=0 object={index}")
    out += ["END", ""]
    return "\n".join(out)


class MotionStep(RunnerTest):
    def lines(self, description, frames):
        path = self.pack(description)
        self.env["TARNWICKE_FRAMES"] = str(frames)
        out = self.path("out.txt")
        r = self.run_runner(["-game", path, "-output", out])
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, encoding="utf-8") as f:
            return f.read().splitlines()

    def test_gravity_and_friction_set_later_take_effect_from_then_on(self):
        # Each step event prints the place and speed the earlier steps' motion
        # gave. Gravity 1 (downwards by default) from step 3 adds 1 to vspeed
        # in each motion pass from then on; at step 6 gravity goes and
        # friction 0.5 takes 0.5 off the speed each step.
        faller = ("n = 0;",
                  "n += 1; show_debug_message(\"fall \" + string(n) + \" \" + string(y) + \" \" + string(vspeed));"
                  "if (n == 3) gravity = 1; if (n == 6) { gravity = 0; friction = 0.5; }")
        # Plain motion beside it, with neither friction nor gravity.
        walker = ("n = 0; hspeed = 3;",
                  "n += 1; show_debug_message(\"walk \" + string(n) + \" \" + string(x) + \" \" + string(hspeed));")
        lines = self.lines(game([("faller", *faller), ("walker", *walker)]), 8)
        fall = [l for l in lines if l.startswith("fall")]
        walk = [l for l in lines if l.startswith("walk")]
        self.assertEqual(fall, ["fall 1 0 0", "fall 2 0 0", "fall 3 0 0", "fall 4 1 1", "fall 5 3 2", "fall 6 6 3",
                                "fall 7 8.50 2.50", "fall 8 10.50 2"])
        self.assertEqual(walk, ["walk %d %d 3" % (n, 3 * (n - 1)) for n in range(1, 9)])
