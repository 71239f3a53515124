"""Games of the OpenAL audio system driving it through the audio_ built-ins.
The mix OpenAL records (its wave output) carries each sound at its frequency
and level: gains, fades, loops, stops, pitch, an emitter's distance, the
listener's orientation and the channel limit. The edge cases of the
arguments are seen on the output console, and with -noaudio every built-in
answers as a machine without a device."""

import math
import os
import shutil
import subprocess

from twtest import RunnerTest, quoted, read_mix, sine_wav

RATE = 22050
# Tones on whole bins of a WINDOW-sample window, each a whole number of
# cycles in a sound of LENGTH samples, so loops join without a seam.
WINDOW = 1050  # ~48 ms
LENGTH = 5250  # ~238 ms
MP3 = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures", "audio", "sine_mono.mp3")
LOW, MID, HIGH, DOUBLE = 441.0, 735.0, 1050.0, 882.0
AMPLITUDE = 8000
TOLERANCE = 0.12


def game(create, step="", sounds=(), options="word2=1"):
    """One instance at room speed 30: `create` in its create event, `step`
    each step (with `t` counting steps from 1)."""
    return "\n".join([
        'GEN8 version=13 debug=1 name="G" display="audio" width=64 height=64',
        f"OPTN {options}".strip(),
        'OBJECT "control" depth=0',
        f'  EVENT 0 0 text="{quoted("t = 0; " + create)}"',
        f'  EVENT 3 0 text="{quoted("t += 1; " + step)}"',
        "END",
        'ROOM "rm0" width=64 height=64 speed=30 code=0',
        "  INSTANCE x=0 y=0 object=0 id=100001 code=0",
        "END",
        *sounds,
        "EMPTY CODE", "STRG", ""])


def level(samples, start, freq, channels=1, channel=0):
    """The amplitude of the tone `freq` in the window at sample `start`."""
    re = im = 0.0
    w = 2 * math.pi * freq / RATE
    for i in range(WINDOW):
        s = samples[(start + i) * channels + channel]
        re += s * math.cos(w * i)
        im -= s * math.sin(w * i)
    return 2 * math.hypot(re, im) / WINDOW


def arrival(samples, first, end, freq, target, below=False):
    """The first window start from `first` on where the tone is within 10%
    of `target` (or, with `below`, under it); `end` when none is."""
    for i in range(first, end - WINDOW, WINDOW // 4):
        got = level(samples, i, freq)
        if (got < target) if below else abs(got / target - 1) < 0.1:
            return i
    return end


def segments(samples, channels=1, quiet=300, gap=4):
    """The (first, end) sample frames of each stretch of sound, parted by at
    least `gap` silent 10 ms blocks."""
    block = RATE // 100
    frames = len(samples) // channels
    loud = []
    for b in range(frames // block):
        chunk = samples[b * block * channels:(b + 1) * block * channels]
        loud.append(max(abs(s) for s in chunk) > quiet)
    found, start, silent = [], None, 0
    for b, on in enumerate(loud + [False] * gap):
        if on:
            if start is None:
                start = b
            silent = 0
        elif start is not None:
            silent += 1
            if silent == gap:
                found.append((start * block, (b - gap + 1) * block))
                start, silent = None, 0
    return found


class AudioBuiltins(RunnerTest):
    def setUp(self):
        super().setUp()
        self.env["ALSOFT_DRIVERS"] = "null"
        self.sounds = []
        for i, (name, freq) in enumerate((("snd_low", LOW), ("snd_mid", MID), ("snd_high", HIGH))):
            sine_wav(self.path(name + ".wav"), freq=freq, amplitude=AMPLITUDE, frames=LENGTH)
            self.sounds.append(f'SOUND "{name}" kind=101 file="{name}.wav" audio={i}')
        self.sounds += ['SOUND none']
        self.sounds += [f'AUDIO file="{n}.wav"' for n in ("snd_low", "snd_mid", "snd_high")]
        self.sounds += ['AUDIO none']

    def recorded(self, name, create, step, channels="mono"):
        """Runs the game in real time while OpenAL records it; the samples,
        the channel count and the console lines."""
        mix = self.record_mix(name, channels=channels, rate=RATE)
        self.env.pop("TARNWICKE_UNPACED", None)
        self.env["TARNWICKE_FRAMES"] = "400"
        _, lines = self.play_output(game(create, step, self.sounds))
        samples, count = read_mix(mix)
        return samples, count, lines

    def near(self, got, want, what):
        self.assertAlmostEqual(got / want, 1.0, delta=TOLERANCE, msg="%s: %.0f, want %.0f" % (what, got, want))

    def test_the_mix_carries_each_sound_at_its_level_and_frequency(self):
        # Five stretches of sound parted by silence:
        # 1. a looping low tone past its length, then at gain 0.5, then
        #    stopped in the frame a mid tone starts, which plays out once;
        # 2. a low tone fading to a quarter over 300 ms;
        # 3. a low tone at pitch 2;
        # 4. a low tone on an emitter at 100 units, then at 300;
        # 5. three channels (two voices): low at priority 5, mid at 1, then
        #    high at 3 takes mid's voice and a fourth at 0.5 gets none.
        step = (
            'if (t == 1) a = audio_play_sound(snd_low, 1, true);'
            ' if (t == 12) audio_sound_gain(a, 0.5, 0);'
            ' if (t == 18) { audio_stop_sound(a); audio_play_sound(snd_mid, 1, false);'
            '   show_debug_message("after stop " + string(audio_is_playing(a))); }'
            ' if (t == 32) { b = audio_play_sound(snd_low, 1, true); audio_sound_gain(b, 0.25, 300); }'
            ' if (t == 52) audio_stop_sound(b);'
            ' if (t == 58) { c = audio_play_sound(snd_low, 1, true); audio_sound_pitch(c, 2); }'
            ' if (t == 66) audio_stop_sound(c);'
            ' if (t == 72) { e = audio_emitter_create(); audio_emitter_falloff(e, 100, 100000, 1);'
            '   audio_emitter_position(e, 100, 0, 0); audio_play_sound_on(e, snd_low, true, 1); }'
            ' if (t == 80) audio_emitter_position(e, 300, 0, 0);'
            ' if (t == 88) audio_emitter_free(e);'
            ' if (t == 94) { audio_channel_num(3);'
            '   p1 = audio_play_sound(snd_low, 5, true); p2 = audio_play_sound(snd_mid, 1, true);'
            '   p3 = audio_play_sound(snd_high, 3, true); p4 = audio_play_sound(snd_mid, 0.5, true);'
            '   show_debug_message("voices " + string(p3 > p1) + " " + string(audio_is_playing(p2))'
            '     + " " + string(p4)); }'
            ' if (t == 102) { audio_stop_all(); game_end(); }'
        )
        samples, channels, lines = self.recorded("mix", "", step)
        self.assertEqual(channels, 1)
        self.assertIn("after stop 0", lines)
        self.assertIn("voices 1 0 -1", lines)
        found = segments(samples)
        self.assertEqual(len(found), 5, found)
        frame = RATE // 30
        (a0, a1), (b0, b1), (c0, c1), (d0, d1), (e0, e1) = found

        # 1. The full level at the start, still there past the sound's
        # length, half of it later; then the mid tone alone once it started.
        self.near(level(samples, a0 + WINDOW, LOW), AMPLITUDE, "low tone")
        self.near(level(samples, a0 + LENGTH + WINDOW, LOW), AMPLITUDE, "the loop past its length")
        mid_start = next(i for i in range(a0, a1 - WINDOW, WINDOW // 4) if level(samples, i, MID) > AMPLITUDE / 2)
        self.assertGreater(mid_start - a0, LENGTH * 3 // 2, "the loop ended early")
        # The gain holds from its frame to the stop, six frames later; a
        # loaded machine may run those frames late or in a burst, so half the
        # level is looked for as a stretch before the mid tone, not at one spot.
        half = [abs(level(samples, i, LOW) / (AMPLITUDE / 2) - 1) <= TOLERANCE
                for i in range(a0 + LENGTH, mid_start - WINDOW, WINDOW // 4)]
        self.assertTrue(any(x and y for x, y in zip(half, half[1:])), "gain 0.5: no stretch at half the level")
        after = mid_start + WINDOW // 2 + frame
        self.assertLess(level(samples, after, LOW), AMPLITUDE * 0.03, "the stopped tone still sounds")
        self.near(level(samples, after, MID), AMPLITUDE, "mid tone")
        # Not looped: the mid tone plays its length once.
        self.assertAlmostEqual((a1 - mid_start) / LENGTH, 1.0, delta=0.3)

        # 2. Full at first, a quarter after about 300 ms (slack for the
        # frames of a loaded machine), and held there.
        self.assertGreater(level(samples, b0, LOW), AMPLITUDE * 0.75)
        reached = (arrival(samples, b0, b1, LOW, AMPLITUDE / 4) - b0) * 1000 // RATE
        self.assertGreater(reached, 200, "the fade came too soon")
        self.assertLess(reached, 700, "the fade came too late")
        self.near(level(samples, b1 - WINDOW - frame, LOW), AMPLITUDE / 4, "faded, held")

        # 3. Pitch 2: the tone an octave up, nothing left at its own.
        middle = (c0 + c1) // 2 - WINDOW // 2
        self.near(level(samples, middle, DOUBLE), AMPLITUDE, "pitch 2")
        self.assertLess(level(samples, middle, LOW), AMPLITUDE * 0.05)

        # 4. Inverse distance with reference 100: a third at 300 units.
        near_level = level(samples, d0 + WINDOW, LOW)
        far_level = level(samples, d1 - WINDOW - frame, LOW)
        self.assertGreater(near_level, AMPLITUDE * 0.3)
        self.assertAlmostEqual(far_level / near_level, 1 / 3, delta=0.04)

        # 5. Low and high are heard; mid lost its voice.
        middle = (e0 + e1) // 2 - WINDOW // 2
        self.near(level(samples, middle, LOW), AMPLITUDE, "priority 5")
        self.near(level(samples, middle, HIGH), AMPLITUDE, "priority 3")
        self.assertLess(level(samples, middle, MID), AMPLITUDE * 0.03, "the lowest priority still sounds")

    def test_left_and_right_follow_the_listeners_orientation(self):
        # A tone at x = 100: the listener first looks along +z (+x is on
        # its left), then along -z (+x on its right).
        step = (
            'if (t == 1) a = audio_play_sound_at(snd_low, 100, 0, 0, 100, 100000, 1, true, 1);'
            ' if (t == 10) audio_stop_sound(a);'
            ' if (t == 16) { audio_listener_orientation(0, 0, -1, 0, 1, 0);'
            '   a = audio_play_sound_at(snd_low, 100, 0, 0, 100, 100000, 1, true, 1); }'
            ' if (t == 25) { audio_stop_all(); game_end(); }'
        )
        samples, channels, _ = self.recorded("stereo", "", step, channels="stereo")
        self.assertEqual(channels, 2)
        found = segments(samples, channels=2)
        self.assertEqual(len(found), 2, found)
        sides = []
        for first, end in found:
            middle = (first + end) // 2 - WINDOW // 2
            sides.append((level(samples, middle, LOW, 2, 0), level(samples, middle, LOW, 2, 1)))
        (left1, right1), (left2, right2) = sides
        self.assertGreater(left1, 2 * right1, sides)
        self.assertGreater(right2, 2 * left2, sides)

    def run_lines(self, create, args=()):
        """The output console's lines and the debug console's."""
        r, lines = self.play_output(game(create + " game_end();", "", self.sounds), args)
        return lines, r.debug_lines()

    def test_argument_edge_cases(self):
        # Each case prints "> " and its result; a reported error stands on
        # the output console, a logged one on the debug console. (A call
        # with two arguments does not compile: the count is checked there.)
        cases = [
            ("a string priority", 'r = audio_play_sound(snd_low, "high", 0);',
             "r", "-1", "Illegal argument type"),
            ("a missing sound", 'r = audio_play_sound(3, 1, 0);',
             "r", "-1", "Error: no sound exists for soundid 3"),
            ("sound index 0 plays", 'r = audio_play_sound(snd_low, 1, 0) >= 200001;',
             "r", "1", None),
            ("the length of a sound and of a voice",
             'v = audio_play_sound(snd_mid, 1, 0);'
             ' r = string(round(audio_sound_length(snd_mid) * 1000)) + " " + string(round(audio_sound_length(v) * 1000))'
             ' + " " + string(audio_sound_length(3));',
             "r", "238 238 -1", None),
            ("types and existence",
             'r = string(audio_get_type(snd_low)) + string(audio_get_type(3)) + string(audio_exists(snd_low))'
             ' + string(audio_exists(3)) + string(audio_system());',
             "r", "0-1101", None),
        ]
        for what, code, var, want, error in cases:
            with self.subTest(what):
                lines, debug = self.run_lines(code + f' show_debug_message("> " + string({var}));')
                self.assertIn("> " + want, lines)
                if error:
                    self.assertIn(error, "\n".join(lines + debug))

    def test_loop_arguments_round_half_to_even(self):
        # Music with loop 0.6 still plays past its length; a sound with 0.5
        # (rounded to 0) has ended.
        self.env.pop("TARNWICKE_UNPACED", None)
        self.env["TARNWICKE_FRAMES"] = "100"
        step = ('if (t == 1) { audio_play_music(snd_low, 0.6); s = audio_play_sound(snd_mid, 1, 0.5); }'
                ' if (t == 20) { show_debug_message("> " + string(audio_music_is_playing())'
                ' + string(audio_is_playing(s))); game_end(); }')
        _, lines = self.play_output(game("", step, self.sounds))
        self.assertIn("> 10", lines)

    def test_music_pause_and_resume_drive_the_legacy_music(self):
        # In a game of the legacy system the two act on its MP3 music.
        shutil.copy(MP3, self.path("tune.mp3"))
        sounds = ['SOUND "snd_tune" kind=1 file="tune.mp3" audio=0', "AUDIO none"]
        mode = 'MCI_command("status MediaFile1 mode")'
        code = (f'sound_play(snd_tune); audio_pause_music(); show_debug_message("> " + {mode});'
                f' audio_resume_music(); show_debug_message("> " + {mode});')
        for args, want in (([], ["> paused", "> playing"]), (["-noaudio"], ["> ", "> "])):
            with self.subTest(args=args):
                _, lines = self.play_output(game(code + " game_end();", "", sounds, options=""), args)
                self.assertEqual([l for l in lines if l.startswith(">")], want)

    def test_streamed_ogg_sounds_play_from_memory_and_from_their_file(self):
        # The same one-second tone twice: kept compressed in the data file and
        # streamed from a file beside the game, each decoded by the workers.
        src = sine_wav(self.path("tone.wav"), freq=LOW, amplitude=AMPLITUDE, frames=LENGTH * 4)
        subprocess.run(["oggenc", "-Q", "-q", "6", "-o", self.path("snd_mem.ogg"), src], check=True)
        shutil.copy(self.path("snd_mem.ogg"), self.path("snd_file.ogg"))
        # Sounds are named by their files.
        self.sounds = ['SOUND "snd_mem" kind=102 file="snd_mem.ogg" audio=0',
                       'SOUND "snd_file" kind=100 file="snd_file.ogg" audio=-1',
                       'AUDIO file="snd_mem.ogg"']
        step = ('if (t == 1) { a = audio_play_sound(snd_mem, 1, true);'
                '   show_debug_message("types " + string(audio_get_type(snd_mem)) + " "'
                '     + string(audio_get_type(snd_file)) + " " + string(audio_sound_length(snd_file))); }'
                ' if (t == 45) audio_stop_sound(a);'
                ' if (t == 52) b = audio_play_sound(snd_file, 1, false);'
                ' if (t == 52 + 45) { show_debug_message("done " + string(audio_is_playing(b))); game_end(); }')
        samples, _, lines = self.recorded("streamed", "", step)
        self.assertIn("types 0 1 0", lines)
        self.assertIn("done 0", lines, "the one-shot stream ended and let its voice go")
        found = segments(samples)
        self.assertEqual(len(found), 2, found)
        (a0, a1), (b0, b1) = found
        self.assertGreater((a1 - a0) / RATE, 1.3, "the loop went on past its one second")
        self.assertAlmostEqual((b1 - b0) / RATE, LENGTH * 4 / RATE, delta=0.1)
        for first, end in found:
            for i in range(first + WINDOW, end - 2 * WINDOW, WINDOW * 4):
                self.near(level(samples, i, LOW), AMPLITUDE, "streamed tone at %d" % i)

    def test_a_call_with_two_arguments_is_refused_when_it_runs(self):
        code = 'r = audio_play_sound(snd_low, 1); show_debug_message("> " + string(r)); game_end();'
        r, lines = self.play_output(game(code, "", self.sounds))
        self.assertIn("Illegal argument count", r.stdout + r.stderr + "\n".join(lines))
        self.assertIn("> -1", lines)

    def test_the_gain_given_with_a_rounded_time_is_heard_at_once(self):
        # 0.4 ms rounds to 0: the gain drops to a quarter in one step, where
        # a fade would pass through the levels between.
        step = ('if (t == 1) a = audio_play_sound(snd_low, 1, true);'
                ' if (t == 10) audio_sound_gain(a, 0.25, 0.4);'
                ' if (t == 20) { audio_stop_all(); game_end(); }')
        samples, _, _ = self.recorded("at-once", "", step)
        found = segments(samples)
        self.assertEqual(len(found), 1, found)
        first, end = found[0]
        self.near(level(samples, first + WINDOW, LOW), AMPLITUDE, "before")
        drop = arrival(samples, first, end, LOW, AMPLITUDE * 0.75, below=True)
        self.near(level(samples, drop + WINDOW, LOW), AMPLITUDE / 4, "one window on")

    def test_without_audio_every_builtin_answers_as_without_a_device(self):
        calls = [
            ("audio_listener_position(1, 2, 3)", None),
            ("audio_listener_velocity(1, 2, 3)", None),
            ("audio_listener_orientation(0, 0, -1, 0, 1, 0)", None),
            ("audio_emitter_position(0, 1, 2, 3)", None),
            ("audio_emitter_velocity(0, 1, 2, 3)", None),
            ("audio_system()", "0"),
            ("audio_emitter_create()", "-1"),
            ("audio_emitter_free(0)", None),
            ("audio_play_sound(snd_low, 1, 0)", "-1"),
            ("audio_play_sound_on(0, snd_low, 0, 1)", "-1"),
            ("audio_play_sound_at(snd_low, 0, 0, 0, 100, 1000, 1, 0, 1)", "-1"),
            ("audio_falloff_set_model(9)", None),
            ("audio_stop_sound(snd_low)", None),
            ("audio_pause_sound(snd_low)", None),
            ("audio_resume_sound(snd_low)", None),
            ("audio_pause_all()", None),
            ("audio_resume_all()", None),
            ("audio_is_playing(snd_low)", "0"),
            ("audio_is_paused(snd_low)", "0"),
            ("audio_exists(200001)", "0"),
            ("audio_master_gain(0.5)", None),
            ("audio_emitter_exists(0)", "0"),
            ("audio_get_type(3)", "-1"),
            ("audio_emitter_gain(0, 0.5)", None),
            ("audio_emitter_pitch(0, 2)", None),
            ("audio_emitter_falloff(0, 1, 2, 3)", None),
            ("audio_channel_num(4)", None),
            ("audio_play_music(snd_low, 1)", None),
            ("audio_stop_music()", None),
            ("audio_pause_music()", None),
            ("audio_resume_music()", None),
            ("audio_music_is_playing()", "0"),
            ("audio_music_gain(0.5, 100)", None),
            ("audio_sound_gain(snd_low, 0.5, 100)", None),
            ("audio_sound_pitch(snd_low, 2)", None),
            ("audio_stop_all()", None),
            ("audio_sound_length(snd_low)", "-1"),
        ]
        self.assertEqual(len(calls), 37)
        code = "".join(
            (f'show_debug_message("{c.split("(")[0]} " + string({c}));' if want is not None else f"{c};")
            for c, want in calls)
        code += 'show_debug_message("done");'
        expected = [f'{c.split("(")[0]} {want}' for c, want in calls if want is not None] + ["done"]
        for what, args, drivers in (("-noaudio", ["-noaudio"], "null"), ("no device", [], "no-such-output")):
            with self.subTest(what):
                self.env["ALSOFT_DRIVERS"] = drivers
                # Run twice in the game: a second round must add nothing either.
                lines, debug = self.run_lines("repeat (2) { " + code + " }", args)
                self.assertEqual(lines, expected * 2)
                # Nothing is logged while the game runs.
                self.assertEqual(debug[debug.index("Entering main loop.") + 2:], [])
