"""The keyboard and mouse built-ins on the real runner, headless. A recorded
input file drives a game whose step event prints what the built-ins read; a
game that presses its own keys shows the key map at work, and the recording
of that run, played back, shows the same keys again. The record files are
written here from the record layout, independent of the engine's encoder."""

import os
import signal
import struct
import subprocess
import time

from twtest import RunnerTest

FRAME_SIZE = 2939
KEY_A, KEY_B = 65, 66


def quoted(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def game(create, step=""):
    """One instance of one object with these create and step events."""
    events = [f'  EVENT 0 0 text="{quoted(create)}"']
    if step:
        events.append(f'  EVENT 3 0 text="{quoted(step)}"')
    return "\n".join([
        'GEN8 version=13 debug=1 name="In" display="In" last_instance=100010 rooms=0',
        "OPTN",
        'OBJECT "probe" depth=0',
        *events,
        "END",
        'ROOM "room0" speed=30',
        "  INSTANCE x=0 y=0 object=0 id=100001 code=0",
        "END",
        "EMPTY CODE",
        "STRG",
        "",
    ])


def frame(down=(), pressed=(), released=(), text="", last_key=0, current_key=0,
          mouse_down=(), mouse_pressed=(), mouse_released=()):
    """One step record: keys, device 0's buttons and the keyboard string as
    UTF-16 units; everything else empty."""
    data = bytearray(FRAME_SIZE)
    units = text.encode("utf-16-le")
    data[2:2 + len(units)] = units
    struct.pack_into("<ii", data, 2052, last_key, current_key)
    for table, keys in ((2060, down), (2316, released), (2572, pressed)):
        for k in keys:
            data[table + k] = 1
    for table, buttons in ((2868, mouse_down), (2883, mouse_released), (2898, mouse_pressed)):
        for b in buttons:
            data[table + b - 1] = 1
    return bytes(data)


# Prints one line a step: A held, pressed, released; no key; any key; the
# left button held, pressed, released; any button; the typed text.
PROBE = """
var s;
s = string(keyboard_check(ord("A"))) + string(keyboard_check_pressed(ord("A")))
  + string(keyboard_check_released(ord("A"))) + " " + string(keyboard_check(vk_nokey))
  + string(keyboard_check(vk_anykey)) + " " + string(mouse_check_button(mb_left))
  + string(mouse_check_button_pressed(mb_left)) + string(mouse_check_button_released(mb_left))
  + string(mouse_check_button(mb_any)) + " [" + keyboard_string + "]";
show_debug_message(s);
"""


class InputBuiltins(RunnerTest):
    def output(self, args, frames):
        if os.path.exists(self.path("out.txt")):
            os.remove(self.path("out.txt"))  # the console appends
        self.env["TARNWICKE_FRAMES"] = str(frames)
        r = self.run_runner(["-game", "game.win", "-output", "out.txt"] + args)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(self.path("out.txt"), encoding="utf-8") as f:
            return f.read().splitlines()

    def test_playback_drives_keys_buttons_and_typed_text(self):
        self.pack(game("", PROBE + 'if (keyboard_string == "clear") { io_clear(); ' + PROBE + "}"))
        grin = "\U0001F600"
        self.write("input.rec", b"".join([
            frame(),
            frame(down=[KEY_A], pressed=[KEY_A], text="h", last_key=KEY_A, current_key=KEY_A,
                  mouse_down=[1], mouse_pressed=[1]),
            frame(down=[KEY_A], text="h\u00e9" + grin, last_key=KEY_A, current_key=KEY_A, mouse_down=[1]),
            frame(released=[KEY_A], text="h\u00e9", last_key=KEY_A, mouse_released=[1]),
            frame(down=[KEY_B], pressed=[KEY_B], text="clear", mouse_down=[2], mouse_pressed=[2]),
            frame(down=[KEY_B], text="clear"),
        ]))
        lines = self.output(["-playback", "input.rec"], 7)
        self.assertEqual(lines, [
            "000 10 0000 []",
            "110 01 1101 [h]",
            "100 01 1001 [h\u00e9" + grin + "]",
            "001 10 0010 [h\u00e9]",
            "000 01 0001 [clear]",
            "000 10 0000 []",           # after io_clear in the same step
            "000 01 0000 [clear]",      # the next record holds B and the text again
            "000 10 0000 []",
            "000 10 0000 []",           # past the end nothing is read: io_clear's state stays
        ])

    def test_key_map_remaps_the_keys_the_game_presses_and_the_recording_keeps_them(self):
        show = """
show_debug_message(string(global.t) + ": " + string(keyboard_check(ord("A"))) + string(keyboard_check(ord("B")))
  + string(keyboard_check_pressed(ord("B"))) + string(keyboard_check_released(ord("B")))
  + " last " + string(keyboard_lastkey) + " map " + string(keyboard_get_map(ord("A"))));
"""
        press = """
global.t += 1;
if (global.t == 1) keyboard_key_press(ord("A"));
if (global.t == 3) keyboard_key_release(ord("A"));
"""
        self.pack(game('global.t = 0; keyboard_set_map(ord("A"), ord("B"));', press + show))
        lines = self.output(["-record", "live.rec"], 5)
        self.assertEqual(lines, [
            "1: 0000 last 0 map 66",
            "2: 0110 last 66 map 66",
            "3: 0100 last 66 map 66",
            "4: 0001 last 66 map 66",
            "5: 0000 last 66 map 66",
        ])
        with open(self.path("live.rec"), "rb") as f:
            recording = f.read()
        self.assertEqual(len(recording), 5 * FRAME_SIZE)

        # The recording drives a game that presses nothing and maps nothing.
        self.pack(game("global.t = 0;", "global.t += 1;" + show))
        lines = self.output(["-playback", "live.rec"], 5)
        self.assertEqual(lines, [
            "1: 0000 last 0 map 65",
            "2: 0110 last 66 map 65",
            "3: 0100 last 66 map 65",
            "4: 0001 last 66 map 65",
            "5: 0000 last 66 map 65",
        ])

    def test_unset_map_and_a_key_mapped_off_the_table(self):
        step = """
global.t += 1;
if (global.t == 1) { keyboard_set_map(ord("A"), -1); keyboard_key_press(ord("A")); }
if (global.t == 2) { keyboard_key_release(ord("A")); keyboard_unset_map(); }
if (global.t == 3) keyboard_key_press(ord("A"));
show_debug_message(string(global.t) + ": " + string(keyboard_check(vk_anykey)) + string(keyboard_check(ord("A"))));
"""
        self.pack(game("global.t = 0;", step))
        self.assertEqual(self.output([], 4), ["1: 00", "2: 00", "3: 00", "4: 11"])

    def test_keyboard_wait_returns_after_the_next_key(self):
        self.pack(game('keyboard_key_press(ord("K")); keyboard_wait(); '
                       'show_debug_message("woke " + string(keyboard_lastkey)); game_end();'))
        self.assertEqual(self.output([], 3), ["woke 0"])

    def test_waits_end_when_the_window_closes(self):
        # A quit request while the game waits for input ends the wait, and
        # the game ends normally; before, the runner hung for good.
        for wait in ("keyboard_wait", "mouse_wait"):
            with self.subTest(wait=wait):
                self.pack(game(f'show_debug_message("waiting"); {wait}(); show_debug_message("woke");'))
                out = self.path("out.txt")
                if os.path.exists(out):
                    os.remove(out)
                env = dict(self.env)
                env.pop("TARNWICKE_UNPACED", None)
                env.pop("TARNWICKE_FRAMES", None)
                proc = subprocess.Popen([os.environ["TW_RUNNER"], "-game", "game.win", "-output", out],
                                        cwd=self.dir, env=env, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
                try:
                    deadline = time.monotonic() + 30
                    while time.monotonic() < deadline and "waiting" not in self.read(out):
                        time.sleep(0.05)
                    self.assertIn("waiting", self.read(out))
                    proc.send_signal(signal.SIGTERM)  # the system's quit request
                    _, stderr = proc.communicate(timeout=30)
                finally:
                    if proc.poll() is None:
                        proc.kill()
                        proc.communicate()
                self.assertEqual(proc.returncode, 0, stderr)
                self.assertEqual(self.read(out).splitlines(), ["waiting", "woke"])

    def read(self, path):
        try:
            with open(path, encoding="utf-8") as f:
                return f.read()
        except FileNotFoundError:
            return ""
