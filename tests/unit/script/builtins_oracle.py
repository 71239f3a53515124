#!/usr/bin/env python3
"""Reference results of the math and string built-ins for builtins_oracle_test.cpp.

Each built-in's rule is written out here on its own, over Python's integers,
floats and str, so the test does not check the engine against itself. The
cases come from a fixed seed, so every run writes the same table.

    python3 builtins_oracle.py OUT.txt

One case per line:  NAME ARG... = EXPECTED ERROR
  a value is r<float.hex()> for a real or s<hex of the UTF-8 bytes> for a
  string; ERROR is - when nothing may be reported, else e<hex of the text
  the report must contain>.
"""
import math
import random
import re
import struct
import sys

CASES_PER_FUNCTION = 2500
INT32_MIN, INT32_MAX = -2**31, 2**31 - 1
F32_PI = struct.unpack('f', struct.pack('f', math.pi))[0]

# ---- value encoding -----------------------------------------------------------


def enc(v):
    if isinstance(v, float):
        return 'r' + v.hex()
    if isinstance(v, str):
        v = v.encode('utf-8', 'surrogatepass')
    return 's' + v.hex()


def err(text):
    return '-' if text is None else 'e' + text.encode().hex()


# ---- numeric helpers ----------------------------------------------------------------


def f32(x):
    """x rounded to single precision (to nearest, ties to even)."""
    try:
        return struct.unpack('f', struct.pack('f', x))[0]
    except OverflowError:  # the rounded value is an infinity
        return math.copysign(math.inf, x)


def sat32(i):
    return max(INT32_MIN, min(INT32_MAX, i))


def trunc32(x):
    """A real truncated to a 32-bit integer, saturating; NaN gives 0."""
    if math.isnan(x):
        return 0
    if math.isinf(x):
        return INT32_MAX if x > 0 else INT32_MIN
    return sat32(math.trunc(x))


def round32(x):
    """Nearest 32-bit integer, halves to even, saturating; NaN gives 0."""
    if math.isnan(x):
        return 0
    if math.isinf(x):
        return INT32_MAX if x > 0 else INT32_MIN
    return sat32(round(x))  # Python rounds halves to even


def whole(f, x):
    """A rounding function over all reals: infinities and NaN pass through."""
    if math.isnan(x) or math.isinf(x):
        return x
    return float(f(x)) + 0.0


# ---- generators ---------------------------------------------------------------------

rng = random.Random(0x7A3C)

SPECIAL = [0.0, -0.0, 0.5, -0.5, 1.5, 2.5, -2.5, 3.5, 1e-300, 2147483647.0, 2147483648.0,
           -2147483648.0, -2147483649.0, 2147483647.5, 4294967296.5, 1e10, -1e10, 3e9 + 0.5,
           2.0**52 + 1, 2.0**53, 1e20, -1e20, 1e300, math.inf, -math.inf, math.nan]


def real():
    k = rng.random()
    if k < 0.15:
        return rng.choice(SPECIAL)
    if k < 0.35:
        return float(rng.randint(-1000, 1000)) + rng.choice([0.0, 0.5, -0.5, 0.25])
    if k < 0.55:
        return rng.uniform(-100, 100)
    if k < 0.75:
        return rng.uniform(-1, 1) * 10.0 ** rng.randint(-8, 8)
    if k < 0.9:
        return rng.uniform(-1, 1) * 2.0 ** rng.randint(30, 70)  # beyond 32 bits
    return rng.uniform(-1, 1) * 10.0 ** rng.randint(-300, 300)


def coord():
    k = rng.random()
    if k < 0.4:
        return float(rng.randint(-500, 500))
    if k < 0.8:
        return round(rng.uniform(-2000, 2000), rng.randint(0, 6))
    if k < 0.95:
        return rng.uniform(-1e6, 1e6)
    return rng.choice([0.0, -0.0, 1e-40, 1e38, -1e38, 3.5e38])


# Mostly letters that repeat, so searches find things; some two- and
# three-byte characters, so positions must count characters, not bytes.
ALPHABET = 'aab' + 'abcXYZ019 .-' + 'éßñΩж' + '€中日✓\uffff'


def text(lo=0, hi=12, alphabet=ALPHABET):
    return ''.join(rng.choice(alphabet) for _ in range(rng.randint(lo, hi)))


def needle(s):
    if s and rng.random() < 0.5:
        i = rng.randrange(len(s))
        return s[i:i + rng.randint(1, 3)]
    return text(0, 3, 'aabé€')


def position(n):
    """A script position around a text of n characters, with the hostile ones."""
    k = rng.random()
    if k < 0.6:
        return float(rng.randint(-2, n + 3))
    if k < 0.8:
        return rng.randint(-2, n + 3) + rng.choice([0.5, -0.5, 0.25, 0.75])
    return rng.choice([math.nan, math.inf, -math.inf, 1e300, -1e300, 2147483647.0, 2147483648.0,
                       -2147483648.0, -2147483649.0, 4294967297.0])


# ---- the built-ins ------------------------------------------------------------------


def b_round(x):
    return whole(round, x), None


def b_floor(x):
    return whole(math.floor, x), None


def b_ceil(x):
    return whole(math.ceil, x), None


def b_sqrt(x):
    if x < 0:
        return 0.0, 'Cannot apply sqrt to negative number.'
    return math.sqrt(x), None


def is_odd_integer(n):
    return math.isfinite(n) and n == math.floor(n) and math.fmod(n, 2.0) != 0


def b_power(x, n):
    try:
        return math.pow(x, n), None
    except OverflowError:
        return (-math.inf if x < 0 and is_odd_integer(n) else math.inf), None
    except ValueError:  # where C gives an infinity or NaN
        if x == 0 and n < 0:
            negative = math.copysign(1.0, x) < 0 and is_odd_integer(n)
            return (-math.inf if negative else math.inf), None
        return math.nan, None


def b_point_distance(x1, y1, x2, y2):
    dx = f32(f32(x2) - f32(x1))
    dy = f32(f32(y2) - f32(y1))
    return f32(math.sqrt(f32(dx * dx + dy * dy))), None


def b_point_direction(x1, y1, x2, y2):
    dx = f32(f32(x2) - f32(x1))
    dy = f32(f32(y2) - f32(y1))
    if dx == 0:
        return (270.0 if dy > 0 else 90.0 if dy < 0 else 0.0), None
    a = f32(math.atan2(dy, dx))
    a = f32(a * 180.0)
    a = f32(a / F32_PI)
    r = -a if a <= 0 else f32(360.0 - a)
    return r + 0.0, None


def b_string_length(s):
    return float(len(s)), None


def b_string_copy(s, index, count):
    i, c = round32(index), round32(count)
    start, n = max(i, 1), max(c, 0)
    if start - 1 + n > len(s):
        n = len(s) - (start - 1)
    if n < 0:
        return '', f'string_copy({s}, {i}, {c}): Index is out of bounds'
    return s[start - 1:start - 1 + n], None


def b_string_delete(s, index, count):
    i, c = round32(index), round32(count)
    if i < 1 or i > len(s) or c <= 0:
        return s, None
    return s[:i - 1] + s[i - 1 + c:], None


def b_string_insert(sub, s, index):
    p = min(max(round32(index) - 1, 0), len(s))
    return s[:p] + sub + s[p:], None


def b_string_pos(sub, s):
    if not sub or not s:
        return 0.0, None
    return float(s.find(sub) + 1), None


def b_string_replace_all(s, old, new):
    return (s.replace(old, new) if old else s), None


def b_string_count(sub, s):
    hay, sub = s.encode(), sub.encode()
    if not sub or not hay:
        return 0.0, None
    n, at = 0, hay.find(sub)
    while at >= 0:
        n += 1
        at = hay.find(sub, at + 1)  # overlaps count
    return float(n), None


def b_string_upper(s):
    return ''.join(chr(ord(c) - 32) if 'a' <= c <= 'z' else c for c in s), None


def b_string_format(x, total, decimals):
    width = trunc32(total) - trunc32(decimals)
    places = min(max(trunc32(decimals), 0), 1100)
    number = '%.*f' % (places, x)
    pad = ' ' * min(max(abs(width) - len(number), 0), 255)
    out = number + pad if width < 0 else pad + number
    return out[:255], None


NUMBER = re.compile(r'[+-]?(?:inf(?:inity)?|nan|(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)', re.I)


def b_real(v):
    if isinstance(v, float):
        return v, None
    ascii_only = ''.join(c for c in v if 0 < ord(c) < 128)
    core = ascii_only.strip(''.join(chr(c) for c in range(1, 33)))
    m = NUMBER.match(core)
    return (float(m.group(0)) if m else 0.0), None


def b_chr(x):
    n = trunc32(x)
    if n < 128:
        b = bytes([n & 0x7F])
    else:
        c = n & 0xFFFF
        if c < 0x80:
            b = bytes([c])
        elif c < 0x800:
            b = bytes([0xC0 | c >> 6, 0x80 | c & 0x3F])
        else:
            b = bytes([0xE0 | c >> 12, 0x80 | (c >> 6) & 0x3F, 0x80 | c & 0x3F])
    return b.split(b'\0')[0], None


def b_ord(s):
    return (float(ord(s[0])) if s else 0.0), None


# ---- argument makers ------------------------------------------------------------------


def args_text_pos_count():
    s = text()
    return [s, position(len(s)), position(len(s) - 1)]


def args_format():
    x = real() if rng.random() < 0.3 else round(rng.uniform(-1e4, 1e4), rng.randint(0, 6))
    if math.isnan(x):
        x = 0.125  # the sign of a NaN's text is the C library's own
    total = rng.choice([float(rng.randint(-10, 30)), float(rng.randint(-10, 30)) + 0.75,
                        300.0, -300.0, math.nan, 1e12])
    decimals = rng.choice([float(rng.randint(-3, 12)), float(rng.randint(0, 6)) + 0.5, 40.0,
                           400.0, -5.0, math.nan])
    return [x, total, decimals]


def args_real():
    k = rng.random()
    if k < 0.1:
        return [real()]
    pieces = [rng.choice(['', ' ', '\t', '\n ', '  \r']),
              rng.choice(['', '+', '-', '-', '+-', '€']),
              rng.choice(['', '0', '12', '007', '3', '123456789012345678901234567890']),
              rng.choice(['', '.', '.5', '.25', '.', '.0001', 'é.5']),
              rng.choice(['', '', 'e', 'e5', 'E-3', 'e+308', 'e400', 'e-400', 'e-320']),
              rng.choice(['', 'xyz', ' 7', 'é', '中1', '.5', 'e']),
              rng.choice(['', ' ', '\t\n'])]
    if rng.random() < 0.05:
        pieces[2:5] = [rng.choice(['inf', 'Infinity', 'infinit', 'nan', 'NaN', 'abc', '0x1p3'])]
    return [''.join(pieces)]


def args_chr():
    k = rng.random()
    if k < 0.6:
        return [float(rng.choice([rng.randint(-300, 300), rng.randint(0, 0x2FFFF)]))]
    return [rng.choice([rng.uniform(-1e5, 1e5), 65.7, -0.5, 8364.0, 65536.0 + 65, 0xD800 * 1.0,
                        0xFFFF * 1.0, 1e20, -1e20, math.nan, math.inf])]


FUNCTIONS = [
    ('round', b_round, lambda: [real()]),
    ('floor', b_floor, lambda: [real()]),
    ('ceil', b_ceil, lambda: [real()]),
    ('sqrt', b_sqrt, lambda: [real()]),
    ('power', b_power, lambda: [rng.choice([real(), float(rng.randint(-5, 5)), rng.uniform(0, 4)]),
                                rng.choice([real(), float(rng.randint(-4, 8)), rng.uniform(-3, 3)])]),
    ('point_distance', b_point_distance, lambda: [coord() for _ in range(4)]),
    ('point_direction', b_point_direction,
     lambda: (lambda x1, y1: [x1, y1, rng.choice([x1, coord()]), rng.choice([y1, coord()])])(coord(), coord())),
    ('string_length', b_string_length, lambda: [text(0, 40)]),
    ('string_copy', b_string_copy, args_text_pos_count),
    ('string_delete', b_string_delete, args_text_pos_count),
    ('string_insert', b_string_insert, lambda: (lambda s: [text(0, 3), s, position(len(s))])(text())),
    ('string_pos', b_string_pos, lambda: (lambda s: [needle(s), s])(text())),
    ('string_replace_all', b_string_replace_all, lambda: (lambda s: [s, needle(s), text(0, 3)])(text())),
    ('string_count', b_string_count, lambda: (lambda s: [needle(s), s])(text(0, 20, 'aab€é'))),
    ('string_upper', b_string_upper, lambda: [text(0, 20, ALPHABET + 'qwertyQWERTY')]),
    ('string_format', b_string_format, args_format),
    ('real', b_real, args_real),
    ('chr', b_chr, args_chr),
    ('ord', b_ord, lambda: [text(0, 3)]),
]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else 'builtin_cases.txt'
    lines = []
    for name, fn, make in FUNCTIONS:
        for _ in range(CASES_PER_FUNCTION):
            args = make()
            expected, report = fn(*args)
            lines.append(' '.join([name] + [enc(a) for a in args] + ['=', enc(expected), err(report)]))
    with open(out, 'w', encoding='ascii') as f:
        f.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
