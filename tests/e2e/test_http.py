"""HTTP requests as a game sees them, against a small server on 127.0.0.1:
every request ends in its own asynchronous event (subtype 62) whose map
holds id, status, result, url, http_status and response_headers; failures
end in their events too and are told on the console; the game ending while
a request still runs exits cleanly."""

import re

from http_server import BIG, Server, big_body, closed_port
from twtest import RunnerTest, quoted

DISPLAY = "Http Game"

# Prints every key of async_load and remembers the maps to look at again in
# the next step, then ends the game once `expected` events have come.
ASYNC = """
var m, h, r;
m = async_load;
h = ds_map_find_value(m, "response_headers");
r = ds_map_find_value(m, "result");
if (is_string(r)) r = "len=" + string(string_length(r)) + " text=" + string_copy(r, 1, 40);
show_debug_message("ev id=" + string(ds_map_find_value(m, "id"))
  + " status=" + string(ds_map_find_value(m, "status"))
  + " http=" + string(ds_map_find_value(m, "http_status"))
  + " url=" + ds_map_find_value(m, "url")
  + " headers=" + string(ds_exists(h, ds_type_map))
  + " xtest=" + string(ds_map_find_value(h, "X-Test"))
  + " twice=" + string(ds_map_find_value(h, "X-Twice"))
  + " result=" + string(r));
seen_m[seen_n] = m; seen_h[seen_n] = h; seen_n += 1;
events += 1;
"""

BEGIN_STEP = """
var i;
for (i = 0; i < seen_n; i += 1)
  show_debug_message("after map=" + string(ds_exists(seen_m[i], ds_type_map))
    + " headers=" + string(ds_exists(seen_h[i], ds_type_map)));
seen_n = 0;
if (events >= expected) game_end();
"""


def http_game(create, expected):
    create = ('base = environment_get_variable("TW_HTTP"); events = 0; seen_n = 0;'
              ' expected = %d;\n' % expected) + create
    return "\n".join([
        f'GEN8 version=13 debug=1 name="G" display="{DISPLAY}" width=64 height=64',
        "OPTN",
        'OBJECT "control" depth=0',
        f'  EVENT 0 0 text="{quoted(create)}"',
        f'  EVENT 3 1 text="{quoted(BEGIN_STEP)}"',
        f'  EVENT 7 62 text="{quoted(ASYNC)}"',
        "END",
        'ROOM "rm0" width=64 height=64 code=0',
        "  INSTANCE x=0 y=0 object=0 id=100001 code=0",
        "END",
        "EMPTY CODE", "STRG", ""])


def events(lines):
    """{id: {key: value}} of the event lines."""
    out = {}
    for line in lines:
        if line.startswith("ev "):
            head, _, result = line[3:].partition(" result=")
            fields = dict(re.findall(r"(\w+)=(\S*)", head))
            fields["result"] = result
            out[int(fields["id"])] = fields
    return out


class Http(RunnerTest):
    def setUp(self):
        super().setUp()
        self.server = Server()
        self.addCleanup(self.server.close)
        self.env["TW_HTTP"] = self.server.base
        # The game ends itself when its events are in; this only bounds a
        # runaway.
        self.env["TARNWICKE_FRAMES"] = "100000000"

    def play(self, create, expected):
        result, lines = self.play_output(http_game(create, expected))
        return result, lines

    def started(self, lines):
        """{name: id} of the "start" lines."""
        return {m.group(1): int(m.group(2)) for m in
                (re.match(r"start (\S+) (-?\d+)$", line) for line in lines) if m}

    def test_results_of_the_request_kinds(self):
        refused = "http://127.0.0.1:%d/" % closed_port()
        _, lines = self.play(f"""
show_debug_message("start get " + string(http_get(base + "/hello")));
show_debug_message("start post " + string(http_post_string(base + "/echo", "a=1&b=2")));
show_debug_message("start missing " + string(http_get(base + "/missing")));
show_debug_message("start redirect " + string(http_get(base + "/redirect")));
show_debug_message("start big " + string(http_get(base + "/big")));
show_debug_message("start unsized " + string(http_get(base + "/big-unsized")));
show_debug_message("start refused " + string(http_get("{refused}")));
hm = ds_map_create(); ds_map_add(hm, "X-Custom", "abc"); ds_map_add(hm, "X-Number", 5);
show_debug_message("start put " + string(http_request(base + "/echo", "PUT", hm, "put body")));
show_debug_message("start ftp " + string(http_get("ftp://127.0.0.1/")));
show_debug_message("start caps " + string(http_get("HTTP://127.0.0.1/")));
show_debug_message("start caps_post " + string(http_post_string("Http://127.0.0.1/", "x")));
show_debug_message("start caps_request " + string(http_request("HTTPS://127.0.0.1/", "GET", hm, "")));
""", 8)
        ids = self.started(lines)
        self.assertEqual(ids, {"get": 0, "post": 1, "missing": 2, "redirect": 3, "big": 4, "unsized": 5,
                               "refused": 6, "put": 7, "ftp": -1, "caps": -1, "caps_post": -1,
                               "caps_request": -1})
        ev = events(lines)
        self.assertEqual(sorted(ev), list(range(8)))
        base = self.server.base
        self.assertEqual(ev[0], {"id": "0", "status": "0", "http": "200", "url": base + "/hello", "headers": "1",
                                 "xtest": "one", "twice": "first", "result": "len=11 text=hello world"})
        self.assertEqual((ev[1]["status"], ev[1]["http"], ev[1]["result"]), ("0", "200", "len=12 text=POST a=1&b=2"))
        self.assertEqual((ev[2]["status"], ev[2]["http"], ev[2]["result"]), ("0", "404", "len=8 text=not here"))
        # The redirect is followed: the answer is the one of its target.
        self.assertEqual((ev[3]["http"], ev[3]["xtest"], ev[3]["result"]), ("200", "one", "len=11 text=hello world"))
        self.assertEqual(ev[3]["url"], base + "/redirect")
        # Never cut at the first block's size, with or without a length.
        for i in (4, 5):
            self.assertEqual(ev[i]["result"], "len=%d text=%s" % (BIG, big_body()[:40].decode()))
            self.assertEqual(ev[i]["status"], "0")
        # A refused connection still ends in its event, and the console says why.
        self.assertEqual((ev[6]["status"], ev[6]["http"], ev[6]["headers"], ev[6]["result"]),
                         ("-1", "0", "0", "len=0 text="))
        self.assertTrue(any(line.startswith("HttpError:") for line in lines), lines)
        self.assertEqual(ev[7]["result"], "len=12 text=PUT put body")
        # The maps live through the event only.
        after = [line for line in lines if line.startswith("after ")]
        self.assertEqual(len(after), 8)
        self.assertEqual(set(after), {"after map=0 headers=0"})

        by_path = {}
        for s in self.server.seen:
            by_path.setdefault((s["method"], s["path"]), s)
        post = by_path[("POST", "/echo")]
        self.assertEqual(post["body"], b"a=1&b=2")
        self.assertEqual(post["headers"]["content-type"], "application/x-www-form-urlencoded")
        self.assertEqual(post["headers"]["user-agent"], "Tarnwicke HTTP")
        put = by_path[("PUT", "/echo")]
        self.assertEqual(put["body"], b"put body")
        self.assertEqual(put["headers"]["x-custom"], "abc")
        self.assertEqual(put["headers"]["x-number"], "5")
        # Only the script's header lines go with a request of its own.
        self.assertNotIn("content-type", put["headers"])
        self.assertIn(("GET", "/hello"), by_path)

    def test_buffers_as_body_and_as_target(self):
        _, lines = self.play("""
hm = ds_map_create();
into = buffer_create(4, 1, 1);
show_debug_message("start into " + string(http_request(base + "/hello", "GET", hm, into)));
body = buffer_create(8, 0, 1);
buffer_write(body, 1, 65); buffer_write(body, 1, 0); buffer_write(body, 1, 66);
show_debug_message("start body " + string(http_request(base + "/echo", "POST", hm, body)));
gone = buffer_create(4, 1, 1);
show_debug_message("start gone " + string(http_request(base + "/hello", "GET", hm, gone)));
buffer_delete(gone);
spare = buffer_create(4, 1, 1);
show_debug_message("reused " + string(spare == gone));
show_debug_message("start nobuffer " + string(http_request(base + "/hello", "GET", hm, 99)));
""" , 3)
        self.assertEqual(self.started(lines), {"into": 0, "body": 1, "gone": 2, "nobuffer": -1})
        self.assertIn("reused 1", lines)
        ev = events(lines)
        self.assertEqual(sorted(ev), [0, 1, 2])
        # Written from position 0; the map says where.
        self.assertEqual((ev[0]["status"], ev[0]["result"]), ("0", "0"))
        # A deleted buffer is not written (its id names another one now).
        self.assertEqual((ev[2]["status"], ev[2]["result"]), ("-1", "-1"))
        # Every byte up to the position is sent, the NUL too.
        sent = [s for s in self.server.seen if s["path"] == "/echo"]
        self.assertEqual(sent[0]["body"], b"A\x00B")
        self.assertEqual(sent[0]["method"], "POST")
        self.assertEqual(len(self.server.seen), 3)

    def test_buffer_contents_after_the_event(self):
        async_read = ("if (ds_map_find_value(async_load, \"id\") == 0) {"
                      " buffer_seek(into, 0, 0); show_debug_message(\"into \" + buffer_read(into, 11));"
                      " show_debug_message(\"spare \" + string(buffer_peek(spare, 0, 1))); }")
        game = http_game("""
hm = ds_map_create();
gone = buffer_create(4, 1, 1);
http_request(base + "/hello", "GET", hm, gone);
buffer_delete(gone);
spare = buffer_create(4, 1, 1);
buffer_poke(spare, 0, 1, 7);
into = buffer_create(4, 1, 1);
http_request(base + "/hello", "GET", hm, into);
""", 2).replace('EVENT 7 62 text="', 'EVENT 7 62 text="' + quoted(async_read.replace("== 0", "== 1")) + " ", 1)
        _, lines = self.play_output(game)
        self.assertIn("into hello world", lines)
        self.assertIn("spare 7", lines)

    def test_https_is_chosen_by_the_scheme(self):
        # The server speaks plain HTTP on a port that is not 443: a TLS
        # client hello arrives, and the request fails in its event.
        _, lines = self.play('show_debug_message("start tls " + string(http_get('
                             'string_replace(base, "http://", "https://") + "/hello")));', 1)
        ev = events(lines)
        self.assertEqual((ev[0]["status"], ev[0]["http"]), ("-1", "0"))
        self.assertTrue(any(line.startswith("HttpError:") for line in lines), lines)
        self.assertEqual(self.server.httpd.first_bytes[:1], [b"\x16"])

    def test_nine_at_once_eight_run(self):
        _, lines = self.play("""
var i;
for (i = 0; i < 9; i += 1) show_debug_message("start r" + string(i) + " " + string(http_get(base + "/hold")));
""", 9)
        self.assertEqual(self.started(lines), {"r%d" % i: i for i in range(9)})
        ev = events(lines)
        self.assertEqual(sorted(ev), list(range(9)))
        for e in ev.values():
            self.assertEqual((e["status"], e["result"]), ("0", "len=4 text=held"))
        # The ninth waited for a free worker.
        self.assertEqual(self.server.httpd.peak, 8)

    def test_game_ending_during_a_slow_request(self):
        # The server holds the answer until the test ends: the runner must
        # stop the transfer itself to exit.
        _, lines = self.play("""
show_debug_message("start slow " + string(http_get(base + "/slow")));
expected = 0;
""", 0)
        self.assertEqual(self.started(lines), {"slow": 0})
        self.assertEqual(events(lines), {})
        self.assertTrue(self.server.httpd.slow_started.is_set())
