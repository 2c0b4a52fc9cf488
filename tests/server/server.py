#!/usr/bin/env python3
"""Local HTTP server that stands in for the Internet in Quilmer's tests.

It answers both as an origin server (``GET /path`` with a Host header) and as a
proxy (``GET http://host:80/path HTTP/1.1``, which is what WinINet sends when
``http_proxy`` points at us), so a test can use any host name it likes.  It
listens on 127.0.0.1 only.

Command line::

    server.py --port-file F [--log F] [--port N] [--serve HOST/PATH=FILE ...]

With ``--tls-cert``/``--tls-key`` a ``CONNECT`` through the proxy gets a
tunnel in which the server ends TLS with that certificate and answers the
requests inside like any other.

``--port-file`` receives the port once the socket listens (written whole, by a
rename).  ``--log`` receives every request's head as it arrives.  ``--serve``
(repeatable) answers ``http://HOST/PATH`` with the bytes of a local file.

What a request gets is decided, in this order, by
1. the route table: an exact (host, object) match, then (host, path without
   query), where a route leads either to a local file or to a behaviour path;
2. the behaviour named by the path itself, on any host (below);
3. otherwise 404.

Behaviour paths (anything may follow the listed segments, e.g. a file name)::

    /t/ok/<n>/...            200, Content-Length n, body byte i is i % 251
    /t/<ddd>/...             status ddd (e.g. 401, 404, 407, 500) with a short
                             text body; 401 adds WWW-Authenticate and 407
                             Proxy-Authenticate (Basic)
    /t/nolength/<n>/...      200 without Content-Length: n bytes, then close
    /t/zero/...              200, Content-Length 0, no body
    /t/short/<a>/<s>/...     200, Content-Length a, only s bytes, then close
    /t/long/<a>/<s>/...      200, Content-Length a, then s bytes (s > a) in the
                             same write as the head, then close
    /t/length/<n>/...?cl=T   200 with the Content-Length header's text T exactly
                             (percent-encoded; may be empty), n bytes, close
    /t/chunked/<n>/...       200 without Content-Length, n bytes in chunked
                             transfer coding
    /t/redirect/...?to=URL   302 to URL (percent-encoded)
    /t/drip/<n>/<ms>/...     200, Content-Length n, sent in 1024-byte pieces
                             with a pause of ms milliseconds before each piece
    /t/delay/<ms>/[<n>/]...  wait ms before the response head, then as /t/ok/n
                             (n defaults to 1024)
    /t/reset/...             the connection is reset without any response
    /t/fail-once/...         the first request for this exact target is reset,
                             every later one gets 200 with a short body

The body pattern (i % 251) lets a test check every byte of a downloaded file.

Default routes::

    update.quenlor.example /download/Tavo_Q7120.exe  ->  /t/ok/262144/
    www.quenlor-probe.example /                      ->  a short HTML page

Control host ``control.test`` (through the proxy like any other host; its
requests are not logged).  Every answer is text/plain::

    GET /requests                       the request log: per request its request
                                        line, then one "Name: value" line per
                                        header, then an empty line
    GET /reset                          empty the log and the fail-once memory
    GET /route?host=H&path=P&to=B       route http://H/P to behaviour path B
    GET /route?host=H&path=P&file=F     route http://H/P to local file F
    GET /route?host=H&path=P&file=F&drip=ms
                                        the same, sent in 1024-byte pieces with
                                        a pause of ms milliseconds before each
    GET /unroute?host=H&path=P          remove that route

Query values are percent-encoded.  The server stops on SIGTERM or SIGINT.
"""

import argparse
import os
import signal
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CONTROL_HOST = "control.test"
DEFAULT_ROUTES = {
    ("update.quenlor.example", "/download/Tavo_Q7120.exe"): ("to", "/t/ok/262144/"),
    ("www.quenlor-probe.example", "/"): ("page", b"<html><body>quenlor probe</body></html>\n"),
}

PATTERN_PERIOD = 251
_BLOCK = 64 * 1024
_PATTERN = bytes(i % PATTERN_PERIOD for i in range(_BLOCK + PATTERN_PERIOD))


def pattern(length):
    """The first length bytes of the pattern, any length."""
    return b"".join(pattern_bytes(off, min(_BLOCK, length - off)) for off in range(0, length, _BLOCK))


def pattern_bytes(offset, length):
    """Bytes offset..offset+length of the endless i % 251 pattern (length <= 64 KiB)."""
    start = offset % PATTERN_PERIOD
    return _PATTERN[start:start + length]


class State:
    """What all handler threads share; every access holds ``lock``."""

    def __init__(self, log_path):
        self.lock = threading.Lock()
        self.requests = []
        self.seen_fail_once = set()
        self.routes = dict(DEFAULT_ROUTES)
        self.log_path = log_path

    def record(self, head):
        with self.lock:
            self.requests.append(head)
            if self.log_path:
                with open(self.log_path, "a", encoding="utf-8") as f:
                    f.write(head + "\n")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuilmerTestServer/1"
    state = None  # set by main()

    def log_message(self, fmt, *args):
        pass

    def _target(self):
        """(host, object) of the request, whether absolute-form or origin-form."""
        if "://" in self.path:
            parts = urllib.parse.urlsplit(self.path)
            host = parts.hostname or ""
            obj = parts.path or "/"
            if parts.query:
                obj += "?" + parts.query
        else:
            host = (self.headers.get("Host") or "").rsplit(":", 1)[0]
            obj = self.path
        return host.lower(), obj

    def do_GET(self):
        host, obj = self._target()
        if host == CONTROL_HOST:
            self._control(obj)
            return
        head = [self.requestline] + ["%s: %s" % (k, v) for k, v in self.headers.items()]
        self.state.record("\n".join(head) + "\n")
        self._dispatch(host, obj)

    do_HEAD = do_GET

    def do_CONNECT(self):
        """A tunnel through the proxy: with --tls-cert, TLS is ended here with
        that certificate and the requests inside are answered like any other
        (logged as "TLS <request line>"); without it, 405."""
        self.state.record(self.requestline + "\n")
        tls = getattr(self.server, "tls", None)
        if tls is None:
            self._send_text(405, "no TLS here\n")
            return
        self.send_response(200, "Connection established")
        self.end_headers()
        self.wfile.flush()
        self.close_connection = True
        try:
            conn = tls.wrap_socket(self.connection, server_side=True)
        except (ssl.SSLError, OSError):
            return  # the client refused the certificate
        try:
            TunnelHandler(conn, self.client_address, self.server)
        except (ssl.SSLError, OSError):
            pass

    # ----- answers

    def _send_head(self, status, length=None, extra=()):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        if length is not None:
            self.send_header("Content-Length", str(length))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()

    def _send_pattern(self, length, piece=_BLOCK, pause=0.0):
        if self.command == "HEAD":
            return
        sent = 0
        while sent < length:
            if pause:
                time.sleep(pause)
            n = min(piece, length - sent)
            self.wfile.write(pattern_bytes(sent, n))
            sent += n

    def _send_text(self, status, text, extra=()):
        body = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _reset(self):
        """Drop the connection with a TCP reset and no response."""
        self.close_connection = True
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()

    def _send_file(self, path, pause=0.0):
        try:
            f = open(path, "rb")
        except OSError as e:
            self._send_text(500, "cannot open %s: %s\n" % (path, e))
            return
        with f:
            size = os.fstat(f.fileno()).st_size
            self._send_head(200, size)
            if self.command == "HEAD":
                return
            while True:
                if pause:
                    time.sleep(pause)
                block = f.read(1024 if pause else _BLOCK)
                if not block:
                    break
                self.wfile.write(block)

    def _dispatch(self, host, obj):
        with self.state.lock:
            route = self.state.routes.get((host, obj)) or self.state.routes.get((host, obj.split("?", 1)[0]))
        if route:
            kind, value = route
            if kind == "file":
                try:
                    self._send_file(*value) if isinstance(value, tuple) else self._send_file(value)
                except (BrokenPipeError, ConnectionResetError):
                    self.close_connection = True
                return
            if kind == "page":
                self._send_head(200, len(value))
                if self.command != "HEAD":
                    self.wfile.write(value)
                return
            obj = value
        self._behave(obj)

    def _behave(self, obj):
        path = obj.split("?", 1)[0]
        seg = [s for s in path.split("/") if s]
        if len(seg) < 2 or seg[0] != "t":
            self._send_text(404, "no such file\n")
            return
        name, args = seg[1], seg[2:]

        def num(i, default=None):
            try:
                return int(args[i])
            except (IndexError, ValueError):
                if default is None:
                    raise
                return default

        try:
            if name == "ok":
                n = num(0)
                self._send_head(200, n)
                self._send_pattern(n)
            elif len(name) == 3 and name.isdigit():
                status = int(name)
                extra = ()
                if status == 401:
                    extra = (("WWW-Authenticate", 'Basic realm="quilmer-test"'),)
                elif status == 407:
                    extra = (("Proxy-Authenticate", 'Basic realm="quilmer-test"'),)
                self._send_text(status, "status %d\n" % status, extra)
            elif name == "nolength":
                self._send_head(200, None)
                self._send_pattern(num(0))
            elif name == "zero":
                self._send_head(200, 0)
            elif name == "short":
                announced, sent = num(0), num(1)
                self._send_head(200, announced)
                self._send_pattern(sent)
                self.wfile.flush()
                self.close_connection = True
            elif name == "long":
                # Head and body in one write, so the client receives bytes past
                # the announced end together with the head (a client reading in
                # pieces would otherwise see the surplus only by chance).
                announced, sent = num(0), num(1)
                head = ("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                        "Content-Length: %d\r\n\r\n" % announced).encode("ascii")
                self.log_request(200)
                self.wfile.write(head + (b"" if self.command == "HEAD" else pattern(sent)))
                self.wfile.flush()
                self.close_connection = True
            elif name == "length":
                query = dict(urllib.parse.parse_qsl(obj.partition("?")[2], keep_blank_values=True))
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", query.get("cl", ""))
                self.send_header("Connection", "close")
                self.end_headers()
                self._send_pattern(num(0))
                self.wfile.flush()
                self.close_connection = True
            elif name == "chunked":
                n = num(0)
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Transfer-Encoding", "chunked")
                self.end_headers()
                if self.command != "HEAD":
                    for off in range(0, n, 4096):
                        piece = pattern_bytes(off, min(4096, n - off))
                        self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
                    self.wfile.write(b"0\r\n\r\n")
            elif name == "redirect":
                query = dict(urllib.parse.parse_qsl(obj.partition("?")[2]))
                self._send_text(302, "moved\n", (("Location", query.get("to", "/")),))
            elif name == "drip":
                n, ms = num(0), num(1)
                self._send_head(200, n)
                self._send_pattern(n, piece=1024, pause=ms / 1000.0)
            elif name == "delay":
                time.sleep(num(0) / 1000.0)
                n = num(1, 1024)
                self._send_head(200, n)
                self._send_pattern(n)
            elif name == "reset":
                self._reset()
            elif name == "fail-once":
                with self.state.lock:
                    first = obj not in self.state.seen_fail_once
                    self.state.seen_fail_once.add(obj)
                if first:
                    self._reset()
                else:
                    self._send_text(200, "second time lucky\n")
            else:
                self._send_text(404, "unknown behaviour %s\n" % name)
        except (IndexError, ValueError):
            self._send_text(400, "bad behaviour path %s\n" % path)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    # ----- control

    def _control(self, obj):
        parts = urllib.parse.urlsplit(obj)
        query = dict(urllib.parse.parse_qsl(parts.query))
        st = self.state
        if parts.path == "/requests":
            with st.lock:
                text = "\n".join(st.requests)
            self._send_text(200, text)
        elif parts.path == "/reset":
            with st.lock:
                st.requests.clear()
                st.seen_fail_once.clear()
            self._send_text(200, "ok\n")
        elif parts.path in ("/route", "/unroute") and "host" in query and "path" in query:
            key = (query["host"].lower(), query["path"])
            with st.lock:
                if parts.path == "/unroute":
                    st.routes.pop(key, None)
                elif "file" in query and "drip" in query:
                    st.routes[key] = ("file", (query["file"], int(query["drip"]) / 1000.0))
                elif "file" in query:
                    st.routes[key] = ("file", query["file"])
                elif "to" in query:
                    st.routes[key] = ("to", query["to"])
                else:
                    key = None
            if key is None:
                self._send_text(400, "route needs to= or file=\n")
            else:
                self._send_text(200, "ok\n")
        else:
            self._send_text(404, "unknown control request %s\n" % parts.path)


class TunnelHandler(Handler):
    """Requests that arrived inside a TLS tunnel."""

    def do_GET(self):
        host, obj = self._target()
        head = ["TLS " + self.requestline] + ["%s: %s" % (k, v) for k, v in self.headers.items()]
        self.state.record("\n".join(head) + "\n")
        self._dispatch(host, obj)

    do_HEAD = do_GET


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64


def parse_serve(option):
    """HOST/PATH=FILE -> ((host, "/PATH"), ("file", FILE))."""
    target, sep, path = option.partition("=")
    host, slash, obj = target.partition("/")
    if not sep or not slash or not host:
        raise argparse.ArgumentTypeError("expected HOST/PATH=FILE, got %r" % option)
    return (host.lower(), "/" + obj), ("file", os.path.abspath(path))


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--log")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--serve", action="append", type=parse_serve, default=[])
    ap.add_argument("--tls-cert", help="PEM chain (leaf first) that CONNECT tunnels end TLS with")
    ap.add_argument("--tls-key", help="the leaf's PEM key")
    opts = ap.parse_args(argv)

    Handler.state = State(opts.log)
    for key, route in opts.serve:
        Handler.state.routes[key] = route

    server = Server(("127.0.0.1", opts.port), Handler)
    server.tls = None
    if opts.tls_cert:
        server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.tls.load_cert_chain(opts.tls_cert, opts.tls_key)
    tmp = opts.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(tmp, opts.port_file)

    def stop(*_):
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    server.serve_forever(poll_interval=0.2)
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
