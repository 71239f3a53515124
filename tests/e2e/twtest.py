"""Helpers for end-to-end tests: fixture containers built with tw-pack, and
the real runner started in a private directory with its own HOME."""

import math
import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import wave

RUNNER = os.environ.get("TW_RUNNER", "")
EMBEDDED = os.environ.get("TW_EMBEDDED", "")
PACK = os.environ.get("TW_PACK", "")


class Result:
    def __init__(self, proc, workdir, debug_log):
        self.returncode = proc.returncode
        self.stdout = proc.stdout
        self.stderr = proc.stderr
        self.workdir = workdir
        self.debug_log = debug_log

    def debug_lines(self):
        with open(self.debug_log, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()


class RunnerTest(unittest.TestCase):
    """Each test gets a fresh directory that is also its HOME."""

    def setUp(self):
        if not (RUNNER and PACK):
            self.skipTest("TW_RUNNER and TW_PACK must name the built programs")
        self.dir = tempfile.mkdtemp(prefix="tw-e2e-")
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.env = dict(os.environ)
        self.env.update({
            "HOME": self.dir,
            "XDG_DATA_HOME": os.path.join(self.dir, ".local", "share"),
            "XDG_CONFIG_HOME": os.path.join(self.dir, ".config"),
            "TMPDIR": self.dir,
            "SDL_VIDEODRIVER": "offscreen",
            "TARNWICKE_NO_DIALOGS": "1",
            # A virtual clock and a few frames keep every run short and the
            # same from run to run.
            "TARNWICKE_UNPACED": "1",
            "TARNWICKE_FRAMES": "3",
        })
        self.env.pop("TARNWICKE_CHOOSE_FILE", None)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def pack(self, description, name="game.win"):
        """Builds a container from a tw-pack description; returns its path."""
        src = self.path(name + ".twp")
        with open(src, "w", encoding="utf-8") as f:
            f.write(description)
        out = self.path(name)
        subprocess.run([PACK, src, "-o", out], check=True, env=self.env)
        return out

    def game_output(self, description, args=()):
        """Packs the game, runs it to a clean end with "-output" and returns
        the text of the output console."""
        path = self.pack(description)
        out = self.path("out.txt")
        if os.path.exists(out):
            os.remove(out)
        result = self.run_runner(["-game", path, "-output", out] + list(args))
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(out, encoding="utf-8", errors="replace") as f:
            return f.read()

    def write(self, name, data):
        p = self.path(name)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(data)
        return p

    def run_runner(self, args, program=None, cwd=None, debug_log=True, timeout=60):
        program = program or RUNNER
        log = self.path("debug-%d.txt" % len(os.listdir(self.dir)))
        argv = [program] + list(args)
        if debug_log:
            argv += ["-debugoutput", log]
        workdir = cwd or self.dir
        before = snapshot(workdir)
        for attempt in range(3):
            proc = subprocess.run(argv, cwd=workdir, env=self.env, capture_output=True,
                                  text=True, errors="replace", timeout=timeout)
            # The leak checker's own thread sometimes crashes on these
            # machines while it stops the world at exit (seen once in
            # hundreds of runs, whatever the program does). That is no
            # verdict on the program: put the directory back and run again.
            # A leak report never carries this line, so leaks still fail.
            if CHECKER_CRASH not in proc.stderr:
                break
            restore(workdir, before)
        # A signal means a crash: never acceptable.
        self.assertGreaterEqual(proc.returncode, 0,
                                "runner died with signal %d\n%s" % (-proc.returncode, proc.stderr))
        if "AddressSanitizer" in proc.stderr or "runtime error:" in proc.stderr:
            self.fail("sanitizer report:\n" + proc.stderr)
        return Result(proc, cwd or self.dir, log)

    def record_mix(self, name, channels="mono", rate=22050):
        """Makes OpenAL record what the next runs play into a WAV file (the
        wave output, in real time); returns its path, for read_mix."""
        mix = self.path(name + ".wav")
        conf = self.write(name + ".conf", (
            "[general]\nchannels = %s\nsample-type = int16\nfrequency = %d\n[wave]\nfile = %s\n"
            % (channels, rate, mix)).encode())
        self.env.update({"ALSOFT_DRIVERS": "wave", "ALSOFT_CONF": conf})
        return mix

    def play_output(self, description, args=()):
        """Runs the game described, which must end with status 0; the result
        and the lines of its output console."""
        out = self.path("out.txt")
        if os.path.exists(out):
            os.remove(out)
        r = self.run_runner(["-game", self.pack(description), "-output", out] + list(args))
        self.assertEqual(r.returncode, 0, r.stderr)
        if not os.path.exists(out):  # nothing was printed
            return r, []
        with open(out, encoding="utf-8", errors="replace") as f:
            return r, f.read().splitlines()


def sine_wav(path, rate=22050, seconds=1.0, freq=441.0, amplitude=16000, frames=None):
    """A mono 16-bit sine; `frames` gives the length in samples instead."""
    count = frames if frames is not None else int(rate * seconds)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", int(amplitude * math.sin(2 * math.pi * freq * i / rate)))
                               for i in range(count)))
    return path


def read_mix(path):
    """The 16-bit samples (interleaved) and the channel count of a recorded
    mix, whose WAV header is the extensible one: its chunks are read
    directly."""
    with open(path, "rb") as f:
        data = f.read()
    pos, fmt, samples = 12, None, b""
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        body = data[pos + 8:pos + 8 + size]
        if tag == b"fmt ":
            fmt = struct.unpack_from("<HHIIHH", body)
        elif tag == b"data":
            samples = body
        pos += 8 + size + (size & 1)
    assert fmt and fmt[5] == 16, fmt
    return struct.unpack("<%dh" % (len(samples) // 2), samples[:len(samples) // 2 * 2]), fmt[1]


def quoted(text):
    """`text` as a quoted string of a tw-pack description."""
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")


def one_event_game(display, code, options="", resources=()):
    """A game of one room holding one instance whose create event runs `code`
    and then ends the game; `display` names its save area, `options` are
    keys of its OPTN line and `resources` more description lines."""
    return "\n".join([
        f'GEN8 version=13 debug=1 name="G" display="{display}" width=64 height=64',
        f"OPTN {options}".strip(),
        'OBJECT "control" depth=0',
        f'  EVENT 0 0 text="{quoted(code + " game_end();")}"',
        "END",
        'ROOM "rm0" width=64 height=64 code=0',
        "  INSTANCE x=0 y=0 object=0 id=100001 code=0",
        "END",
        *resources,
        "EMPTY CODE", "STRG", ""])


CHECKER_CRASH = "LeakSanitizer has encountered a fatal error"


def snapshot(directory):
    """Every file below directory with its bytes."""
    files = {}
    for root, _, names in os.walk(directory):
        for name in names:
            p = os.path.join(root, name)
            if os.path.isfile(p) and not os.path.islink(p):
                with open(p, "rb") as f:
                    files[p] = f.read()
    return files


def restore(directory, files):
    """Puts directory back as snapshot() saw it."""
    for p in snapshot(directory):
        if p not in files:
            os.remove(p)
    for p, data in files.items():
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(data)


def read_chunks(data):
    """[(tag, tag offset, body offset, length)] of a well-formed container."""
    chunks = []
    pos = 8
    while pos + 8 <= len(data):
        tag = data[pos:pos + 4].decode("latin-1")
        length = struct.unpack_from("<I", data, pos + 4)[0]
        chunks.append((tag, pos, pos + 8, length))
        pos += 8 + length
    return chunks


def chunk_body(data, tag):
    for t, _, body, length in read_chunks(data):
        if t == tag:
            return body, length
    raise KeyError(tag)


def put_u32(data, offset, value):
    data = bytearray(data)
    struct.pack_into("<I", data, offset, value & 0xFFFFFFFF)
    return bytes(data)


def get_u32(data, offset):
    return struct.unpack_from("<I", data, offset)[0]


def read_png(path):
    """(width, height, rows of (r, g, b, a)) of an 8-bit RGB or RGBA PNG
    without interlacing: what the engine's frame capture writes."""
    import zlib
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, width, height, kind = 8, b"", 0, 0, 0
    while pos < len(data):
        length, tag = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if tag == b"IHDR":
            width, height, depth, kind, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 8 or kind not in (2, 6) or interlace:
                raise ValueError("unsupported PNG layout")
        elif tag == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 4 if kind == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        ftype, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if ftype == 1:
                line[i] = (line[i] + a) & 0xFF
            elif ftype == 2:
                line[i] = (line[i] + b) & 0xFF
            elif ftype == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + channels]) + ((255,) if channels == 3 else ())
                     for x in range(width)])
        prev = line
    return width, height, rows
