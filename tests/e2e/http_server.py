"""A small HTTP server on 127.0.0.1 for the request tests: it answers a few
fixed paths and records what it was sent."""

import socket
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

BIG = 200_000  # past the 131,072 bytes of a first block


def big_body():
    return bytes(b"0123456789abcdef"[i % 16] for i in range(BIG))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def handle(self):
        # What arrived first, to tell a TLS handshake from a request line.
        try:
            self.server.first_bytes.append(self.connection.recv(1, socket.MSG_PEEK))
        except OSError:
            pass
        super().handle()

    def reply(self, status, body, headers=(), length=True):
        self.send_response(status)
        for k, v in headers:
            self.send_header(k, v)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def record(self):
        n = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(n) if n else b""
        seen = {"method": self.command, "path": self.path, "body": body,
                "headers": {k.lower(): v for k, v in self.headers.items()}}
        self.server.seen.append(seen)
        return seen

    def serve(self):
        seen = self.record()
        path = self.path
        if path in self.server.files:
            self.reply(200, self.server.files[path])
        elif path == "/hello":
            self.reply(200, b"hello world", [("X-Test", "one"), ("X-Twice", "first"), ("X-Twice", "second")])
        elif path == "/echo":
            self.reply(200, b"%s %s" % (seen["method"].encode(), seen["body"]))
        elif path == "/missing":
            self.reply(404, b"not here")
        elif path == "/redirect":
            self.reply(302, b"", [("Location", "/hello")])
        elif path == "/big":
            self.reply(200, big_body())
        elif path == "/big-unsized":
            # No length: the body ends when the connection closes.
            self.reply(200, big_body(), length=False)
        elif path == "/hold":
            # Held until eight are in at once (or a while has passed), so the
            # peak shows how many ran together.
            with self.server.lock:
                self.server.holding += 1
                self.server.peak = max(self.server.peak, self.server.holding)
                if self.server.holding >= 8:
                    self.server.release.set()
            self.server.release.wait(5)
            with self.server.lock:
                self.server.holding -= 1
            self.reply(200, b"held")
        elif path == "/slow":
            self.server.slow_started.set()
            self.server.stop.wait(120)
            self.reply(200, b"late")
        else:
            self.reply(404, b"")

    do_GET = do_POST = do_PUT = do_DELETE = do_PATCH = serve


class Server:
    def __init__(self):
        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        # A client that went away (the game ended) is no failure here.
        self.httpd.handle_error = lambda request, address: None
        self.httpd.seen = []
        # Bodies a test serves with status 200, by path.
        self.httpd.files = {}
        self.httpd.first_bytes = []
        self.httpd.lock = threading.Lock()
        self.httpd.holding = 0
        self.httpd.peak = 0
        self.httpd.release = threading.Event()
        self.httpd.stop = threading.Event()
        self.httpd.slow_started = threading.Event()
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()
        self.base = "http://127.0.0.1:%d" % self.httpd.server_address[1]

    def close(self):
        self.httpd.stop.set()
        self.httpd.release.set()
        self.httpd.shutdown()
        self.httpd.server_close()

    @property
    def files(self):
        return self.httpd.files

    @property
    def seen(self):
        return self.httpd.seen


def closed_port():
    """A loopback port nobody listens on."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port
