"""Games carrying sounds: a WAV and an Ogg Vorbis sound, made here as sine
waves, packed into the SOND and AUDO chunks, load and prepare on OpenAL's
silent output; scripts name them by their file names; without the audio
system or a device the game runs on, saying so once; damaged chunks stop the
load with a clear message."""

import math
import os
import struct
import subprocess
import unittest
import wave

from twtest import RunnerTest, chunk_body, get_u32, one_event_game, put_u32


def sine_wav(path, rate=22050, channels=1, seconds=0.2, freq=440.0):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        frames = bytearray()
        for i in range(int(rate * seconds)):
            frames += struct.pack("<h", int(10000 * math.sin(2 * math.pi * freq * i / rate))) * channels
        w.writeframes(bytes(frames))
    return path


def game(code, sounds):
    """A game of the OpenAL audio system carrying `sounds` (SOUND and AUDIO
    lines) whose one instance runs `code` and ends the game."""
    return one_event_game("audio", code, "word2=1", sounds)


NAMES = 'show_debug_message("goal " + string(goal) + " theme " + string(theme));'


class AudioAssetsTest(RunnerTest):
    def setUp(self):
        super().setUp()
        self.env["ALSOFT_DRIVERS"] = "null"
        sine_wav(self.path("goal.wav"))
        subprocess.run(["oggenc", "-Q", "-s", "1", "-o", self.path("theme.ogg"),
                        sine_wav(self.path("theme-src.wav"), channels=2)], check=True)
        self.sounds = [
            'SOUND "snd_goal" kind=101 file="goal.wav" audio=0',
            'SOUND none',
            'SOUND "snd_theme" kind=103 file="theme.ogg" audio=1',
            'AUDIO file="goal.wav"',
            'AUDIO file="theme.ogg"',
        ]

    def run_game(self, description, args=()):
        out = self.path("out.txt")
        r = self.run_runner(["-game", self.pack(description), "-output", out] + list(args))
        lines = []
        if os.path.exists(out):
            with open(out, encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        return r, lines

    def test_two_sounds_load_and_are_named_by_their_files(self):
        r, lines = self.run_game(game(NAMES, self.sounds))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("goal 0 theme 2", lines)
        log = r.debug_lines()
        for line in ("Audio_Load()", "Audio_WAVs()", "Decoding ogg theme.ogg ..."):
            self.assertIn(line, log)
        problems = [l for l in log if any(w in l for w in ("cannot be read", "OpenAL error", "opening ogg", "ov_read",
                                                            "unexpected decompressed", "audio system is off"))]
        self.assertEqual(problems, [])

    def test_without_the_audio_system_the_game_runs_and_says_so_once(self):
        cases = [
            ("-noaudio", ["-noaudio"], "null", "Audio: -noaudio given, the audio system is off"),
            ("no device", [], "no-such-output", "Audio: no audio device"),
        ]
        for what, args, drivers, said in cases:
            with self.subTest(what):
                self.env["ALSOFT_DRIVERS"] = drivers
                r, lines = self.run_game(game(NAMES, self.sounds), args)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertIn("goal 0 theme 2", lines)
                log = r.debug_lines()
                self.assertEqual(len([l for l in log if l.startswith(said)]), 1, log)
                self.assertEqual([l for l in log if "audio system is off" in l and not l.startswith(said)], [])
                self.assertNotIn("Decoding ogg theme.ogg ...", log, "nothing is prepared")

    def test_an_unreadable_sound_stays_silent_and_the_game_runs(self):
        sounds = ['SOUND "snd_bad" file="bad.wav"', 'AUDIO bytes=52494646ffff0000']
        r, lines = self.run_game(game('show_debug_message("bad " + string(bad));', sounds))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("bad 0", lines)
        self.assertTrue(any(l.startswith("Sound bad.wav cannot be read") for l in r.debug_lines()))

    def test_damaged_chunks_stop_the_load_with_a_clear_message(self):
        with open(self.pack(game(NAMES, self.sounds)), "rb") as f:
            good = f.read()
        sond = chunk_body(good, "SOND")[0]
        audo = chunk_body(good, "AUDO")[0]
        entry1 = get_u32(good, audo + 8)
        cases = [
            ("entry longer than its chunk", entry1, 0x7FFFFFFF,
             "AUDO entry 1: its 2147483647 bytes run past the end of the chunk"),
            ("record outside its chunk", sond + 4, audo, "SOND sound 0: its record at"),
        ]
        for what, at, value, message in cases:
            with self.subTest(what):
                path = self.write("bad.win", put_u32(good, at, value))
                r = self.run_runner(["-game", path])
                self.assertEqual(r.returncode, 1, r.stderr)
                self.assertIn("The game data is damaged: " + message, r.stderr)


if __name__ == "__main__":
    unittest.main()
