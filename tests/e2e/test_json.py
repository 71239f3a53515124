"""JSON as a game sees it: what json_encode writes of nested maps and lists
reads in Python's json as the same structure; a file that Python's json
wrote (unicode escapes, big and small numbers, deep nesting, empty objects
and arrays) decodes right; malformed text gives -1 and the game goes on."""

import json
import math

from twtest import RunnerTest, one_event_game

DISPLAY = "Json Game"


class Json(RunnerTest):
    def said(self, lines, prefix):
        return [line[len(prefix):] for line in lines if line.startswith(prefix)]

    def test_encoded_maps_and_lists_read_in_python(self):
        _, lines = self.play_output(one_event_game(DISPLAY, (
            'm = ds_map_create();'
            ' ds_map_add(m, "name", \'Ann "the" \\ Lee\' + chr(10) + chr(233));'
            ' ds_map_add(m, "score", 42.5);'
            ' ds_map_add(m, 7.9, "seven");'
            ' l = ds_list_create(); ds_list_add(l, 1); ds_list_add(l, "two"); ds_list_add(l, -3);'
            ' inner = ds_map_create(); ds_map_add(inner, "deep", 0.25);'
            ' ds_list_add(l, inner); ds_list_mark_as_map(l, 3);'
            ' ds_list_add(l, ds_list_create()); ds_list_mark_as_list(l, 4);'
            ' ds_map_add_list(m, "list", l);'
            ' ds_map_add_map(m, "empty", ds_map_create());'
            ' big = power(10, 400); ds_map_add(m, "inf", big); ds_map_add(m, "nan", big - big);'
            ' show_debug_message("json " + json_encode(m));'
            ' show_debug_message("none <" + json_encode(m + 100) + ">");')))
        [text] = self.said(lines, "json ")
        self.assertEqual(json.loads(text), {
            "name": 'Ann "the" \\ Lee\n\u00e9', "score": 42.5, "7": "seven",
            "list": [1, "two", -3, {"deep": 0.25}, []], "empty": {}, "inf": None, "nan": None})
        self.assertEqual(self.said(lines, "none "), ["<>"])

    def test_python_json_decodes_right(self):
        deep = []
        for _ in range(400):
            deep = [deep]
        data = {
            "text": "caf\u00e9 \U0001F600 \"quoted\" back\\slash / tab\t",
            "big": 2 ** 70, "bigger": -(10 ** 25), "int53": 9007199254740993,
            "small": 1.5e-7, "tiny": 5e-324, "neg": -0.5,
            "flags": [True, False, None],
            "empty_object": {}, "empty_array": [],
            "deep": deep,
            "nested": {"a": {"b": {"c": [1, {"d": "e"}]}}},
            "gone": None,
        }
        # ensure_ascii (the default) writes \\u escapes and surrogate pairs.
        text = json.dumps(data)
        self.assertIn("\\ud83d\\ude00", text)
        self.write("in.json", text.encode("ascii"))
        _, lines = self.play_output(one_event_game(DISPLAY, (
            'f = file_text_open_read("in.json"); t = file_text_read_string(f); file_text_close(f);'
            ' m = json_decode(t);'
            ' show_debug_message("id " + string(m));'
            ' show_debug_message("text " + ds_map_find_value(m, "text"));'
            ' show_debug_message("big " + string(ds_map_find_value(m, "big") / 1000000000000000000));'
            ' show_debug_message("bigger " + string(ds_map_find_value(m, "bigger") / 1000000000000000000000));'
            ' show_debug_message("int53 " + string(ds_map_find_value(m, "int53") - 9007199254740000));'
            ' show_debug_message("small " + string(ds_map_find_value(m, "small") * 1000000000));'
            ' show_debug_message("gone " + string(ds_map_exists(m, "gone")));'
            ' show_debug_message("empty " + string(ds_map_size(ds_map_find_value(m, "empty_object")))'
            '   + " " + string(ds_list_size(ds_map_find_value(m, "empty_array"))));'
            ' d = ds_map_find_value(m, "deep"); n = 0;'
            ' while (ds_list_size(d) > 0) { d = ds_list_find_value(d, 0); n += 1; }'
            ' show_debug_message("depth " + string(n));'
            ' show_debug_message("again " + json_encode(m));'
            ' ds_map_destroy(m);'
            ' show_debug_message("bad " + string(json_decode(\'{"a": [1, 2}\')));'
            ' show_debug_message("plain " + ds_map_find_value(json_decode("hello"), "default"));')))
        self.assertEqual(self.said(lines, "id "), ["0"])
        self.assertEqual(self.said(lines, "text "), [data["text"]])
        self.assertEqual(self.said(lines, "big "), ["1180.59"])
        self.assertEqual(self.said(lines, "bigger "), ["-10000"])
        self.assertEqual(self.said(lines, "int53 "), ["992"])
        self.assertEqual(self.said(lines, "small "), ["150"])
        self.assertEqual(self.said(lines, "gone "), ["0"])
        self.assertEqual(self.said(lines, "empty "), ["0 0"])
        self.assertEqual(self.said(lines, "depth "), ["400"])
        self.assertEqual(self.said(lines, "bad "), ["-1"])
        self.assertEqual(self.said(lines, "plain "), ["hello"])

        # Encoded again, the structure reads in Python as it was written,
        # numbers to the six decimals of the text.
        [again] = self.said(lines, "again ")
        back = json.loads(again)
        expect = dict(data, flags=[1, 0, 0])
        del expect["gone"]
        self.assertEqual(set(back), set(expect))
        for key, value in expect.items():
            if isinstance(value, (int, float)):
                self.assertTrue(math.isclose(back[key], value, rel_tol=1e-15, abs_tol=5e-7), key)
            else:
                self.assertEqual(back[key], value, key)


if __name__ == "__main__":
    import unittest
    unittest.main()
