"""A game that works a grid through the ds_grid built-ins and prints what it
sees with show_debug_message: areas, a join past 1,024 bytes, a row sort,
a grid-region copy onto the same grid, the text form read back, and the
lines an access outside the grid or a destroyed grid gives."""

from test_tws_programs import game
from twtest import RunnerTest

MAIN = """
var g, h, t, s, i;
g = ds_grid_create(4, 3);
ds_grid_set_region(g, 5, 5, -1, -1, 1);
ds_grid_add_disk(g, 1, 1, 1, 2);
show_debug_message("sum " + string(ds_grid_get_sum(g, 0, 0, 3, 2)) + " max " + string(ds_grid_get_disk_max(g, 1, 1, 1))
                   + " mean " + string(ds_grid_get_mean(g, 0, 0, 1, 0)));
show_debug_message("found " + string(ds_grid_value_disk_x(g, 1, 1, 1, 3)) + "," + string(ds_grid_value_disk_y(g, 1, 1, 1, 3)));
s = "";
for (i = 0; i < 700; i += 1) s += "x";
ds_grid_set(g, 3, 2, s);
ds_grid_add(g, 3, 2, s);
show_debug_message("joined " + string(string_length(ds_grid_get(g, 3, 2))));
ds_grid_set(g, 0, 0, "b");
ds_grid_add(g, 0, 0, "c");
ds_grid_set(g, 0, 1, "a");
ds_grid_sort(g, 0, true);
show_debug_message("sorted " + ds_grid_get(g, 0, 0) + " " + ds_grid_get(g, 0, 1) + " " + string(ds_grid_get(g, 0, 2)));
ds_grid_clear(g, 0);
ds_grid_set(g, 0, 0, 1); ds_grid_set(g, 1, 0, 2); ds_grid_set(g, 2, 0, 3);
ds_grid_set_grid_region(g, g, 0, 0, 1, 0, 1, 0);
show_debug_message("shifted " + string(ds_grid_get(g, 0, 0)) + string(ds_grid_get(g, 1, 0)) + string(ds_grid_get(g, 2, 0)));
t = ds_grid_write(g);
h = ds_grid_create(1, 1);
ds_grid_read(h, t);
show_debug_message("read " + string(ds_grid_width(h)) + "x" + string(ds_grid_height(h)) + " " + string(ds_grid_write(h) == t));
ds_grid_get(g, 4, 0);
ds_grid_destroy(g);
show_debug_message("exists " + string(ds_exists(g, 5)) + string(ds_exists(h, 5)));
ds_grid_get(g, 0, 0);
show_debug_message("still running");
game_end();
"""

class DSGrids(RunnerTest):
    def test_a_game_works_a_grid(self):
        lines = self.game_output(game(MAIN)).splitlines()
        printed = [line for line in lines if line.split(" ")[0] in
                   ("sum", "found", "joined", "sorted", "shifted", "read", "exists", "still")]
        self.assertEqual(printed, [
            "sum 22 max 3 mean 2",
            "found 0,1",
            "joined 1400",
            "sorted a bc 1",
            "shifted 112",
            "read 4x3 1",
            "exists 01",
            "still running",
        ])
        self.assertIn("Grid 0, index out of bounds reading [4,0] - size is [4,3]", lines)
        # The destroyed grid is reported and the game goes on.
        missing = [i for i, line in enumerate(lines) if line == "Data structure with index does not exist."]
        self.assertEqual(len(missing), 1, lines)
        self.assertLess(missing[0], lines.index("still running"))
