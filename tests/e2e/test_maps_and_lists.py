"""A game's own code building a map and a list, as its output console shows
them: lookups, a sort of reals and texts, the map's text form (checked
against one written here from the format and the CRC-32 bucket order), a
text read back into a new map, and a nested list that goes with its map."""

import struct
import unittest
import zlib

from twtest import RunnerTest

CODE = r'''
m = ds_map_create();
ds_map_add(m, "name", "Ada");
ds_map_add(m, "score", 42);
ds_map_add(m, "score", 99);
ds_map_replace(m, "score", ds_map_find_value(m, "score") + 1);
ds_map_add(m, 7, "seven");
show_debug_message("name " + ds_map_find_value(m, "name"));
show_debug_message("score " + string(ds_map_find_value(m, "score")));
show_debug_message("missing " + string(ds_map_find_value(m, "nobody")));
l = ds_list_create();
ds_list_add(l, 3); ds_list_add(l, "b"); ds_list_add(l, 1); ds_list_add(l, "a"); ds_list_add(l, 2);
ds_list_sort(l, true);
s = "";
for (i = 0; i < ds_list_size(l); i += 1) s += string(ds_list_find_value(l, i)) + " ";
show_debug_message("sorted " + s);
ds_list_sort(l, false);
show_debug_message("first after descending " + string(ds_list_find_value(l, 0)));
show_debug_message("text " + ds_map_write(m));
m2 = ds_map_create();
ds_map_read(m2, ds_map_write(m));
show_debug_message("read back " + string(ds_map_size(m2)) + " " + ds_map_find_value(m2, 7));
ds_map_add_list(m, "list", l);
show_debug_message("list id " + string(ds_map_find_value(m, "list")));
ds_map_destroy(m);
show_debug_message("list after its map " + string(ds_exists(l, 2)));
show_debug_message("bad id " + string(ds_map_size(m)));
'''


def quoted(text):
    return text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", " ")


GAME = f'''GEN8 version=13 debug=1 name="M" display="M" last_instance=100100 rooms=0
OPTN
OBJECT "maker" depth=0
  EVENT 0 0 text="{quoted(CODE)}"
END
ROOM "r" code=0
  INSTANCE x=0 y=0 object=0 id=100001 code=0
END
EMPTY CODE
STRG
'''


def map_text(pairs):
    """The text form of a map with 4096 buckets holding the pairs, inserted
    in this order."""
    def crc(key):
        data = key.encode() if isinstance(key, str) else struct.pack("<d", key)
        return zlib.crc32(data) ^ 0xFFFFFFFF

    def field(v):
        if isinstance(v, str):
            return v.encode().hex().upper()
        text = struct.pack(">d", v).hex().upper()
        while text.endswith("00"):
            text = text[:-2]
        return text

    order = sorted(range(len(pairs)), key=lambda i: (crc(pairs[i][0]) & 4095, i))
    return ",".join("%d:%s:%s" % ((1 if isinstance(pairs[i][0], str) else 0) + (2 if isinstance(pairs[i][1], str) else 0),
                                  field(pairs[i][0]), field(pairs[i][1])) for i in order)


class MapsAndLists(RunnerTest):
    def test_a_script_builds_a_map_and_a_list(self):
        self.env["TARNWICKE_FRAMES"] = "1"
        out = self.path("out.txt")
        r = self.run_runner(["-game", self.pack(GAME), "-output", out])
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(out, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
        said = [l for l in lines if l.split(" ")[0] in
                ("name", "score", "missing", "sorted", "first", "text", "read", "list", "bad")]
        expect_text = map_text([("name", "Ada"), ("score", 43.0), (7.0, "seven")])
        self.assertEqual(said, [
            "name Ada",
            "score 43",
            "missing 0",
            "sorted 1 2 3 a b ",
            "first after descending b",
            "text " + expect_text,
            "read back 3 seven",
            "list id 0",
            "list after its map 0",
            "bad id 0",
        ])
        # The bad id is reported on the console and the game goes on.
        self.assertTrue(any("Data structure with index does not exist." in l for l in lines))


if __name__ == "__main__":
    unittest.main()
