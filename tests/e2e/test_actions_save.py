"""Saving and loading a running game, as a player sees it: a game saves in
one step, changes its instances, score and variables, asks for the save
back, and in the next step finds everything as it was saved, with instance
ids, depths, alarms, paths and variables kept, the save file in the save
area, and the warnings of a second load in the step and of a missing file.
A damaged save file loads nothing and the game runs on."""

import os

from test_instance_builtins import GameCode, game

# The mover's state on one line. Data structures are not part of a saved
# game, so the list tells the controller that it has been through a load.
STATE = ("string(mover.id) + \" x\" + string(mover.x) + \" depth\" + string(mover.depth)"
         " + \" alarm\" + string(mover.alarm[1]) + \" hp\" + string(mover.hp)"
         " + \" path\" + string(mover.path_index) + \",\" + string(mover.path_speed)"
         " + \" extra\" + string(instance_number(extra)) + \" score\" + string(score)"
         " + \" gold\" + string(global.gold) + \" t\" + string(t)")


def saving_game(load_text):
    mover = ("mover", {(0, 0): "hspeed = 2; alarm[1] = 40; hp = 5; depth = 3; path_speed = 0;"})
    extra = ("extra", {})
    control = ("control", {
        (0, 0): "t = 0; seen = ds_list_create(); global.gold = 1;",
        (3, 0): "t += 1;"
                "if (t == 3) { show_debug_message(\"> saved \" + " + STATE + "); game_save(\"slot.sav\"); }"
                "if (t == 4 && ds_list_size(seen) == 0) {"
                " ds_list_add(seen, 1);"
                " mover.x = 150; mover.hp = 1; mover.alarm[1] = 99; mover.depth = -7;"
                " instance_create(0, 0, extra); score = 99; global.gold = 2;"
                " show_debug_message(\"> changed \" + " + STATE + ");"
                + load_text + " }"
                "else if (t >= 4) {"
                " show_debug_message(\"> after \" + " + STATE + ");"
                " show_debug_message(\"> new id \" + string(instance_create(0, 0, extra)));"
                " game_end(); }",
    })
    return game([mover, extra, control], [(0, 10, 20, 100010), (2, 0, 0, 100011)])


class GameSaveAndLoad(GameCode):
    def save_area(self, *parts):
        return os.path.join(self.env["XDG_DATA_HOME"], "I", *parts)

    def test_a_loaded_game_is_the_game_that_was_saved(self):
        r, lines = self.play(saving_game('game_load("slot.sav"); game_load("slot.sav");'), 20)
        self.assertEqual(r.returncode, 0, r.stderr)
        said = self.said(lines, ">")
        # Saved in the step event of step 3, before that step's motion; the
        # load comes first in step 5, so the mover stands where it was saved.
        self.assertEqual(said, [
            "saved 100010 x14 depth3 alarm40 hp5 path-1,0 extra0 score0 gold1 t3",
            "changed 100010 x150 depth-7 alarm99 hp1 path-1,0 extra1 score99 gold2 t4",
            "after 100010 x14 depth3 alarm40 hp5 path-1,0 extra0 score0 gold1 t4",
            # The id counter came back too: the instance made after the load
            # takes the id the one made after the save took.
            "new id 100101",
        ])
        self.assertTrue(os.path.isfile(self.save_area("slot.sav")))
        with open(r.debug_log, encoding="utf-8", errors="replace") as f:
            log = f.read()
        self.assertEqual(log.count("WARNING: Load game being ignored due to load game already queued"), 1)

    def test_a_missing_or_damaged_save_changes_nothing(self):
        os.makedirs(self.save_area(), exist_ok=True)
        with open(self.save_area("bad.sav"), "wb") as f:
            f.write(b"\x53\x03\x00\x00" + b"\x00" * 10)  # the tag, then too little
        r, lines = self.play(saving_game(
            'game_load("missing.sav"); game_load("bad.sav");'
            ' ds_list_add(seen, 2); global.gold = 3;'), 20)
        self.assertEqual(r.returncode, 0, r.stderr)
        said = self.said(lines, ">")
        self.assertEqual(said[2], "after 100010 x152 depth-7 alarm99 hp1 path-1,0 extra1 score99 gold3 t5")
        with open(r.debug_log, encoding="utf-8", errors="replace") as f:
            log = f.read()
        self.assertIn("WARNING: Game load failed, missing.sav not found", log)
