#!/usr/bin/env python3
"""Fails when a source file includes a header of a higher layer.

The layers, bottom up; a folder may include its own headers and those of the
folders before it. The subsystems come in the order they may use each other.
SDL, OpenGL, OpenAL, curl and POSIX system headers belong to the platform alone.
"""
import os
import re
import sys

LAYERS = [
    ("src/platform", "platform"),
    ("src/script", "script"),
    ("src/core", "core"),
    ("src/files", "files"),
    ("src/ds", "ds"),
    ("src/services", "services"),
    ("src/audio", "audio"),
    ("src/input", "input"),
    ("src/graphics", "graphics"),
    ("src/sprites", "sprites"),
    ("src/draw", "draw"),
    ("src/motion", "motion"),
    ("src/particles", "particles"),
    ("src/actions", "actions"),
    ("src/physics", "physics"),
    ("src/ext", "ext"),
    ("src/net", "net"),
    ("src/steam", "steam"),
    ("src/runner", "runner"),
    ("game", "game"),
    ("apps", "apps"),
]
RANK = {name: i for i, (_, name) in enumerate(LAYERS)}
FOLDER = {path: name for path, name in LAYERS}
PLATFORM_ONLY = re.compile(
    r"^(SDL2?/|curl/|SDL[._]|epoxy/|GL/|AL/|(unistd|dirent|dlfcn|pthread|fcntl|poll|termios|glob|fnmatch|pwd|spawn)\.h$|sys/|netinet/|arpa/)")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def layer_of_file(rel):
    for path, name in LAYERS:
        if rel == path or rel.startswith(path + "/"):
            return name
    return None


def layer_of_include(target):
    first = target.split("/")[0]
    if ("src/" + first) in FOLDER:
        return FOLDER["src/" + first]
    if first in ("game", "apps"):
        return first
    return None


def check(root):
    problems = []
    counts = {}
    for top in ("src", "game", "apps"):
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            for f in sorted(files):
                if not f.endswith((".cpp", ".h", ".c", ".S")):
                    continue
                rel = os.path.relpath(os.path.join(dirpath, f), root)
                own = layer_of_file(rel)
                if own is None:
                    problems.append(f"{rel}: in no layer")
                    continue
                with open(os.path.join(dirpath, f), errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = m.group(2)
                        if m.group(1) == "<" and PLATFORM_ONLY.match(target) and own != "platform":
                            problems.append(f"{rel}:{number}: <{target}> belongs to the platform")
                            continue
                        other = layer_of_include(target)
                        if other is None or other == own:
                            continue
                        counts[(own, other)] = counts.get((own, other), 0) + 1
                        if RANK[other] > RANK[own]:
                            problems.append(f"{rel}:{number}: {own} includes {target} of the higher layer {other}")
    return problems, counts


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    problems, counts = check(os.path.abspath(root))
    if "--counts" in sys.argv:
        for (a, b), n in sorted(counts.items(), key=lambda kv: (RANK[kv[0][0]], RANK[kv[0][1]])):
            print(f"{a:10s} -> {b:10s} {n}")
    for p in problems:
        print(p)
    print(f"{len(problems)} include(s) against the layers")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
