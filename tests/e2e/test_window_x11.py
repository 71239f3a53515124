"""The game window on a real X server (Xvfb): found by its caption with the
game's client size, and keys and clicks typed with xdotool reach the engine
as the right key numbers and buttons, as the recorded input of the run shows.
Skipped where Xvfb or xdotool is missing."""

import os
import shutil
import struct
import subprocess
import time

from twtest import RunnerTest

FIXTURE = os.environ.get("TW_FIXTURE_RUNNER", "")
LOG = 0
END_GAME = 5
FRAME_SIZE = 2939
KEYS_RELEASED, KEYS_PRESSED = 2316, 2572
MOUSE_PRESSED = 2898  # device 0: buttons 1, 2, 3
WHEEL_UP, WHEEL_DOWN = 2913, 2918
CAPTION = "Keys on X"
GAME = f"""GEN8 version=13 debug=1 name="KeysX" display="{CAPTION}" width=200 height=150 last_instance=100010 rooms=0
OPTN
OBJECT "keys" depth=0
  EVENT 9 65 code={LOG}
  EVENT 9 27 code={END_GAME}
END
ROOM "room0" width=200 height=150 speed=30
  INSTANCE x=0 y=0 object=0 id=100001
END
EMPTY CODE
STRG
"""


def start_xvfb():
    """An X server on a free display; (process, display name)."""
    read, write = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    return proc, ":" + number


class X11Window(RunnerTest):
    def setUp(self):
        super().setUp()
        if not FIXTURE:
            self.skipTest("TW_FIXTURE_RUNNER not set")
        if not (shutil.which("Xvfb") and shutil.which("xdotool")):
            self.skipTest("Xvfb and xdotool are needed")
        self.xvfb, self.display = start_xvfb()
        self.addCleanup(self.xvfb.wait)
        self.addCleanup(self.xvfb.terminate)
        self.env.update({"DISPLAY": self.display, "SDL_VIDEODRIVER": "x11"})
        # Real time: the window must live while the keys are typed.
        self.env.pop("TARNWICKE_UNPACED", None)
        # The test ends the game with Escape once everything is typed; the
        # frame limit only bounds a run whose window never got the key.
        self.env["TARNWICKE_FRAMES"] = "1800"
        # The X libraries (the session bus, the GLX driver) keep blocks past
        # the end that are not the engine's; leaks are checked on the
        # offscreen runs.
        asan = self.env.get("ASAN_OPTIONS", "")
        self.env["ASAN_OPTIONS"] = (asan + ":" if asan else "") + "detect_leaks=0"

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True, timeout=20)

    def test_caption_size_keys_and_buttons(self):
        self.pack(GAME)
        runner = subprocess.Popen([FIXTURE, "-game", "game.win", "-output", "out.txt", "-record", "input.rec"],
                                  cwd=self.dir, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            found = self.xdotool("search", "--sync", "--onlyvisible", "--name", "^" + CAPTION + "$")
            self.assertEqual(found.returncode, 0, found.stderr)
            window = found.stdout.split()[0]
            geometry = self.xdotool("getwindowgeometry", window).stdout
            self.assertIn("Geometry: 200x150", geometry)
            self.xdotool("windowfocus", "--sync", window)
            self.xdotool("mousemove", "--window", window, "50", "40")
            # A press and its release inside one step leave only the release:
            # each is held over a few steps.
            for down, up in ((["keydown", "a"], ["keyup", "a"]), (["keydown", "Shift_R"], ["keyup", "Shift_R"]),
                             (["keydown", "Shift_L"], ["keyup", "Shift_L"]),
                             (["keydown", "Control_R"], ["keyup", "Control_R"]),
                             (["mousedown", "1"], ["mouseup", "1"]), (["mousedown", "3"], ["mouseup", "3"]),
                             (["click", "4"], None), (["click", "5"], None)):
                self.xdotool(*down)
                time.sleep(0.15)
                if up:
                    self.xdotool(*up)
                    time.sleep(0.15)
            self.xdotool("keydown", "Escape")
            time.sleep(0.15)
            self.xdotool("keyup", "Escape")
            _, err = runner.communicate(timeout=90)
        finally:
            if runner.poll() is None:
                runner.kill()
                runner.wait()
        self.assertEqual(runner.returncode, 0, err)

        with open(self.path("input.rec"), "rb") as f:
            data = f.read()
        frames = [data[i:i + FRAME_SIZE] for i in range(0, len(data) - FRAME_SIZE + 1, FRAME_SIZE)]
        self.assertGreater(len(frames), 10)

        def pressed(key):
            return any(f[KEYS_PRESSED + key] for f in frames)

        def released(key):
            return any(f[KEYS_RELEASED + key] for f in frames)

        # Generic modifiers come with their side: 16 Shift, 17 Ctrl; 160/161
        # left and right Shift, 163 right Ctrl.
        for key in (65, 16, 160, 161, 17, 163):
            self.assertTrue(pressed(key), f"key {key} never pressed")
            self.assertTrue(released(key), f"key {key} never released")
        # Left Shift alone goes down as 16 and 160, never as 161. (xdotool
        # itself adds the left key when it holds down a right modifier.)
        self.assertTrue(any(f[KEYS_PRESSED + 160] and f[KEYS_PRESSED + 16] and not f[KEYS_PRESSED + 161]
                            for f in frames))
        self.assertTrue(any(f[MOUSE_PRESSED + 0] for f in frames), "left button")
        self.assertTrue(any(f[MOUSE_PRESSED + 1] for f in frames), "right button")
        self.assertFalse(any(f[MOUSE_PRESSED + 2] for f in frames), "middle button never clicked")
        self.assertTrue(any(f[WHEEL_UP] for f in frames), "wheel up")
        self.assertTrue(any(f[WHEEL_DOWN] for f in frames), "wheel down")
        # The mouse position is in window pixels.
        xs = {struct.unpack_from("<ii", f, 2931) for f in frames}
        self.assertIn((50, 40), xs)
        with open(self.path("out.txt"), encoding="utf-8") as f:
            self.assertIn("press A-key keys 100001", f.read())
