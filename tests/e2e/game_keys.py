"""Key scripts of the built-in game (game_inputs/*.keys, written by
tw-game-player) and the playback files made from them.

A script is one event a line: "FRAME down KEY" and "FRAME up KEY" (what the
player pressed), and the marks the player saw: "FRAME room INDEX" (the first
frame drawn in a room), "FRAME score PLAYER COMPUTER" (the first frame that
drew those scores) and "FRAME end STATUS" (the last frame and the exit
status). Frames count from 1; frame n reads the playback file's record n - 1.
"""

import struct

FRAME_SIZE = 2939
# Offsets of the step record's key fields.
LAST_KEY, CURRENT_KEY, KEYS_DOWN, KEYS_RELEASED, KEYS_PRESSED = 2052, 2056, 2060, 2316, 2572


class KeyScript:
    def __init__(self, text):
        self.keys = []    # (frame, "down" or "up", key)
        self.rooms = []   # (frame, room index)
        self.scores = []  # (frame, player, computer)
        self.end = None   # (last frame, exit status)
        for number, line in enumerate(text.splitlines(), 1):
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            try:
                frame, verb, args = int(words[0]), words[1], [int(w) for w in words[2:]]
            except (IndexError, ValueError):
                raise ValueError("line %d: %r" % (number, line)) from None
            if verb in ("down", "up") and len(args) == 1:
                self.keys.append((frame, verb, args[0]))
            elif verb == "room" and len(args) == 1:
                self.rooms.append((frame, args[0]))
            elif verb == "score" and len(args) == 2:
                self.scores.append((frame, args[0], args[1]))
            elif verb == "end" and len(args) == 1:
                self.end = (frame, args[0])
            else:
                raise ValueError("line %d: %r" % (number, line))
        if self.end is None:
            raise ValueError("no end line")

    @classmethod
    def read(cls, path):
        with open(path, encoding="utf-8") as f:
            return cls(f.read())

    def frames_in(self, room):
        """(first, last) frame of each visit to the room."""
        visits = []
        bounds = self.rooms + [(self.end[0] + 1, None)]
        for (start, index), (following, _) in zip(bounds, bounds[1:]):
            if index == room:
                visits.append((start, following - 1))
        return visits

    def playback(self):
        """The playback file: one record per frame, the key tables filled as
        the window's key messages fill them between steps."""
        events = {}
        for frame, verb, key in self.keys:
            events.setdefault(frame, []).append((verb, key))
        down, last_key, current_key = set(), 0, 0
        records = []
        for frame in range(1, self.end[0] + 1):
            pressed, released = set(), set()
            for verb, key in events.get(frame, ()):
                if verb == "down":
                    if key not in down:
                        pressed.add(key)
                    down.add(key)
                    last_key = current_key = key
                else:
                    if current_key == key:
                        current_key = 0
                    down.discard(key)
                    pressed.discard(key)
                    released.add(key)
            record = bytearray(FRAME_SIZE)
            struct.pack_into("<ii", record, LAST_KEY, last_key, current_key)
            for table, keys in ((KEYS_DOWN, down), (KEYS_RELEASED, released), (KEYS_PRESSED, pressed)):
                for k in keys:
                    record[table + k] = 1
            records.append(bytes(record))
        return b"".join(records)
