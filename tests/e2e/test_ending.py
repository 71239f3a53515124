"""How a run ends, seen as a player would: a fatal error, a screen that
cannot be made and exhausted memory end with status 255 and their message
(never with a crash), a display that cannot be reached says why, and a
script that never ends gives way to a quit request."""

import os
import shutil
import signal
import subprocess
import time

from twtest import RunnerTest

MACHINE = ()
TREE = ("-oldexec",)


def quoted(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def game(events, header=""):
    """One object "main" with these {(type, subtype): text} events, placed once
    in the one room; its game end event says so."""
    out = [f'GEN8 version=13 debug=1 name="P" display="P" last_instance=100100 rooms=0 {header}', "OPTN",
           'OBJECT "main" depth=0']
    events = dict(events)
    events.setdefault((7, 3), 'show_debug_message("game end");')
    for (kind, sub), text in events.items():
        out.append(f'  EVENT {kind} {sub} text="{quoted(text)}"')
    out += ["END", 'ROOM "rm_main" code=0', "  INSTANCE x=0 y=0 object=0 id=100099 code=0", "END",
            "EMPTY CODE", "STRG", ""]
    return "\n".join(out)


class Ending(RunnerTest):
    def setUp(self):
        super().setUp()
        self.out = self.path("out.txt")

    def printed(self):
        if not os.path.exists(self.out):
            return []
        with open(self.out, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()

    def assert_shut_down_in_order(self):
        # The last steps of the shutdown remove the game's temporary
        # directory (made under TMPDIR, the test's directory).
        left = [n for n in os.listdir(self.dir) if n.startswith("tarnwicke-")]
        self.assertEqual(left, [], "the run ended without its ordered shutdown")

    def start(self, args):
        """The runner on game.win in the background, SIGINT at its default
        (a shell that starts jobs in the background ignores it for them)."""
        if os.path.exists(self.out):
            os.remove(self.out)
        # What a run killed by an earlier failure left is no concern of this one.
        for name in os.listdir(self.dir):
            if name.startswith("tarnwicke-"):
                shutil.rmtree(self.path(name))
        proc = subprocess.Popen([os.environ["TW_RUNNER"], "-game", "game.win", "-output", self.out] + list(args),
                                cwd=self.dir, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                text=True, errors="replace",
                                preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        self.addCleanup(self.reap, proc)
        return proc

    @staticmethod
    def reap(proc):
        if proc.poll() is None:
            proc.kill()
        proc.communicate()

    def wait_printed(self, proc, line, seconds=30):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and proc.poll() is None:
            if line in self.printed():
                return
            time.sleep(0.02)
        self.fail(f"{line!r} never printed; status {proc.poll()}")

    def finish(self, proc, seconds=30):
        """(status, stderr) once it has ended; a hang or a crash fails."""
        try:
            _, err = proc.communicate(timeout=seconds)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.communicate()
            self.fail("the runner did not end")
        self.assertGreaterEqual(proc.returncode, 0, f"died with signal {-proc.returncode}\n{err}")
        self.assertNotIn("AddressSanitizer", err)
        self.assertNotIn("runtime error:", err)
        return proc.returncode, err


class FatalErrors(Ending):
    def test_a_fatal_script_error_ends_with_255_and_its_message(self):
        cases = [
            (MACHINE, "x = 10; x.y.z = 3;", "Push :: Execution Error - Variable Get 10.y(1, -1)"),
            (MACHINE, "global.g = 5; y = global.g[3];", "trying to index variable that is not an array"),
            (TREE, "var l; l = 5; y = l[3];", "trying to index variable that is not an array"),
        ]
        for mode, code, message in cases:
            with self.subTest(mode=mode or "machine", code=code):
                self.pack(game({(0, 0): f'show_debug_message("start"); {code} show_debug_message("after");'}))
                if os.path.exists(self.out):
                    os.remove(self.out)
                r = self.run_runner(["-game", "game.win", "-output", self.out] + list(mode))
                self.assertEqual(r.returncode, 255, r.stderr)
                self.assertIn("FATAL ERROR in", r.stderr)
                self.assertIn(message, r.stderr)
                printed = self.printed()
                self.assertEqual(printed[0], "start")
                self.assertIn("ERROR!!! :: " + "#" * 92, printed)
                # Nothing of the game runs after a fatal error.
                self.assertNotIn("after", printed)
                self.assertNotIn("game end", printed)
                self.assert_shut_down_in_order()

    def test_a_screen_that_cannot_be_made_ends_with_255_and_its_message(self):
        # Far wider than any texture a device can hold.
        self.pack(game({}, header="width=100000 height=100"))
        r = self.run_runner(["-game", "game.win"])
        self.assertEqual(r.returncode, 255, r.stderr)
        self.assertRegex(r.stderr, r"Unable to create a screen that is \d+ x 100 - please ensure settings are correct")
        self.assert_shut_down_in_order()

    def test_exhausted_memory_ends_with_255_and_out_of_memory(self):
        if os.environ.get("TW_SANITIZED"):
            self.skipTest("the sanitizers' allocator reports exhaustion itself")
        # A megabyte more each frame, paced, so that the limit set once the
        # game runs is reached in a second or two.
        self.pack(game({
            (0, 0): 's = "x"; repeat (20) s += s; global.n = 0; show_debug_message("ready");',
            (3, 0): "global.keep[global.n] = s + string(global.n); global.n += 1;",
        }))
        self.env.pop("TARNWICKE_UNPACED")
        self.env.pop("TARNWICKE_FRAMES")
        proc = self.start([])
        self.wait_printed(proc, "ready")
        with open(f"/proc/{proc.pid}/status") as f:
            size = next(int(line.split()[1]) for line in f if line.startswith("VmSize:")) * 1024
        import resource
        resource.prlimit(proc.pid, resource.RLIMIT_AS, (size + (64 << 20), resource.RLIM_INFINITY))
        status, err = self.finish(proc, seconds=60)
        self.assertEqual(status, 255, err)
        self.assertIn("Fatal Memory Error: Out of Memory!", err)
        self.assertNotIn("game end", self.printed())
        self.assert_shut_down_in_order()


class Display(Ending):
    def test_a_display_that_cannot_be_reached_names_the_cause(self):
        self.pack(game({}))
        self.env["SDL_VIDEODRIVER"] = "x11"
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        r = self.run_runner(["-game", "game.win"])
        self.assertEqual(r.returncode, 1, r.stderr)
        cause = "(SDL video: x11 not available)"
        self.assertIn("This program requires 16-bit (High Color) or 32-bit (Full Color) mode. Please change this "
                      "in your display properties and run again. " + cause, r.stderr)
        self.assertIn("The graphics device could not be started " + cause, r.stderr)


class QuitRequests(Ending):
    def setUp(self):
        super().setUp()
        # Only the quit request ends these runs.
        self.env.pop("TARNWICKE_FRAMES")

    def test_a_signal_ends_a_script_that_never_ends_as_closing_the_window_does(self):
        # Create runs while the game starts, step inside the main loop.
        for event in ((0, 0), (3, 0)):
            self.pack(game({event: 'show_debug_message("looping"); while (true) {}'}))
            for mode in (MACHINE, TREE):
                for sig in (signal.SIGTERM, signal.SIGINT):
                    with self.subTest(event=event, mode=mode or "machine", signal=sig.name):
                        proc = self.start(mode)
                        self.wait_printed(proc, "looping")
                        proc.send_signal(sig)
                        status, err = self.finish(proc)
                        self.assertEqual(status, 0, err)
                        self.assertEqual(self.printed(), ["looping", "game end"])
                        self.assert_shut_down_in_order()

    def test_the_game_end_event_runs_whole_after_a_quit(self):
        # Long loops in the end events are not cut short by the quit taken.
        self.pack(game({
            (3, 0): 'show_debug_message("looping"); while (true) {}',
            (7, 3): 'var i, n; n = 0; for (i = 0; i < 100000; i += 1) n += 1; show_debug_message("counted " + string(n));',
        }))
        for mode in (MACHINE, TREE):
            with self.subTest(mode=mode or "machine"):
                proc = self.start(mode)
                self.wait_printed(proc, "looping")
                proc.send_signal(signal.SIGTERM)
                status, err = self.finish(proc)
                self.assertEqual(status, 0, err)
                self.assertEqual(self.printed(), ["looping", "counted 100000"])
