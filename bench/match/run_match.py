"""Plays the recorded won match (tests/e2e/game_inputs/win.keys) headless on
the software rasteriser, unpaced, and prints match_bench's frame times.
--smoke plays the first frames only and checks that the figures come out."""

import argparse
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))
from game_keys import KeyScript  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bench", required=True, help="the match_bench program")
    ap.add_argument("--keys", default=os.path.join(HERE, "..", "..", "tests", "e2e", "game_inputs", "win.keys"))
    ap.add_argument("--smoke", action="store_true")
    args = ap.parse_args()
    script = KeyScript.read(args.keys)
    with tempfile.TemporaryDirectory(prefix="tw-match-") as home:
        rec = os.path.join(home, "match.rec")
        with open(rec, "wb") as f:
            f.write(script.playback())
        env = dict(os.environ, HOME=home, XDG_DATA_HOME=home, XDG_CONFIG_HOME=home, TMPDIR=home,
                   SDL_VIDEODRIVER="offscreen", ALSOFT_DRIVERS="null", TARNWICKE_NO_DIALOGS="1",
                   TARNWICKE_UNPACED="1", LIBGL_ALWAYS_SOFTWARE="1")
        if args.smoke:
            # Into the level and a little of its countdown.
            env["TARNWICKE_FRAMES"] = str(script.rooms[3][0] + 10)
        r = subprocess.run([os.path.abspath(args.bench), "-playback", rec], env=env, capture_output=True, text=True, cwd=home)
    lines = [l for l in r.stdout.splitlines() if re.match(r"(all|match) frames: ", l)]
    print("\n".join(lines))
    if r.returncode != 0 or len(lines) != 2 or " 0 frames" in lines[1]:
        sys.stderr.write(r.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
