"""Collision events between instances whose boxes reach the ends of 32 bits:
a scale no box can hold, and a damaged box word in the sprite record."""

import unittest

from twtest import RunnerTest

GAME = r'''GEN8 version=13 debug=1 name="C" display="C" last_instance=100100 rooms=0
OPTN
SPRITE "box" width=10 height=10 right=9 bottom=9 frames=-1
SPRITE "broken" width=10 height=10 right=2147483647 bottom=9 frames=-1
OBJECT "thing" sprite=0 depth=0
END
OBJECT "wide" sprite=0 depth=0
  EVENT 0 0 text="image_xscale = 1000000000000;"
  EVENT 4 0 text="show_debug_message(\"wide hits \" + string(other.id));"
END
OBJECT "damaged" sprite=1 depth=0
  EVENT 4 0 text="show_debug_message(\"damaged hits \" + string(other.id));"
END
ROOM "r" code=0
  INSTANCE x=0 y=0 object=1 id=100001 code=0
  INSTANCE x=-50 y=0 object=0 id=100002 code=0
  INSTANCE x=2000000000 y=0 object=0 id=100003 code=0
  INSTANCE x=0 y=100 object=2 id=100004 code=0
  INSTANCE x=2000000000 y=100 object=0 id=100005 code=0
  INSTANCE x=0 y=200 object=0 id=100006 code=0
END
EMPTY CODE
STRG
'''


class HugeBoxes(RunnerTest):
    def test_boxes_at_the_end_of_the_range_still_collide(self):
        self.env["TARNWICKE_FRAMES"] = "1"
        out = self.path("out.txt")
        r = self.run_runner(["-game", self.pack(GAME), "-output", out])
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, encoding="utf-8") as f:
            lines = [l for l in f.read().splitlines() if "hits" in l]
        # The thing left of the wide box and the one below both boxes never hit.
        self.assertEqual(sorted(lines), ["damaged hits 100005", "wide hits 100003"])


if __name__ == "__main__":
    unittest.main()
