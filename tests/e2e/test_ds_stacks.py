"""A game whose script uses a stack, a queue and a priority queue, printing
what it gets with show_debug_message: the orders each container hands values
back in, a queue drained past its compaction, a text form written and read
into another container, and a bad id reported without ending the game."""


from test_tws_programs import game
from twtest import RunnerTest

MAIN = """
var s, q, q2, p, i, n, t;
s = ds_stack_create();
ds_stack_push(s, 1); ds_stack_push(s, "two"); ds_stack_push(s, 3);
show_debug_message("pop " + string(ds_stack_pop(s)) + " " + ds_stack_pop(s) + " " + string(ds_stack_pop(s)));
show_debug_message("empty pop " + string(ds_stack_pop(s)) + " size " + string(ds_stack_size(s)));
ds_stack_push(s, 1);
show_debug_message("stack " + ds_stack_write(s));

q = ds_queue_create();
for (i = 0; i < 40; i += 1) ds_queue_enqueue(q, "v" + string(i));
n = "";
for (i = 0; i < 25; i += 1) n = ds_queue_dequeue(q);
show_debug_message("dequeued " + n + " head " + ds_queue_head(q) + " tail " + ds_queue_tail(q) + " size " + string(ds_queue_size(q)));
t = ds_queue_write(q);
q2 = ds_queue_create();
ds_queue_read(q2, t);
show_debug_message("same text " + string(ds_queue_write(q2) == t) + " head " + ds_queue_dequeue(q2));
ds_queue_read(q2, ds_stack_write(s));
show_debug_message("after a stack text " + ds_queue_head(q2) + " size " + string(ds_queue_size(q2)));

p = ds_priority_create();
ds_priority_add(p, "a", 5); ds_priority_add(p, "b", 3); ds_priority_add(p, "c", 3); ds_priority_add(p, "top", "10");
show_debug_message("min " + ds_priority_find_min(p) + " max " + ds_priority_find_max(p));
show_debug_message("took " + ds_priority_delete_min(p) + " then " + ds_priority_delete_min(p) + " then " + ds_priority_find_min(p));
ds_stack_destroy(s);
show_debug_message("gone " + string(ds_stack_size(s)));
show_debug_message("exists " + string(ds_exists(s, 3)) + string(ds_exists(q, 4)) + string(ds_exists(p, 6)));
game_end();
"""


class DSStacksGame(RunnerTest):
    def test_stack_queue_and_priority_seen_from_a_script(self):
        printed = self.game_output(game(MAIN)).splitlines()
        self.assertEqual(printed[:8], [
            "pop 3 two 1",
            "empty pop 0 size 0",
            "stack 650000000100000000000000000000000000F03F",
            "dequeued v24 head v25 tail v39 size 15",
            "same text 1 head v25",
            "after a stack text v26 size 14",
            "min b max top",
            "took b then c then a",
        ])
        # The destroyed stack's id is reported, and the game goes on.
        self.assertTrue(printed[8].startswith("ERROR!!! :: "), printed[8])
        self.assertIn("Data structure with index does not exist.", printed)
        self.assertEqual(printed[-2:], ["gone 0", "exists 011"])


if __name__ == "__main__":
    import unittest
    unittest.main()
