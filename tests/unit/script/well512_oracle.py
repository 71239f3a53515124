#!/usr/bin/env python3
"""Reference outputs of the engine's random generator for random_test.cpp.

WELL512a as published (Panneton, L'Ecuyer, Matsumoto), written out here on its
own so the test does not check the engine against itself. The state is seeded
with the C runtime's rand() formula, one 15-bit value per word.

    python3 well512_oracle.py [seed ...]
"""
import sys

M32 = 0xFFFFFFFF


def seed_state(seed):
    state = []
    c = seed
    for _ in range(16):
        c = ((c * 214013 + 2531011) & M32)
        if c & 0x80000000:
            c -= 1 << 32          # 32-bit signed
        c = (c >> 16) & 0x7FFF    # arithmetic shift; Python's >> is one
        state.append(c)
    return state


class Well512a:
    def __init__(self, seed):
        self.s = seed_state(seed)
        self.i = 0

    def next32(self):
        s, i = self.s, self.i
        a = s[i]
        c = s[(i + 13) & 15]
        b = a ^ c ^ ((a << 16) & M32) ^ ((c << 15) & M32)
        c = s[(i + 9) & 15]
        c ^= c >> 11
        a = s[i] = b ^ c
        d = a ^ ((a << 5) & 0xDA442D24)
        i = (i + 15) & 15
        a = s[i]
        s[i] = (a ^ b ^ d ^ ((a << 2) & M32) ^ ((b << 18) & M32) ^ ((c << 28) & M32)) & M32
        self.i = i
        return s[i]


def main():
    seeds = [int(x) for x in sys.argv[1:]] or [0, 12345]
    for seed in seeds:
        g = Well512a(seed)
        print(f"seed {seed}: state {seed_state(seed)}")
        outs = [g.next32() for _ in range(20)]
        for k in range(0, 20, 4):
            print("    " + ", ".join(f"{v:#010x}u" for v in outs[k:k + 4]) + ",")
        # the 1000th output, far past the first wrap of the index
        for _ in range(1000 - 20 - 1):
            g.next32()
        print(f"  1000th: {g.next32():#010x}u")


if __name__ == "__main__":
    main()
