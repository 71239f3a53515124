"""The game loop on fixture games whose compiled events log what runs: the
order of one step, room flow, parents and nesting. Expected transcripts are
worked out from the rules of the step, not recorded."""

import os

from twtest import RunnerTest

FIXTURE = os.environ.get("TW_FIXTURE_RUNNER", "")

# Codes of the fixture's compiled events (tests/fixture_game/fixture_game.cpp).
LOG, CREATE_CHILD, DESTROY_SELF, SINK_ONCE, ALARM0, END_GAME, NEXT_ROOM, RESTART_ONCE = range(8)
RECURSE, ERROR, MOVE_RIGHT, CREATION_CODE, ROOM_CODE, PERSIST, TIMELINE0, TIMELINE1, PING_PONG, GOTO_MISSING = range(8, 18)
GOTO_NEXT, LAUNCH_DOWN, LOG_MOTION, DRAW_SELF, SCRIPT_SUM, CALL_SUM = range(18, 24)


def game(name, body, rooms="0"):
    """A fixture game: general information, options, the body's resources."""
    return (f'GEN8 version=13 debug=1 name="{name}" display="{name}" last_instance=100010 rooms={rooms}\n'
            f"OPTN\n{body}EMPTY CODE\nSTRG\n")


GOLDEN = game("Golden", f"""
OBJECT "ctl" depth=0
  EVENT 0 0 code={ALARM0}
  EVENT 3 1 code={CREATE_CHILD}
  EVENT 3 0 code={LOG}
  EVENT 3 2 code={LOG}
  EVENT 2 0 code={LOG}
  EVENT 7 5 code={LOG}
  EVENT 7 3 code={LOG}
END
OBJECT "kid" depth=0
  EVENT 0 0 code={LOG}
  EVENT 3 1 code={LOG}
  EVENT 3 0 code={LOG}
  EVENT 3 2 code={LOG}
END
OBJECT "doomed" depth=0
  EVENT 3 0 code={DESTROY_SELF}
  EVENT 3 2 code={LOG}
  EVENT 1 0 code={LOG}
END
OBJECT "sinker" depth=0
  EVENT 0 0 code={TIMELINE0}
END
OBJECT "steady" depth=10
  EVENT 0 0 code={TIMELINE1}
END
TIMELINE "tl_sink"
  MOMENT 0 code={SINK_ONCE}
  MOMENT 1 code={SINK_ONCE}
  MOMENT 2 code={SINK_ONCE}
END
TIMELINE "tl_log"
  MOMENT 0 code={LOG}
  MOMENT 1 code={LOG}
  MOMENT 2 code={LOG}
END
ROOM "room0"
  INSTANCE x=10 y=10 object=0 id=100001
  INSTANCE x=10 y=10 object=2 id=100002
  INSTANCE x=10 y=10 object=3 id=100003
  INSTANCE x=10 y=10 object=4 id=100004
END
""")

# Room entry: create events in definition order. Then, per step: begin step
# (ctl creates kid, whose create event runs at once but who misses this begin
# step); timelines in list order (sinker's depth change waits for the flush,
# so steady, deeper, still runs after it in step 1 and before it from step 2);
# alarms (set to 2 at creation: fires in step 2); step (kid, created in begin
# step, gets it; doomed destroys itself); end step (doomed, dead, gets
# nothing). The frame limit then ends the game: room end, game end.
GOLDEN_TRANSCRIPT = """\
Create ctl 100001
Create sinker 100003
Create steady 100004
BeginStep ctl 100001
Create kid 100011
Moment 0 sinker 100003
Moment 0 steady 100004
Step ctl 100001
Step kid 100011
Step doomed 100002
Destroy doomed 100002
EndStep ctl 100001
EndStep kid 100011
BeginStep ctl 100001
BeginStep kid 100011
Moment 1 steady 100004
Moment 1 sinker 100003
Alarm 0 ctl 100001
Step ctl 100001
Step kid 100011
EndStep ctl 100001
EndStep kid 100011
BeginStep ctl 100001
BeginStep kid 100011
Moment 2 steady 100004
Moment 2 sinker 100003
Step ctl 100001
Step kid 100011
EndStep ctl 100001
EndStep kid 100011
Room End ctl 100001
Game End ctl 100001
"""


class GameLoop(RunnerTest):
    def setUp(self):
        super().setUp()
        if not FIXTURE:
            self.skipTest("TW_FIXTURE_RUNNER not set")

    def play(self, description, frames=3, extra=()):
        self.pack(description)
        self.env["TARNWICKE_FRAMES"] = str(frames)
        r = self.run_runner(["-game", "game.win", "-output", "out.txt"] + list(extra), program=FIXTURE)
        text = ""
        if os.path.exists(self.path("out.txt")):
            with open(self.path("out.txt"), encoding="utf-8") as f:
                text = f.read()
        return r, text

    def test_golden_transcript_of_three_steps(self):
        r, out = self.play(GOLDEN)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(out, GOLDEN_TRANSCRIPT)

    def test_a_compiled_script_takes_arguments_and_returns_its_result(self):
        # The object's compiled create event calls the compiled script
        # scr_sum with two arguments through the function id bound at load.
        r, out = self.play(game("Sum", f"""
SCRIPT none
SCRIPT "scr_sum" code={SCRIPT_SUM}
OBJECT "caller"
  EVENT 0 0 code={CALL_SUM}
  EVENT 3 0 code={END_GAME}
END
ROOM "room0"
  INSTANCE x=0 y=0 object=0 id=100001
END
"""))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(out.splitlines(), ["Create caller 100001", "scr_sum got 2 arguments",
                                            "scr_sum (2, 40) + 1 = 43", "Step caller 100001"])

    def test_room_flow_with_a_persistent_room(self):
        # Room 0 is persistent: re-entering it runs no create events and no
        # room code; room 1 is made afresh every time.
        r, out = self.play(game("Flow", f"""
OBJECT "hop"
  EVENT 0 0 code={LOG}
  EVENT 3 0 code={PING_PONG}
  EVENT 7 2 code={LOG}
  EVENT 7 3 code={LOG}
  EVENT 7 4 code={LOG}
  EVENT 7 5 code={LOG}
END
ROOM "p" persistent=1
  INSTANCE x=0 y=0 object=0 id=100001 code={CREATION_CODE}
END
ROOM "q" code={ROOM_CODE}
  INSTANCE x=0 y=0 object=0 id=100002 code={CREATION_CODE}
END
""", rooms="0,1"))
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(out, """\
Create hop 100001
CreationCode hop 100001
Game Start hop 100001
Room Start hop 100001
Step hop 100001
Room End hop 100001
Create hop 100002
CreationCode hop 100002
RoomCode 1
Room Start hop 100002
Step hop 100002
Room End hop 100002
Room Start hop 100001
Step hop 100001
Room End hop 100001
Create hop 100002
CreationCode hop 100002
RoomCode 1
Room Start hop 100002
Room End hop 100002
Game End hop 100002
""")

    def test_persistent_instances_travel_with_their_ids(self):
        r, out = self.play(game("Carry", f"""
OBJECT "carry" persistent=1
  EVENT 0 0 code={LOG}
  EVENT 7 4 code={LOG}
END
OBJECT "hop2"
  EVENT 3 0 code={NEXT_ROOM}
END
ROOM "a"
  INSTANCE x=0 y=0 object=0 id=100001
  INSTANCE x=0 y=0 object=1 id=100002
END
ROOM "b"
  INSTANCE x=0 y=0 object=0 id=100003
END
""", rooms="0,1"), frames=2)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(out, """\
Create carry 100001
Room Start carry 100001
Step hop2 100002
Create carry 100003
Room Start carry 100003
Room Start carry 100001
""")

    def test_restart_runs_the_start_sequence_again(self):
        r, out = self.play(game("Restart", f"""
OBJECT "r"
  EVENT 0 0 code={LOG}
  EVENT 3 0 code={RESTART_ONCE}
  EVENT 7 2 code={LOG}
  EVENT 7 3 code={LOG}
  EVENT 7 5 code={LOG}
END
ROOM "only"
  INSTANCE x=0 y=0 object=0 id=100001
END
"""), frames=2)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(out, """\
Create r 100001
Game Start r 100001
Step r 100001
Room End r 100001
Game End r 100001
Create r 100001
Game Start r 100001
Step r 100001
Room End r 100001
Game End r 100001
""")

    def test_ending_the_game_runs_room_end_and_game_end(self):
        r, out = self.play(game("End", f"""
OBJECT "e"
  EVENT 3 0 code={END_GAME}
  EVENT 3 2 code={LOG}
  EVENT 7 3 code={LOG}
  EVENT 7 5 code={LOG}
END
ROOM "only"
  INSTANCE x=0 y=0 object=0 id=100001
END
"""), frames=10)
        self.assertEqual(r.returncode, 0, r.stderr)
        # The end request skips the rest of its step (no end step).
        self.assertEqual(out, "Step e 100001\nRoom End e 100001\nGame End e 100001\n")

    def test_inherited_events_run_through_the_parent(self):
        r, out = self.play(game("Parents", f"""
OBJECT "parent"
  EVENT 3 0 code={LOG}
END
OBJECT "child" parent=0
END
OBJECT "grandchild" parent=1
  EVENT 3 2 code={LOG}
END
ROOM "only"
  INSTANCE x=0 y=0 object=2 id=100001
END
"""), frames=1)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(out, "Step grandchild 100001 via parent\nEndStep grandchild 100001\n")

    def test_runaway_recursion_stops_with_the_message(self):
        r, out = self.play(game("Deep", f"""
OBJECT "deep"
  EVENT 3 0 code={RECURSE}
  EVENT 7 10 code={RECURSE}
END
ROOM "only"
  INSTANCE x=0 y=0 object=0 id=100001
END
"""), frames=5, extra=["-noerrors"])
        self.assertEqual(r.returncode, 1, r.stderr)
        lines = out.splitlines()
        self.assertEqual(lines[:32], ["depth %d" % n for n in range(1, 33)])
        self.assertNotIn("depth 33", lines)
        self.assertIn("FATAL ERROR in\naction number 1\nof Other Event: User Defined 0\nfor object deep:", out)
        self.assertIn("PerformEvent recursion depth failure - check for infinite loops, check objects for parenting",
                      out)

    ERRORS = game("Err", f"""
OBJECT "e"
  EVENT 3 0 code={ERROR}
END
ROOM "only"
  INSTANCE x=0 y=0 object=0 id=100001
END
""")

    def test_runtime_errors_are_logged_and_the_game_goes_on(self):
        for extra in ([], ["-noerrors"]):
            with self.subTest(extra=extra):
                r, out = self.play(self.ERRORS, frames=2, extra=extra)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(out.count("ERROR!!! :: " + "#" * 92 + "\nERROR in\naction number 1\n"
                                           "of  Step Event0\nfor object e:\n\n\nCustom error raised by a built-in\n"), 2)
                self.assertEqual(out.count("after the error"), 2)
                # The dialog's text reaches stderr only when dialogs are on.
                self.assertEqual("Code Error..." in r.stderr, not extra)
                os.remove(self.path("out.txt"))

    def test_abort_in_the_error_dialog_ends_the_game(self):
        self.env["TARNWICKE_ERROR_ANSWER"] = "abort"
        r, out = self.play(self.ERRORS, frames=5)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(out.count("Step e 100001"), 1)

    def test_a_request_for_a_missing_room_ends_the_game_with_its_reason(self):
        r, out = self.play(game("Lost", f"""
OBJECT "g"
  EVENT 3 0 code={GOTO_MISSING}
  EVENT 7 5 code={LOG}
END
ROOM "only"
  INSTANCE x=0 y=0 object=0 id=100001
END
"""), frames=5, extra=["-noerrors"])
        self.assertEqual(r.returncode, 1)
        self.assertIn("Cannot go to room 7: there is no such room", r.stderr)
        self.assertIn("ERROR!!! :: Cannot go to room 7: there is no such room", out)
        self.assertEqual(out.count("Step g 100001"), 1)

    def test_going_past_the_last_room_of_the_order_ends_the_game_with_its_reason(self):
        # The order is 1, 0: room 1 plays first and room 0 is the last.
        r, out = self.play(game("Order", f"""
OBJECT "g"
  EVENT 3 0 code={GOTO_NEXT}
  EVENT 7 4 code={LOG}
END
ROOM "zero"
  INSTANCE x=0 y=0 object=0 id=100001
END
ROOM "one"
  INSTANCE x=0 y=0 object=0 id=100002
END
""", rooms="1,0"), frames=6, extra=["-noerrors"])
        self.assertEqual(r.returncode, 1)
        self.assertEqual([line for line in out.splitlines() if line.startswith(("Room Start", "Step"))],
                         ["Room Start g 100002", "Step g 100002", "Room Start g 100001", "Step g 100001"])
        self.assertIn("Moving to next room after the last room.", out)

    def test_motion_written_through_the_instance_variables_moves_the_instance(self):
        r, out = self.play(game("Motion", f"""
OBJECT "m"
  EVENT 0 0 code={LAUNCH_DOWN}
  EVENT 2 1 code={LOG}
  EVENT 3 2 code={LOG_MOTION}
END
ROOM "only"
  INSTANCE x=10 y=20 object=0 id=100001
END
"""), frames=3)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual([line for line in out.splitlines() if line.startswith(("at ", "refused", "Alarm"))],
                         ["refused id",
                          "at 10 23 hspeed 0 vspeed 3 alarm1 1 count 1",
                          "Alarm 1 m 100001",
                          "at 10 26 hspeed 0 vspeed 3 alarm1 0 count 1",
                          "at 10 29 hspeed 0 vspeed 3 alarm1 -1 count 1"])

    def test_an_empty_room_order_is_refused(self):
        for rooms in ("rooms=", "rooms=3"):
            with self.subTest(rooms):
                r, out = self.play(f"""
GEN8 version=13 debug=1 name="None" display="None" {rooms}
OPTN
ROOM "only"
END
EMPTY CODE
STRG
""")
                self.assertEqual(r.returncode, 1)
                self.assertIn("The game has no room to start in" if rooms == "rooms=" else "does not exist", r.stderr)
