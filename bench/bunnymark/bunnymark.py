#!/usr/bin/env python3
"""The bunnymark: 10,000 moving 26x37 sprites in a 640x480 room, on the
runner and, as the yardstick, on LÖVE 11.4 doing the same work.

Each bunny's step event (script text the engine compiles) bounces it off the
room edges and the engine's motion moves it by its speeds; LÖVE's update does
the same arithmetic in Lua. Two drawing forms on the runner: "room" (the
room draws every instance by default) and "draw_sprite" (one draw event
draws every bunny with draw_sprite inside a with loop).

Frames run unpaced. The program prints a line at the end of a warm-up and
another N frames later; at each line this driver reads the wall clock and the
main thread's CPU time (/proc/PID/task/PID/schedstat, nanoseconds), so
start-up and shutdown are left out. Reported: frames per second and
main-thread nanoseconds per sprite per frame.

  bunnymark.py --runner R --pack P [--love] [--form room|draw_sprite|both]
               [--frames N] [--warmup W] [--bunnies B] [--repeat K]
  bunnymark.py --runner R --pack P --smoke   (a few frames; checks it runs)
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
WIDTH, HEIGHT = 640, 480
BUNNY_W, BUNNY_H = 26, 37
START_LINE = "bunnymark start"
END_LINE = "bunnymark end"


def bunny_png():
    """A 26x37 RGBA image: an opaque oval with a soft colour ramp, clear
    corners, so blending has work to do."""
    rows = []
    cx, cy = (BUNNY_W - 1) / 2, (BUNNY_H - 1) / 2
    for y in range(BUNNY_H):
        row = bytearray([0])
        for x in range(BUNNY_W):
            inside = ((x - cx) / (BUNNY_W / 2)) ** 2 + ((y - cy) / (BUNNY_H / 2)) ** 2 <= 1
            row += bytes([200, 120 + 3 * y, 40 + 8 * x, 255 if inside else 0])
        rows.append(bytes(row))

    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body))

    ihdr = struct.pack(">IIBBBBB", BUNNY_W, BUNNY_H, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(b"".join(rows)))
            + chunk(b"IEND", b""))


def bunny_start(i):
    """Place of bunny i; the same formulas serve the LÖVE program."""
    return (i * 37) % (WIDTH - BUNNY_W), (i * 53) % (HEIGHT - BUNNY_H)


def description(bunnies, form, warmup, frames):
    right, bottom = WIDTH - BUNNY_W, HEIGHT - BUNNY_H
    # Speeds from the id, never 0; LÖVE uses the same formulas.
    create = "hspeed = (id mod 9) * 0.5 - 2.25; vspeed = ((id div 9) mod 7) * 0.5 - 1.75;"
    step = ("if ((x < 0 && hspeed < 0) || (x > %d && hspeed > 0)) hspeed = -hspeed; "
            "if ((y < 0 && vspeed < 0) || (y > %d && vspeed > 0)) vspeed = -vspeed;" % (right, bottom))
    counter = ('frame += 1; if (frame == %d) show_debug_message("%s"); '
               'if (frame == %d) show_debug_message("%s");' % (warmup, START_LINE, warmup + frames, END_LINE))
    lines = [
        'GEN8 name="Bunnymark" display="Bunnymark" width=%d height=%d' % (WIDTH, HEIGHT),
        'PAGE png="bunny.png"',
        "ENTRY width=%d height=%d" % (BUNNY_W, BUNNY_H),
        'SPRITE "spr_bunny" width=%d height=%d right=%d bottom=%d frames=0'
        % (BUNNY_W, BUNNY_H, BUNNY_W - 1, BUNNY_H - 1),
        # Drawn by the room, or kept invisible and drawn by the controller.
        'OBJECT "obj_bunny" sprite=0 visible=%d' % (1 if form == "room" else 0),
        '  EVENT ev_create 0 text="%s"' % create,
        '  EVENT ev_step ev_step_normal text="%s"' % step,
        "END",
        'OBJECT "obj_counter" visible=1 depth=-100',
        '  EVENT ev_create 0 text="frame = 0;"',
        '  EVENT ev_step ev_step_normal text="%s"' % counter.replace('"', '\\"'),
    ]
    if form == "draw_sprite":
        lines.append('  EVENT ev_draw 0 text="with (obj_bunny) draw_sprite(sprite_index, 0, x, y);"')
    lines.append("END")
    lines.append('ROOM "rm_bunnies" width=%d height=%d speed=60 colour=0x402010 show_colour=1' % (WIDTH, HEIGHT))
    lines.append("  INSTANCE object=1 x=0 y=0 id=100000")
    for i in range(bunnies):
        x, y = bunny_start(i)
        lines.append("  INSTANCE object=0 x=%d y=%d id=%d" % (x, y, 100001 + i))
    lines.append("END")
    return "\n".join(lines) + "\n"


def thread_cpu_ns(pid):
    """CPU time of the process's main thread so far, in nanoseconds."""
    try:
        with open("/proc/%d/task/%d/schedstat" % (pid, pid)) as f:
            return int(f.read().split()[0])
    except OSError:
        with open("/proc/%d/task/%d/stat" % (pid, pid)) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1_000_000_000 // os.sysconf("SC_CLK_TCK")


def process_cpu_ns(pid):
    """CPU time of every thread of the process so far, in nanoseconds."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1_000_000_000 // os.sysconf("SC_CLK_TCK")


def measure(argv, env, cwd, timeout):
    """Runs the program; returns (wall seconds, main-thread CPU ns) between
    the start and end lines, and the program's output."""
    proc = subprocess.Popen(argv, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, bufsize=1)
    marks = {}
    output = []
    deadline = time.monotonic() + timeout
    try:
        for line in proc.stdout:
            now = time.perf_counter()
            stripped = line.strip()
            if stripped in (START_LINE, END_LINE) and stripped not in marks:
                marks[stripped] = (now, thread_cpu_ns(proc.pid), process_cpu_ns(proc.pid))
            else:
                output.append(line)
            if time.monotonic() > deadline:
                proc.kill()
                break
        proc.wait(timeout=max(1, deadline - time.monotonic()))
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
    if START_LINE not in marks or END_LINE not in marks:
        raise RuntimeError("%s gave no measurement (exit %s):\n%s" % (argv[0], proc.returncode, "".join(output)))
    (t0, c0, p0), (t1, c1, p1) = marks[START_LINE], marks[END_LINE]
    return (t1 - t0, c1 - c0, p1 - p0), proc.returncode, "".join(output)


def base_env(workdir):
    env = dict(os.environ)
    env.setdefault("SDL_VIDEODRIVER", "offscreen")
    env.update({"HOME": workdir, "XDG_DATA_HOME": os.path.join(workdir, "data"),
                "XDG_CONFIG_HOME": os.path.join(workdir, "config"), "ALSOFT_DRIVERS": "null",
                "TARNWICKE_NO_DIALOGS": "1"})
    return env


def run_engine(args, workdir, form, frames, capture=None):
    game = os.path.join(workdir, "bunnymark-%s.win" % form)
    if not os.path.exists(game):
        src = game + ".twp"
        with open(src, "w") as f:
            f.write(description(args.bunnies, form, args.warmup, frames))
        subprocess.run([args.pack, src, "-o", game], check=True)
    env = base_env(workdir)
    env.update({"TARNWICKE_UNPACED": "1", "TARNWICKE_FRAMES": str(args.warmup + frames + 1)})
    if capture:
        env.update({"TARNWICKE_CAPTURE_FRAME": str(args.warmup + frames), "TARNWICKE_CAPTURE_FILE": capture})
    sample, rc, out = measure([args.runner, "-game", game], env, workdir, args.timeout)
    if rc != 0:
        raise RuntimeError("the runner ended with %s:\n%s" % (rc, out))
    return sample


def run_love(args, workdir, frames):
    game = os.path.join(workdir, "love")
    if not os.path.isdir(game):
        shutil.copytree(os.path.join(HERE, "love"), game)
        shutil.copy(os.path.join(workdir, "bunny.png"), game)
    env = base_env(workdir)
    argv = [args.love_program, game, str(args.bunnies), str(args.warmup), str(frames)]
    sample, rc, out = measure(argv, env, workdir, args.timeout)
    if rc != 0:
        raise RuntimeError("LÖVE ended with %s:\n%s" % (rc, out))
    return sample


def report(name, frames, bunnies, samples):
    # The best of the repeats: the run least disturbed by the rest of the machine.
    wall, cpu, every = min(samples, key=lambda s: s[0])
    fps = frames / wall
    ns = cpu / frames / bunnies
    print("%-20s %7.1f fps %7.1f ns/sprite  main thread %5.2f ms/frame, all threads %6.2f ms/frame"
          % (name, fps, ns, cpu / frames / 1e6, every / frames / 1e6))
    return fps, ns


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--runner", required=True)
    ap.add_argument("--pack", required=True)
    ap.add_argument("--love", action="store_true", help="also run the LÖVE yardstick")
    ap.add_argument("--love-program", default="love")
    ap.add_argument("--form", choices=["room", "draw_sprite", "both"], default="both")
    ap.add_argument("--bunnies", type=int, default=10000)
    ap.add_argument("--warmup", type=int, default=30)
    ap.add_argument("--frames", type=int, default=300)
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("--timeout", type=float, default=600)
    ap.add_argument("--smoke", action="store_true", help="a few frames of each form; checks that they run")
    args = ap.parse_args()
    args.runner, args.pack = os.path.abspath(args.runner), os.path.abspath(args.pack)
    if args.smoke:
        args.bunnies, args.warmup, args.frames, args.repeat = 100, 2, 3, 1

    workdir = tempfile.mkdtemp(prefix="bunnymark-")
    try:
        with open(os.path.join(workdir, "bunny.png"), "wb") as f:
            f.write(bunny_png())
        forms = ["room", "draw_sprite"] if args.form == "both" else [args.form]
        results = {}
        pictures = {}
        for form in forms:
            samples = []
            for _ in range(args.repeat):
                capture = os.path.join(workdir, "frame-%s.png" % form) if args.smoke else None
                samples.append(run_engine(args, workdir, form, args.frames, capture))
            results[form] = report("tarnwicke " + form, args.frames, args.bunnies, samples)
            if args.smoke:
                with open(capture, "rb") as f:
                    pictures[form] = f.read()
        # Both forms draw the bunnies in the same order: the same picture.
        if args.smoke and len(pictures) == 2 and pictures["room"] != pictures["draw_sprite"]:
            print("the two forms drew different pictures")
            return 1
        if args.love and not args.smoke:
            samples = []
            for _ in range(args.repeat):
                samples.append(run_love(args, workdir, args.frames))
            love_fps, _ = report("love 11.4", args.frames, args.bunnies, samples)
            for form, (fps, _) in results.items():
                print("tarnwicke %s / love: %.2f times the frame rate" % (form, fps / love_fps))
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
