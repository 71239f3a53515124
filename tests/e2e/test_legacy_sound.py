"""Games of the legacy sound system on OpenAL's silent output: a WAV sound
plays through the sound_ built-ins, MP3 music plays through MCI command
strings and through a music sound, and reports its mode and position; CD
audio answers as a machine without a drive; with -noaudio the built-ins stay
quiet. The recorded mix (OpenAL's wave output) carries the sound at its
volume."""

import os
import shutil

from twtest import RunnerTest, quoted, read_mix, sine_wav

HERE = os.path.dirname(os.path.abspath(__file__))
MP3 = os.path.join(HERE, "..", "fixtures", "audio", "sine_mono.mp3")

CREATE = (
    't = 0;'
    ' sound_play(snd_boom);'
    ' show_debug_message("boom playing " + string(sound_isplaying(snd_boom)));'
    " show_debug_message(\"open [\" + MCI_command('open \"tune.mp3\" type mpegvideo alias song') + \"]\");"
    ' MCI_command("play song repeat");'
    ' show_debug_message("cd " + string(cd_present()) + " " + string(cd_number()) + " " + string(cd_playing())'
    '   + " [" + MCI_command("status cdaudio mode") + "]");'
    ' cd_play(1, 2);'
    ' sound_play(42);'
    ' show_debug_message("missing playing " + string(sound_isplaying(42)));'
)
STEP = (
    't += 1;'
    ' if (t == 20) {'
    '   show_debug_message("song " + MCI_command("status song mode") + " moved "'
    '     + string(real(MCI_command("status song position")) > 0)'
    '     + " length " + MCI_command("status song length"));'
    '   sound_play(snd_tune);'
    '   show_debug_message("tune " + string(sound_isplaying(snd_tune)) + " ["'
    '     + MCI_command("status MediaFile1 mode") + "]");'
    '   sound_stop(snd_tune);'
    '   show_debug_message("tune stopped " + string(sound_isplaying(snd_tune)) + " ["'
    '     + MCI_command("status MediaFile1 mode") + "]");'
    '   MCI_command("close song");'
    '   game_end(); }'
)


def game(create, step, options=""):
    return "\n".join([
        'GEN8 version=13 debug=1 name="G" display="legacy" width=64 height=64',
        f"OPTN {options}".strip(),
        'OBJECT "control" depth=0',
        f'  EVENT 0 0 text="{quoted(create)}"',
        f'  EVENT 3 0 text="{quoted(step)}"',
        "END",
        'ROOM "rm0" width=64 height=64 speed=30 code=0',
        "  INSTANCE x=0 y=0 object=0 id=100001 code=0",
        "END",
        'SOUND "snd_boom" kind=0 file="boom.wav" audio=0',
        'SOUND "snd_tune" kind=1 file="tune.mp3" audio=1',
        'AUDIO file="boom.wav"',
        "AUDIO none",
        "EMPTY CODE", "STRG", ""])


class LegacySound(RunnerTest):
    def setUp(self):
        super().setUp()
        self.env["ALSOFT_DRIVERS"] = "null"
        # Paced frames: the music's position moves in real time.
        self.env.pop("TARNWICKE_UNPACED", None)
        self.env["TARNWICKE_FRAMES"] = "200"
        sine_wav(self.path("boom.wav"))
        shutil.copy(MP3, self.path("tune.mp3"))

    def test_a_sound_and_mp3_music_play_and_report_their_mode_and_position(self):
        lines = self.game_output(game(CREATE, STEP)).splitlines()
        self.assertIn("boom playing 1", lines)
        self.assertIn("open []", lines)
        self.assertIn("cd 0 0 0 []", lines)
        self.assertIn("Sound does not exist.", lines)
        self.assertIn("missing playing 0", lines)
        self.assertIn("song playing moved 1 length 1071", lines)
        self.assertIn("tune 1 [playing]", lines)
        self.assertIn("tune stopped 0 []", lines)

    def test_with_noaudio_the_builtins_stay_quiet(self):
        lines = self.game_output(game(CREATE, STEP), ["-noaudio"]).splitlines()
        self.assertIn("boom playing 0", lines)
        self.assertIn("cd 0 0 0 []", lines)
        self.assertIn("song  moved 0 length ", lines)
        self.assertIn("tune 0 []", lines)
        self.assertNotIn("Sound does not exist.", lines)

    def test_the_recorded_mix_carries_the_sound_at_its_volume(self):
        peaks = {}
        for volume in ("1", "0.5"):
            with self.subTest(volume=volume):
                mix = self.record_mix("mix-%s" % volume)
                code = "t = 0; sound_volume(snd_boom, %s); sound_loop(snd_boom); show_debug_message(1);" % volume
                self.game_output(game(code, "t += 1; if (t == 15) game_end();"))
                samples, channels = read_mix(mix)
                self.assertEqual(channels, 1)
                # The volume is reached after one frame's fade: look past it.
                tail = samples[len(samples) // 2:]
                self.assertGreater(len(tail), 2000)
                peaks[volume] = max(abs(s) for s in tail)
        self.assertAlmostEqual(peaks["1"] / 16000, 1.0, delta=0.1)
        self.assertAlmostEqual(peaks["0.5"] / peaks["1"], 0.5, delta=0.05)


if __name__ == "__main__":
    import unittest
    unittest.main()
