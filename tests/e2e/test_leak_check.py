"""The end-of-process leak check of a sanitized runner. The check stops
every thread it finds and walks its stack; each thread left running at that
point is one more chance for the checker itself to fail and turn a clean run
red. The graphics driver's threads must be gone by then, and real leaks must
still be reported. In an unsanitized build there is no check to look at."""

from test_tws_programs import TREE, game
from twtest import RunnerTest



class LeakCheck(RunnerTest):
    def checked_run(self, description, args=(), frames="3"):
        path = self.pack(description)
        # The checker names each thread it walks.
        self.env.update({"LSAN_OPTIONS": "log_threads=1", "TARNWICKE_FRAMES": frames})
        result = self.run_runner(["-game", path] + list(args))
        walked = [l for l in result.stderr.splitlines() if "Processing thread" in l]
        if not walked:
            self.skipTest("the runner is not built with the leak checker")
        return result, walked

    def test_only_the_main_thread_is_left_when_the_check_runs(self):
        cases = [
            ("game ends in the first step", game("game_end();"), (), "3"),
            ("game ends in the first step, interpreter", game("game_end();"), TREE, "3"),
            ("frames drawn, then the window closes", game("x = 1;"), (), "5"),
            ("data structures left holding strings", game(
                's = ds_stack_create(); ds_stack_push(s, "a"); q = ds_queue_create(); ds_queue_enqueue(q, "b");'
                ' p = ds_priority_create(); ds_priority_add(p, "c", "d"); game_end();'), (), "3"),
        ]
        for name, description, args, frames in cases:
            with self.subTest(name):
                result, walked = self.checked_run(description, args, frames)
                self.assertEqual(result.returncode, 0, result.stderr[-3000:])
                self.assertNotIn("detected memory leaks", result.stderr)
                self.assertEqual(len(walked), 1, "\n".join(walked))
