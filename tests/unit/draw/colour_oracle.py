#!/usr/bin/env python3
"""Writes colour_cases.inc: colour conversions computed by an independent
model that rounds to single precision after every operation, as the engine
computes them. Run it again to remake the table: python3 colour_oracle.py"""
import os
import random
import struct


def f(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]


def byte(x):
    b = int(f(f(x * 255.0) + 0.5))
    return max(0, min(255, b))


def hsv_to_rgb(hue, sat, val):
    h = f(f(hue * 360.0) / 255.0)
    if h == 360.0:
        h = 0.0
    s = f(sat / 255.0)
    v = f(val / 255.0)
    if s == 0:
        r = g = b = v
    else:
        h = f(h / 60.0)
        i = int(h)
        fr = f(h - i)
        p = f(f(1.0 - s) * v)
        q = f(f(1.0 - f(fr * s)) * v)
        t = f(f(1.0 - f(f(1.0 - fr) * s)) * v)
        r, g, b = {0: (v, t, p), 1: (q, v, p), 2: (p, v, t), 3: (p, q, v), 4: (t, p, v)}.get(i, (v, p, q))
    return byte(r), byte(g), byte(b)


def rgb_to_hsv(red, green, blue):
    r, g, b = f(red / 255.0), f(green / 255.0), f(blue / 255.0)
    mx, mn = max(r, g, b), min(r, g, b)
    sat = hue = 0.0
    if mx != 0:
        sat = f(f(mx - mn) / mx)
        if sat != 0:
            d = f(mx - mn)
            if r == mx:
                hue = f(f(f(g - b) * 60.0) / d)
            elif g == mx:
                hue = f(f(f(f(b - r) * 60.0) / d) + 120.0)
            else:
                hue = f(f(f(f(r - g) * 60.0) / d) + 240.0)
            if hue < 0:
                hue = f(hue + 360.0)
    h = max(0, min(255, int(f(f(f(hue * 255.0) / 360.0) + 0.5))))
    return h, byte(sat), byte(mx)


def merge(c1, c2, t):
    inv = f(1.0 - t)
    out = 0
    for shift in (0, 8, 16):
        a, b = (c1 >> shift) & 255, (c2 >> shift) & 255
        out |= (round(a * inv + b * t) & 255) << shift  # round() halves to even
    return out


def main():
    rnd = random.Random(20240611)
    lines = ['// Written by colour_oracle.py; do not edit.', '// {hue, saturation, value, script colour}',
             'static const HsvCase kHsvCases[] = {']
    for hue in range(256):
        for sat in (0, 1, 64, 128, 200, 255):
            for val in (0, 1, 100, 255):
                r, g, b = hsv_to_rgb(hue, sat, val)
                lines.append('    {%d, %d, %d, 0x%06X},' % (hue, sat, val, (b << 16) | (g << 8) | r))
    lines.append('};')
    lines.append('// {script colour, hue, saturation, value}')
    lines.append('static const RgbCase kRgbCases[] = {')
    colours = [0, 0xFFFFFF, 0x808080, 0xFF, 0xFF00, 0xFF0000, 0xFFFF, 0xFF00FF, 0xFFFF00, 0x010203]
    colours += [rnd.randrange(1 << 24) for _ in range(3000)]
    for c in colours:
        h, s, v = rgb_to_hsv(c & 255, (c >> 8) & 255, (c >> 16) & 255)
        lines.append('    {0x%06X, %d, %d, %d},' % (c, h, s, v))
    lines.append('};')
    lines.append('// {colour 1, colour 2, t, merged}')
    lines.append('static const MergeCase kMergeCases[] = {')
    ts = [0.0, 1.0, 0.5, 0.25, 0.75, 2.0, -1.0, 0.1, 1.0 / 3.0]
    for _ in range(1500):
        c1, c2 = rnd.randrange(1 << 24), rnd.randrange(1 << 24)
        t = rnd.choice(ts) if rnd.random() < 0.4 else rnd.uniform(-0.5, 1.5)
        lines.append('    {0x%06X, 0x%06X, %r, 0x%06X},' % (c1, c2, t, merge(c1, c2, t)))
    lines.append('};')
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'colour_cases.inc')
    with open(out, 'w') as fh:
        fh.write('\n'.join(lines) + '\n')


main()
