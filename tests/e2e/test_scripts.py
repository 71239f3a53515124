"""The set-up scripts a new user runs, with cmake, apt-get and dpkg-query
replaced by stand-ins that record what they were asked to do."""

import os
import shutil
import subprocess
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = os.path.join(HERE, "..", "..", "scripts")


class SetUpScripts(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tw-scripts-")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.repo = os.path.join(self.dir, "repo")
        self.bin = os.path.join(self.dir, "bin")
        self.log = os.path.join(self.dir, "calls.txt")
        os.makedirs(os.path.join(self.repo, "scripts"))
        os.makedirs(self.bin)
        for name in ("run.sh", "build.sh", "test.sh", "install-deps.sh"):
            shutil.copy(os.path.join(SCRIPTS, name), os.path.join(self.repo, "scripts", name))
        self.env = dict(os.environ, PATH=self.bin + os.pathsep + os.environ["PATH"])
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("TW_WERROR", None)

    def stand_in(self, path, body):
        with open(path, "w") as f:
            f.write("#!/bin/sh\n" + body + "\n")
        os.chmod(path, 0o755)

    def recorder(self, name):
        self.stand_in(os.path.join(self.bin, name), f'echo "{name} $*" >> "{self.log}"')

    def calls(self):
        with open(self.log) as f:
            return f.read().splitlines()

    def bash(self, script, *args):
        return subprocess.run(["bash", os.path.join(self.repo, "scripts", script), *args], env=self.env,
                              capture_output=True, text=True, timeout=60)

    def test_play_builds_only_the_game(self):
        self.recorder("cmake")
        self.stand_in(os.path.join(self.repo, "scripts", "install-deps.sh"), "exit 0")
        game = os.path.join(self.repo, "build", "apps", "tarnwicke")
        os.makedirs(os.path.dirname(game))
        self.stand_in(game, 'echo "played $* on $SDL_VIDEODRIVER"')
        r = self.bash("run.sh", "-inawindow")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout.strip(), "played -inawindow on offscreen")
        builds = [c for c in self.calls() if c.startswith("cmake --build")]
        self.assertEqual(builds, ["cmake --build build --target tarnwicke"])

    def test_build_without_targets_builds_everything(self):
        self.recorder("cmake")
        r = self.bash("build.sh")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual([c for c in self.calls() if c.startswith("cmake --build")], ["cmake --build build"])

    def test_the_suite_and_only_the_suite_makes_warnings_errors(self):
        cases = [("test.sh", {"build": "ON", "build-san": "ON"}), ("build.sh", {"build": "OFF"})]
        for script, expected in cases:
            with self.subTest(script=script):
                if os.path.exists(self.log):
                    os.remove(self.log)
                self.recorder("cmake")
                self.recorder("ctest")
                self.stand_in(os.path.join(self.repo, "scripts", "install-deps.sh"), "exit 0")
                r = self.bash(script)
                self.assertEqual(r.returncode, 0, r.stderr)
                werror = {}
                for call in self.calls():
                    words = call.split()
                    if words[:2] == ["cmake", "-S"]:
                        tree = words[words.index("-B") + 1]
                        flags = [w for w in words if w.startswith("-DTW_WERROR=")]
                        werror[tree] = flags[-1].split("=", 1)[1] if flags else None
                self.assertEqual(werror, expected, self.calls())

    def test_install_asks_for_zenity_which_shows_the_message_boxes(self):
        self.stand_in(os.path.join(self.bin, "dpkg-query"), "exit 1")  # nothing installed
        self.stand_in(os.path.join(self.bin, "id"), "echo 0")
        self.recorder("apt-get")
        r = self.bash("install-deps.sh")
        self.assertEqual(r.returncode, 0, r.stderr)
        install = [c.split() for c in self.calls() if c.startswith("apt-get install")]
        self.assertEqual(len(install), 1, self.calls())
        for package in ("zenity", "libsdl2-dev", "cmake"):
            self.assertIn(package, install[0])


if __name__ == "__main__":
    unittest.main()
