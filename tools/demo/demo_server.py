#!/usr/bin/env python3
"""The Internet, as the Quilmer demo sees it, on 127.0.0.1 only.

Quilmer's WinINet requests reach this server through ``http_proxy``, whatever
host they name. It answers:

* the connectivity probe (``http://www.quenlor-probe.example/``) with a short page;
* the download address (``http://update.quenlor.example/download/Tavo_Q7120.exe``)
  with the stand-in setup program, paced over about ``--seconds``, so the
  progress bar has something to show; ``--size`` pads it with zero bytes (a
  Windows program ignores bytes after its last section, so the padded file
  still runs, but its signature no longer verifies: Quilmer then refuses it,
  which is how the demo shows the refusal);
* anything else as the test server does (tests/server/server.py, whose
  request handling this reuses).

Command line::

    demo_server.py --setup standin-setup.exe --port-file F [--size BYTES]
                   [--seconds S] [--log F] [--body-out F]

``--body-out`` receives a copy of the exact body served, for comparing with the
downloaded file. The server stops on SIGTERM or SIGINT.
"""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "server"))
import server  # noqa: E402  (tests/server/server.py)

DOWNLOAD_HOST = "update.quenlor.example"
DOWNLOAD_PATH = "/download/Tavo_Q7120.exe"
PIECE = 16 * 1024


class DemoHandler(server.Handler):
    body = b""
    seconds = 0.0

    def _dispatch(self, host, obj):
        if host == DOWNLOAD_HOST and obj.split("?", 1)[0] == DOWNLOAD_PATH:
            self._send_setup()
        else:
            super()._dispatch(host, obj)

    def _send_setup(self):
        body = self.body
        self._send_head(200, len(body))
        if self.command == "HEAD":
            return
        pieces = max(1, (len(body) + PIECE - 1) // PIECE)
        pause = self.seconds / pieces
        try:
            for start in range(0, len(body), PIECE):
                self.wfile.write(body[start:start + PIECE])
                if pause:
                    time.sleep(pause)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--setup", required=True, help="the stand-in setup program to serve")
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--size", type=int, default=0,
                    help="bytes served (the program padded with zeros; never less than the program, the default)")
    ap.add_argument("--seconds", type=float, default=4.0, help="about how long the transfer takes")
    ap.add_argument("--log")
    ap.add_argument("--body-out")
    opts = ap.parse_args(argv)

    with open(opts.setup, "rb") as f:
        program = f.read()
    body = program + b"\0" * max(0, opts.size - len(program))
    if opts.body_out:
        with open(opts.body_out, "wb") as f:
            f.write(body)

    DemoHandler.body = body
    DemoHandler.seconds = max(0.0, opts.seconds)
    server.Handler = DemoHandler
    args = ["--port-file", opts.port_file]
    if opts.log:
        args += ["--log", opts.log]
    return server.main(args)


if __name__ == "__main__":
    sys.exit(main())
