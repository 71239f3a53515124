"""Start-up and shutdown of the runner on small fixture games."""

import os
import shutil
import stat

from twtest import EMBEDDED, RUNNER, RunnerTest, read_chunks

BASIC = """
GEN8 version=13 debug=1 name="Basic" config="Default" display="Basic Game" width=320 height=240 rooms=0
OPTN
ROOM "room0" code=0
END
EMPTY DAFL
EMPTY CODE
STRG
"""

GROUPS = ("HighScore..Game..Math..Graphic..Action..File..Resource..Interaction..3D.."
          "Particle..Misc..DS..Sound..DPlay..Physics..Gamepad..Buffers..Networking..Shaders..Vesk..Fini")


def expected_startup(path, chunks):
    """The start-up log of a game with no options.ini and no debug file."""
    folder = os.path.dirname(path)
    lines = [
        "RunnerLoadGame: " + os.path.basename(path),
        "RunnerLoadGame() - " + path,
        "#" * 73,
        "####!!!!$$$$$$ pwd - %s/" % folder,
        "#" * 73,
        "Checking if INIFile %s/options.ini Exists" % folder,
        "!!!!No INI File %s/options.ini" % folder,
        "Reading File " + path,
        "Loaded File " + path,
        "IFF wad found",
        "Get Resolution",
        "Get Header Information",
        "InitTWSFunctions",
        GROUPS,
        "ID_STRG",
        "Create Window",
        "AdjustWindowRectEx",
        "RegisterClassEx",
        "CreateWindowEx",
        "Init Graphics",
        "GR_D3D_Init()",
        "Create D3D9 interface",
        "Enumerate Adapters",
        "Selected Resolution: 320x240",
        "Get Current Desktop Display Mode",
        "Prepare to create device",
        "Creating D3D device - ARGB=32bit, D24S8, SwapEffect=Copy, Hardware vertex processing",
        "Creating screen render target",
        "Get Device Caps",
        "Graphics initialisation end...",
        "Background_InitTextures()",
        "Sprite_InitTextures()",
        "Font_InitTextures()",
        "IO Init",
        "Process Messages",
        "Start Frame",
        "Part Create Textures",
        "Debug Init Remote Interface",
        "VM Init",
        "Create Score Form",
        "Create Load Form",
        "Create Error Form",
        "Do The Work",
        "LoadGameData()",
        "initialise everything!",
    ]
    lines += ["Process Chunk: %s   %d" % (tag, length) for tag, _, _, length in chunks]
    lines += [
        "PrepareGame()",
        "Extension_Prepare() ",
        "Code_Constant_Prepare() ",
        "Script_Prepare() ",
        "TimeLine_Prepare() ",
        "Object_Prepare() ",
        "Preparing 0 objects:",
        "Room_Prepare() ",
        "Sound_Prepare() ",
        "InitGraphics() ",
        "Finished PrepareGame() ",
        "Run_Start",
        "StartGame()",
        "StartGame() - DONE",
        None,  # the memory in use
        "**********************************.",
        "Entering main loop.",
        "**********************************.",
    ]
    return lines


def matches(lines, expected):
    """Lines equal to the expected ones, where None stands for any line."""
    return len(lines) == len(expected) and all(e is None or e == l for l, e in zip(lines, expected))


class StartUp(RunnerTest):
    def test_start_up_lines_in_order_then_clean_exit(self):
        game = self.pack(BASIC)
        with open(game, "rb") as f:
            chunks = read_chunks(f.read())
        # Empty chunks are skipped by the header pass: no "Code_Load()" line.
        r = self.run_runner(["-game", "game.win"])
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.debug_lines()
        expected = expected_startup(game, chunks)
        self.assertTrue(matches(lines, expected), "\n".join(lines))
        self.assertRegex(lines[expected.index(None)], r"^Total memory used = \d+\(0x[0-9a-f]{8}\) bytes$")
        self.assertEqual(r.stderr, "")

    def test_debug_output_file_receives_exactly_the_debug_console(self):
        self.pack(BASIC)
        r = self.run_runner(["-game", "game.win", "-output", "out.txt"])
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(r.debug_log, encoding="utf-8") as f:
            self.assertEqual(f.read(), r.stdout)
        # Nothing was written to the output console, so no file was made.
        self.assertFalse(os.path.exists(self.path("out.txt")))

    def test_output_files_append_across_runs(self):
        self.pack(BASIC)
        log = self.path("log.txt")
        for _ in range(2):
            r = self.run_runner(["-game", "game.win", "-debugoutput", log], debug_log=False)
            self.assertEqual(r.returncode, 0, r.stderr)
        with open(log, encoding="utf-8") as f:
            lines = f.read().splitlines()
        self.assertEqual(lines.count("Run_Start"), 2)

    def test_debug_information_file_beside_the_game_is_walked(self):
        self.pack(BASIC)
        self.pack('STRINGS "a"\nRAW DBGI 00000000\n', name="game.qxdebug")
        r = self.run_runner(["-game", "game.win"])
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.debug_lines()
        self.assertIn("Process Chunk: DBGI   4", lines)
        self.assertLess(lines.index("Process Chunk: DBGI   4"), lines.index("Reading File " + self.path("game.win")))

    def test_data_win_beside_the_executable_wins_over_game(self):
        bindir = self.path("bin")
        os.makedirs(bindir)
        runner = os.path.join(bindir, "tarnwicke-runner")
        shutil.copy(RUNNER, runner)
        self.pack(BASIC.replace('"Basic"', '"Beside"'), name="bin/data.win")
        self.pack(BASIC, name="other.win")
        r = self.run_runner(["-game", "other.win"], program=runner)
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.debug_lines()
        self.assertEqual(lines[0], "RunnerLoadGame: " + os.path.join(bindir, "data.win"))
        self.assertIn("Loaded File " + os.path.join(bindir, "data.win"), lines)
        self.assertNotIn("other.win", "\n".join(lines))

    def test_at_files_unpack_into_directories_but_never_climb_out(self):
        self.pack(BASIC)
        work = self.path("work")
        os.makedirs(work)
        for name in ("a@b@c.txt", "..@escape.txt", "x@..@..@escape2.txt"):
            with open(os.path.join(work, name), "w") as f:
                f.write(name)
        locked = os.path.join(work, "ro@d.txt")
        with open(locked, "w") as f:
            f.write("ro")
        os.chmod(locked, stat.S_IRUSR)
        r = self.run_runner(["-game", self.path("game.win")], cwd=work)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(os.path.join(work, "a", "b", "c.txt")) as f:
            self.assertEqual(f.read(), "a@b@c.txt")
        self.assertTrue(os.path.exists(os.path.join(work, "..@escape.txt")))
        self.assertTrue(os.path.exists(os.path.join(work, "x@..@..@escape2.txt")))
        self.assertTrue(os.path.exists(locked))
        self.assertFalse(os.path.exists(self.path("escape.txt")))
        self.assertFalse(os.path.exists(self.path("escape2.txt")))


class Embedded(RunnerTest):
    def test_embedded_build_plays_its_own_container(self):
        if not EMBEDDED:
            self.skipTest("TW_EMBEDDED not set")
        self.pack(BASIC)
        r = self.run_runner(["-game", "game.win"], program=EMBEDDED)
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.debug_lines()
        self.assertIn("Loaded File " + os.path.realpath(EMBEDDED), lines)
        self.assertIn("Run_Start", lines)
        self.assertNotIn("RunnerLoadGame() - " + self.path("game.win"), lines)
