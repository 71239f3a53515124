"""Input playback on the real runner: a fixture object with key events on A
is driven by a playback file, and the events must fire on exactly the steps
the file records. The file is written here from the record layout, so the
test is independent of the engine's own encoder."""

import os
import struct

from twtest import RunnerTest

FIXTURE = os.environ.get("TW_FIXTURE_RUNNER", "")
LOG = 0  # fixture code: logs "<event> <object> <id>"
KEY_A = 65
FRAME_SIZE = 2939
HELD, PRESS, RELEASE = "A-key keys 100001", "press A-key keys 100001", "release A-key keys 100001"
GAME = f"""GEN8 version=13 debug=1 name="Keys" display="Keys" last_instance=100010 rooms=0
OPTN
OBJECT "keys" depth=0
  EVENT 3 1 code={LOG}
  EVENT 9 {KEY_A} code={LOG}
  EVENT 5 {KEY_A} code={LOG}
  EVENT 10 {KEY_A} code={LOG}
END
ROOM "room0"
  INSTANCE x=0 y=0 object=0 id=100001
END
EMPTY CODE
STRG
"""


def frame(down=(), pressed=(), released=(), last_key=0, current_key=0):
    """One step record: the key tables filled, everything else empty."""
    data = bytearray(FRAME_SIZE)
    struct.pack_into("<ii", data, 2052, last_key, current_key)
    for table, keys in ((2060, down), (2316, released), (2572, pressed)):
        for k in keys:
            data[table + k] = 1
    return bytes(data)


class InputPlayback(RunnerTest):
    def setUp(self):
        super().setUp()
        if not FIXTURE:
            self.skipTest("TW_FIXTURE_RUNNER not set")

    def play(self, playback, frames):
        self.pack(GAME)
        self.write("input.rec", playback)
        self.env["TARNWICKE_FRAMES"] = str(frames)
        r = self.run_runner(["-game", "game.win", "-output", "out.txt", "-playback", "input.rec"],
                            program=FIXTURE)
        with open(self.path("out.txt"), encoding="utf-8") as f:
            return r, f.read().splitlines()

    def steps(self, lines):
        """The lines of each step, split at the begin-step event."""
        out = []
        for line in lines:
            if line.startswith("BeginStep"):
                out.append([])
            elif out:
                out[-1].append(line)
        return out

    def test_key_events_fire_on_the_recorded_steps(self):
        recording = (frame()
                     + frame(down=[KEY_A], pressed=[KEY_A], last_key=KEY_A, current_key=KEY_A)
                     + frame(down=[KEY_A], last_key=KEY_A, current_key=KEY_A)
                     + frame(released=[KEY_A], last_key=KEY_A)
                     + frame(last_key=KEY_A))
        r, lines = self.play(recording, 5)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.steps(lines), [
            [],
            [HELD, PRESS],
            [HELD],
            [RELEASE],
            [],
        ])

    def test_held_key_stays_held_after_the_file_ends(self):
        # Past the last record the key stays down with no further edges.
        recording = frame(down=[KEY_A], pressed=[KEY_A], last_key=KEY_A)
        r, lines = self.play(recording, 3)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.steps(lines), [
            [HELD, PRESS],
            [HELD],
            [HELD],
        ])

    def test_cut_off_and_garbage_files_end_cleanly(self):
        # A damaged record: every byte set, then a record cut short. The first
        # holds every key; the cut-off one is never applied.
        recording = b"\xff" * FRAME_SIZE + frame(pressed=[KEY_A])[:1000]
        r, lines = self.play(recording, 3)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(self.steps(lines), [
            [HELD, PRESS, RELEASE],
            [HELD],
            [HELD],
        ])

    def test_missing_playback_file_gives_no_input(self):
        self.pack(GAME)
        self.env["TARNWICKE_FRAMES"] = "2"
        r = self.run_runner(["-game", "game.win", "-output", "out.txt", "-playback", "absent.rec"],
                            program=FIXTURE)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(self.path("out.txt"), encoding="utf-8") as f:
            self.assertEqual(self.steps(f.read().splitlines()), [[], []])

    def test_recording_writes_one_record_per_step(self):
        self.pack(GAME)
        self.env["TARNWICKE_FRAMES"] = "4"
        r = self.run_runner(["-game", "game.win", "-record", "out.rec"], program=FIXTURE)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(self.path("out.rec"), "rb") as f:
            data = f.read()
        self.assertEqual(len(data), 4 * FRAME_SIZE)
        # No live input in a headless run: no key is down or has an edge.
        for step in range(4):
            rec = data[step * FRAME_SIZE:(step + 1) * FRAME_SIZE]
            self.assertEqual(rec[2060:2828], bytes(768), f"step {step}")
