#!/usr/bin/env python3
"""Reference digests and base64 texts for hash_oracle_test.cpp, from Python's
hashlib, zlib and base64. The cases come from a fixed seed, so every run
writes the same table.

    python3 hash_oracle.py OUT.txt

Lines (bytes and texts in hex, "-" for an empty field):
  bytes DATA MD5 SHA1 CRC BASE64
      CRC is the engine's variant: the complement of zlib.crc32.
  decode TEXT CHECKED RAW
      CHECKED is what a strict decoder gives ("x" when the text is refused:
      a character outside the alphabet before the first "=", a single
      character over, or padding that does not complete the last group);
      RAW is what the lenient decoder gives: everything up to the first
      character outside the alphabet, a single leftover character dropped.
  region KIND DATA OFFSET SIZE MD5 SHA1 BASE64
      KIND 0 fixed, 2 wrap. The hashed range: a fixed buffer clamps the
      offset into the buffer and the size to its end (a negative size is the
      whole buffer); a wrap buffer takes the offset modulo its length and
      runs round its end as often as the size asks. BASE64 is of the range
      a fixed buffer would give (never wrapping).
"""
import base64
import hashlib
import random
import string
import sys
import zlib

ALPHABET = string.ascii_uppercase + string.ascii_lowercase + string.digits + "+/"


def hx(b):
    return b.hex() if b else "-"


def bytes_line(data):
    crc = ~zlib.crc32(data) & 0xFFFFFFFF
    return "bytes %s %s %s %08x %s" % (hx(data), hashlib.md5(data).hexdigest(), hashlib.sha1(data).hexdigest(),
                                       crc, hx(base64.b64encode(data)))


def b64_of(chars):
    """Python's decoding of alphabet characters, padded as it wants them."""
    chars = chars[:len(chars) - len(chars) % 4] if len(chars) % 4 == 1 else chars
    return base64.b64decode(chars + "=" * (-len(chars) % 4), validate=True)


def checked(text):
    head = text.split("=", 1)[0]
    if any(c not in ALPHABET for c in head) or len(head) % 4 == 1:
        return None
    if len(head) < len(text):
        run = len(text[len(head):]) - len(text[len(head):].lstrip("="))
        if len(head) % 4 == 0 or run != 4 - len(head) % 4:
            return None
    return b64_of(head)


def raw(text):
    end = 0
    while end < len(text) and text[end] in ALPHABET:
        end += 1
    return b64_of(text[:end])


def decode_line(text):
    c = checked(text)
    return "decode %s %s %s" % (hx(text.encode("latin-1")), "x" if c is None else hx(c), hx(raw(text)))


def region_bytes(kind, data, offset, size):
    n = len(data)
    if kind == 2:
        size = n if size < 0 else size
        offset %= n
        return bytes(data[(offset + i) % n] for i in range(size))
    offset = max(0, min(offset, n - 1))
    size = n - offset if size < 0 else min(size, n - offset)
    return data[offset:offset + size]


def region_line(kind, data, offset, size):
    r = region_bytes(kind, data, offset, size)
    flat = region_bytes(0, data, offset, size)
    return "region %d %s %d %d %s %s %s" % (kind, hx(data), offset, size, hashlib.md5(r).hexdigest(),
                                            hashlib.sha1(r).hexdigest(), hx(base64.b64encode(flat)))


def main(out_path):
    rnd = random.Random(20240518)
    lines = []

    # Every length up to 200, then longer ones around the 64-byte blocks.
    inputs = [bytes(rnd.randrange(256) for _ in range(n)) for n in range(201)]
    inputs += [bytes(rnd.randrange(256) for _ in range(rnd.randrange(200, 5000))) for _ in range(1800)]
    inputs += [bytes([0]) * n for n in (1, 55, 56, 63, 64, 65, 119, 120)]
    inputs += [b"abc", b"a", b"ab", b"\xff" * 3]
    lines += [bytes_line(d) for d in inputs]

    texts = ["", "YWJj", "YW=Jj", "YW*Jj", "Y", "YQ", "YQ=", "YQ==", "YQ===", "YWI", "YWI=", "YWI==",
             "YWJj=", "YWJj====", "YQ==garbage!", "YW Jj", "YWJj\n", "=", "==", "\x80\xff", "Y\tQ=="]
    for d in inputs[:1200]:
        t = base64.b64encode(d).decode()
        texts.append(t)
        texts.append(t.rstrip("="))  # unpadded
        if t:
            i = rnd.randrange(len(t) + 1)
            texts.append(t[:i] + rnd.choice(" -_.*\n\x01=~") + t[i:])  # one stray character
            if t.endswith("="):
                texts.append(t + "=")  # one "=" too many
    lines += [decode_line(t) for t in texts]

    for _ in range(1200):
        n = rnd.choice([1, 2, 3, 5, 7, 64, 100, rnd.randrange(1, 300)])
        data = bytes(rnd.randrange(256) for _ in range(n))
        offset = rnd.choice([0, 1, n - 1, n, -1, -n - 3, rnd.randrange(-3 * n, 3 * n + 1)])
        size = rnd.choice([-1, 0, 1, n, n + 1, 2 * n + 3, rnd.randrange(0, 4 * n + 1)])
        for kind in (0, 2):
            lines.append(region_line(kind, data, offset, size))

    with open(out_path, "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1])
