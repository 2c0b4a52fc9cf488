#!/usr/bin/env python3
"""End-to-end scenarios of Quilmer.exe: the real program under Wine, the test
server as the Internet, a driver program as the user's hands.

    e2e.py --build <build folder> <group> [--only <scenario>] [--keep]

Groups (one ctest each): download, cancel, failures, offline (run it inside
``tests/harness/with-server.sh --offline``), locale, paths, planting, trust, https. ``--list`` names
the scenarios of every group.

Each scenario starts its own test server (tests/server/server.py, serving the
stand-in setup program as the download address's file), starts the driver
(e2e_driver.exe: reads windows, presses buttons), lets the driver launch
Quilmer.exe with the server as ``http_proxy``, a temporary folder of the
scenario's own (TEMP/TMP) and QUILMER_STANDIN_MARKER pointing at a marker file
the stand-in writes when it runs, and then reads the outcome from the disk.
Every wait is bounded; a scenario that times out fails.
"""

import argparse
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import traceback
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))

DOWNLOAD_HOST = "update.quenlor.example"
DOWNLOAD_PATH = "/download/Tavo_Q7120.exe"
SETUP_NAME = "Tavo_Real_Setup.exe"
CAPTION = "Quilmer"  # message boxes: the executable's name

IDOK, IDCANCEL, IDRETRY, IDYES, IDNO = 1, 2, 4, 6, 7
IDC_TITLE, IDC_DESCRIPTION, IDC_PERCENT, IDC_FILE_STATUS, IDC_PROGRESS, IDC_SKIN_PROGRESS = (
    50, 51, 1000, 1450, 1500, 32343)
VK_ESCAPE = 0x1B
SS_TYPEMASK, SS_RIGHT = 0x1F, 0x2
WS_EX_RIGHT, WS_EX_RTLREADING = 0x1000, 0x2000
MB_YESNO, MB_ICONEXCLAMATION = 0x4, 0x30
MB_RTLREADING_RIGHT = 0x00100000 | 0x00080000  # MB_RTLREADING | MB_RIGHT

EN_TITLE = "Downloading Setup file"
EN_DESCRIPTION = "Quenlor Tavo Setup file is being downloaded. Wait a minute."
EN_FILE_STATUS = "Downloading Tavo_Real_Setup.exe..."
EN_CONFIRM = "Setup is not complete. Are you sure you want to exit setup?"
EN_NOT_CONNECTED = ("You are not connected to the Internet. Installation cannot proceed. "
                    "Please check the Internet connection and try again.")
EN_NOT_VERIFIED = ("The downloaded setup file could not be verified, so it was not started and has been "
                   "deleted. Please try again later.")
KO_TITLE = "설치 파일 다운로드 중"
KO_CANCEL = "취소"
KO_NOT_CONNECTED = ("인터넷이 연결되어 있지 않아 설치를 계속할 수 없습니다.\r\n"
                    "인터넷 연결 후 다시 시도해 주십시오.")

# The layout of the 474 x 285 client area with the 107-pixel logo.
EXPECTED_RECTS = {
    IDC_TITLE: [20, 50, 454, 65],
    IDC_DESCRIPTION: [20, 70, 454, 85],
    IDC_FILE_STATUS: [20, 207, 454, 222],
    IDC_PERCENT: [404, 207, 454, 222],
    IDC_SKIN_PROGRESS: [20, 227, 464, 237],
    IDCANCEL: [199, 252, 274, 277],
}


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def wait_for(what, probe, timeout=15.0, interval=0.05):
    """Calls probe until it returns something true; that value, or Failure."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# ----------------------------------------------------------------------------------

class Server:
    """tests/server/server.py on 127.0.0.1, the stand-in setup as the download."""

    def __init__(self, work, standin, port=0, tls=None):
        """tls: the name of a certificate of build/tls (cmake/TestTlsCertificates.cmake)
        that CONNECT tunnels end TLS with."""
        self.work = work
        port_file = os.path.join(work, "port")
        self.log = os.path.join(work, "requests.log")
        self.out = open(os.path.join(work, "server.out"), "w")
        self.proc = subprocess.Popen(
            [sys.executable, os.path.join(SOURCE, "tests", "server", "server.py"),
             "--port-file", port_file, "--log", self.log, "--port", str(port),
             "--serve", "%s%s=%s" % (DOWNLOAD_HOST, DOWNLOAD_PATH, standin)] + (
                ["--tls-cert", tls + "-chain.pem", "--tls-key", tls + ".key"] if tls else []),
            stdin=subprocess.DEVNULL, stdout=self.out, stderr=subprocess.STDOUT)
        wait_for("the test server", lambda: os.path.exists(port_file) or self.proc.poll() is not None)
        check(self.proc.poll() is None, "the test server did not start")
        with open(port_file) as f:
            self.port = int(f.read())

    def control(self, path):
        opener = urllib.request.build_opener(
            urllib.request.ProxyHandler({"http": "http://127.0.0.1:%d" % self.port}))
        with opener.open("http://control.test" + path, timeout=10) as r:
            return r.read().decode("utf-8")

    def route_download(self, behaviour):
        self.control("/route?host=%s&path=%s&to=%s" % (
            DOWNLOAD_HOST, urllib.request.quote(DOWNLOAD_PATH), urllib.request.quote(behaviour)))

    def route_download_file(self, path, drip_ms=0):
        """Serves the local file path as the download; with drip_ms, 1 KiB at a
        time, drip_ms milliseconds apart."""
        self.control("/route?host=%s&path=%s&file=%s%s" % (
            DOWNLOAD_HOST, urllib.request.quote(DOWNLOAD_PATH), urllib.request.quote(path),
            "&drip=%d" % drip_ms if drip_ms else ""))

    def requests(self):
        """Request lines received so far (control requests are not logged)."""
        return [block.split("\n", 1)[0] for block in self.control("/requests").split("\n\n") if block.strip()]

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        self.out.close()


class Driver:
    """e2e_driver.exe under Wine: one command a line in, one JSON line out.
    Wine's own messages (stderr, inherited by the programs it launches) go to
    stderr_path, or nowhere."""

    def __init__(self, env, wine_env, stderr_path=None):
        self.stderr = open(stderr_path, "w") if stderr_path else subprocess.DEVNULL
        self.proc = subprocess.Popen(
            [env.wine_run, env.driver], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=self.stderr, env=wine_env, text=True, encoding="utf-8")

    def ask(self, *args):
        self.proc.stdin.write("\t".join(str(a) for a in args) + "\n")
        self.proc.stdin.flush()
        line = self.proc.stdout.readline()
        if not line:
            raise Failure("the driver ended")
        reply = json.loads(line)
        if "error" in reply:
            raise Failure("driver: %s %s" % (args[0], reply["error"]))
        return reply

    def close(self):
        try:
            self.proc.stdin.write("quit\n")
            self.proc.stdin.flush()
            self.proc.wait(10)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()
        if self.stderr is not subprocess.DEVNULL:
            self.stderr.close()


class Env:
    def __init__(self, build):
        self.build = os.path.abspath(build)
        self.wine_run = os.path.join(self.build, "harness", "wine-run")
        self.quilmer = os.path.join(self.build, "Quilmer.exe")
        # The download the scenarios serve is the stand-in signed by the pinned
        # development signer; the other forms are the trust scenarios' attacks
        # (all made on the build host by tools/standin-setup).
        standins = os.path.join(self.build, "tools", "standin-setup")
        self.standin = os.path.join(standins, "standin-signed.exe")
        self.unsigned = os.path.join(standins, "standin-setup.exe")
        self.variant = lambda name: os.path.join(standins, "standin-%s.exe" % name)
        self.driver = os.path.join(self.build, "tests", "e2e", "e2e_driver.exe")
        self.planted_dll = os.path.join(self.build, "tests", "e2e", "planted_dll.dll")
        self.quilmer_https = os.path.join(self.build, "tests", "e2e", "https", "Quilmer.exe")
        self.tls_control = os.path.join(self.build, "tests", "e2e", "tls_control.exe")
        self.planting_control = os.path.join(self.build, "tests", "e2e", "planting_control.exe")
        self.unchecked = os.path.join(self.build, "tests", "e2e", "e2e_unchecked_launcher.exe")
        display_file = os.path.join(self.build, "harness", "xdisplay")
        self.display = ":" + open(display_file).read().strip() if os.path.exists(display_file) else None
        for path in (self.quilmer, self.standin, self.unsigned, self.driver, self.unchecked):
            if not os.path.exists(path):
                raise Failure("missing %s: build first" % path)


# Wine's relay trace (WINEDEBUG=+relay) of just the message box calls: the rest
# of the program's calls would bury them and slow it down. One line a call:
#   0024:Call user32.MessageBoxW(00010060,0061fa04 L"text",0040c000 L"Quilmer",00180030) ret=...
RELAYED_FUNCTIONS = "user32.MessageBoxW;user32.MessageBoxA;user32.MessageBoxExW;user32.MessageBoxExA"
_RELAY_STRING = r'[0-9a-f]+(?: L?"(?:[^"\\]|\\.)*"(?:\.\.\.)?)?'
MESSAGE_BOX_CALL = re.compile(r'Call user32\.(MessageBox(?:Ex)?[AW])\([0-9a-f]+,%s,%s,([0-9a-f]+)[,)]'
                              % (_RELAY_STRING, _RELAY_STRING))
_relay_ready = set()


def relay_message_boxes_only(env):
    """Restricts the relay trace of the build's Wine prefix to the message box
    calls (a value that has no effect without +relay)."""
    if env.build in _relay_ready:
        return
    r = subprocess.run([env.wine_run, "reg", "add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude",
                        "/t", "REG_SZ", "/d", RELAYED_FUNCTIONS, "/f"],
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    check(r.returncode == 0, "cannot restrict the relay trace: %s" % r.stderr.decode(errors="replace"))
    _relay_ready.add(env.build)


class Run:
    """One scenario's world: a work folder, a server, a driver, one Quilmer.exe."""

    def __init__(self, env, name, temp_dir=None, extra_env=None, server_port=0, start_server=True,
                 keep=False, trace_message_boxes=False, tls=None):
        self.env = env
        self.keep = keep
        self.work = tempfile.mkdtemp(prefix="quilmer-e2e-%s-" % name)
        self.temp = temp_dir or os.path.join(self.work, "Temp")
        os.makedirs(self.temp, exist_ok=True)
        self.marker = os.path.join(self.work, "standin.ran")
        self.server = Server(self.work, env.standin, server_port,
                             tls and os.path.join(env.build, "tls", tls)) if start_server else None
        self.port = self.server.port if self.server else server_port
        self.wine_env = dict(os.environ)
        if env.display and not self.wine_env.get("QUILMER_USE_OWN_DISPLAY"):
            self.wine_env["DISPLAY"] = env.display
        self.wine_env["http_proxy"] = "http://127.0.0.1:%d" % self.port
        # Given to the driver's own start as well: Wine takes a process's locale
        # from the Linux environment it was started with, which a child started
        # by CreateProcess inherits from its parent's start.
        self.extra_env = dict(extra_env or {})
        self.wine_trace = None
        if trace_message_boxes:
            relay_message_boxes_only(env)
            self.wine_trace = os.path.join(self.work, "wine-trace.log")
            self.extra_env["WINEDEBUG"] = "+relay"
        self.wine_env.update(self.extra_env)
        self.driver = Driver(env, self.wine_env, self.wine_trace)
        self.started = None
        self.shot_count = 0

    # -- the program

    def launch(self, temp_windows=None, program=None, launch_env=None):
        """Starts Quilmer.exe (or program, with the same environment);
        launch_env: more variables for that process alone."""
        temp_windows = temp_windows or windows_path(self.temp) + "\\"
        variables = {"TEMP": temp_windows, "TMP": temp_windows,
                     "QUILMER_STANDIN_MARKER": windows_path(self.marker),
                     "http_proxy": "http://127.0.0.1:%d" % self.port}
        variables.update(self.extra_env)
        variables.update(launch_env or {})
        self.started = time.monotonic()
        self.driver.ask("launch", windows_path(program or self.env.quilmer),
                        *["%s=%s" % kv for kv in variables.items()])

    def wait_exit(self, timeout=30.0):
        reply = self.driver.ask("exited", int(timeout * 1000))
        check(reply["exited"], "Quilmer.exe still runs after %.0f s" % timeout)
        return reply

    def still_running(self):
        return not self.driver.ask("exited", 0)["exited"]

    # -- windows

    def dialog(self):
        return self.driver.ask("dialog")

    def wait_dialog_shown(self, timeout=15.0):
        return wait_for("the installer window", lambda: (lambda d: d if d["found"] and d["visible"] else None)(
            self.dialog()), timeout, interval=0.01)

    def control_text(self, dialog, control_id):
        for c in dialog["controls"]:
            if c["id"] == control_id:
                return c["text"]
        raise Failure("no control %d" % control_id)

    def percent(self):
        d = self.dialog()
        return int(self.control_text(d, IDC_PERCENT).rstrip("%")) if d["found"] else None

    def wait_msgbox(self, timeout=15.0):
        return wait_for("a message box", lambda: (lambda b: b if b["found"] else None)(self.driver.ask("msgbox")),
                        timeout)

    def answer(self, box, button_id):
        self.driver.ask("click", box["hwnd"], button_id)
        wait_for("the message box to close", lambda: self.driver.ask("msgbox").get("hwnd") != box["hwnd"], 10)

    def wait_percent(self, at_least, timeout=20.0):
        return wait_for("%d%%" % at_least, lambda: (lambda p: p if p is not None and p >= at_least else None)(
            self.percent()), timeout)

    # -- the screen (ImageMagick's import reads the X display Wine draws on)

    def grab(self, rect):
        """RGB bytes of the screen box [l, t, r, b] and its width."""
        l, t, r, b = rect
        w, h = r - l, b - t
        for _ in range(10):
            try:
                data = subprocess.run(
                    ["import", "-display", self.env.display, "-window", "root",
                     "-crop", "%dx%d+%d+%d" % (w, h, l, t), "-depth", "8", "rgb:-"],
                    check=True, capture_output=True, timeout=20).stdout
                if len(data) == w * h * 3:
                    return data, w
            except subprocess.CalledProcessError:
                pass
            time.sleep(0.1)
        raise Failure("no screenshot")

    def save_shot(self, rect, name):
        l, t, r, b = rect
        path = os.path.join(self.env.build, "e2e-%s.png" % name)
        subprocess.run(["import", "-display", self.env.display, "-window", "root",
                        "-crop", "%dx%d+%d+%d" % (r - l, b - t, l, t), path],
                       check=False, capture_output=True, timeout=20)
        return path

    # -- the disk

    def setup_file(self):
        return os.path.join(self.temp, SETUP_NAME)

    def marker_lines(self):
        if not os.path.exists(self.marker):
            return None
        with open(self.marker, encoding="utf-8") as f:
            return dict(line.rstrip("\r\n").split("=", 1) for line in f if "=" in line)

    def wait_marker(self, timeout=15.0):
        return wait_for("the stand-in setup's marker", self.marker_lines, timeout)

    def message_box_calls(self):
        """(function, flags) of every MessageBox call the program made, from
        Wine's relay trace: what it asked for, whatever Wine then draws."""
        with open(self.wine_trace, encoding="utf-8", errors="replace") as f:
            return [(m.group(1), int(m.group(2), 16)) for m in map(MESSAGE_BOX_CALL.search, f) if m]

    def download_requests(self):
        return [r for r in self.server.requests() if DOWNLOAD_HOST in r]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        try:
            if self.started is not None and self.still_running():
                self.driver.ask("exited", 0)
        finally:
            self.driver.close()
            if self.server:
                self.server.stop()
            if not self.keep:
                shutil.rmtree(self.work, ignore_errors=True)


def read_png_rgba(path):
    """(RGBA bytes, width, height) of a PNG, through ImageMagick."""
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True,
                          text=True).stdout.split()
    w, h = int(size[0]), int(size[1])
    data = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    return data, w, h


def pixel(data, width, x, y, channels=3):
    i = (y * width + x) * channels
    return tuple(data[i:i + channels])


def close_colour(a, b, tolerance=8):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


# ----------------------------------------------------------------------------------
# Scenarios. Each takes (env, args) and raises Failure on a wrong outcome.

def expect_launched(run, served):
    """The served file is in the temporary folder, the stand-in ran from there
    with its quoted path as the whole command line, and Quilmer.exe ended."""
    run.wait_exit()
    marker = run.wait_marker()
    expected = windows_path(run.setup_file())
    check(marker["module"].lower() == expected.lower(), "the stand-in ran as %s, not %s" % (marker["module"], expected))
    check(marker["cmdline"] == '"%s"' % marker["module"], "command line %r" % marker["cmdline"])
    with open(run.setup_file(), "rb") as f:
        check(f.read() == served, "the downloaded file differs from the served one")


def expect_nothing_left(run):
    run.wait_exit()
    check(not os.path.exists(run.setup_file()), "a file was left in the temporary folder")
    time.sleep(0.3)
    check(run.marker_lines() is None, "a setup program was started")


def scenario_normal(env, args):
    """A normal run: gate passed at once, layout, texts, download, launch, end."""
    with Run(env, "normal", keep=args.keep) as run:
        run.launch()
        d = run.wait_dialog_shown()
        shown_after = time.monotonic() - run.started
        print("  window shown %.0f ms after the start" % (shown_after * 1000))
        check(d["client"] == [474, 285], "client area %s" % d["client"])
        screen = run.driver.ask("screen")
        l, t, r, b = d["window"]
        check(abs(l - (screen["cx"] - 474) // 2) <= 1 and abs(t - (screen["cy"] - 285) // 2) <= 1,
              "window at %s is not centred on %dx%d" % (d["window"], screen["cx"], screen["cy"]))
        for c in d["controls"]:
            if c["id"] in EXPECTED_RECTS:
                check(c["rect"] == EXPECTED_RECTS[c["id"]] and c["visible"],
                      "control %d at %s, not %s" % (c["id"], c["rect"], EXPECTED_RECTS[c["id"]]))
            elif c["id"] == IDC_PROGRESS:
                check(not c["visible"], "the standard progress bar shows")
        check(run.control_text(d, IDC_TITLE) == EN_TITLE, "title text")
        check(run.control_text(d, IDC_DESCRIPTION) == EN_DESCRIPTION, "description text")
        check(run.control_text(d, IDC_FILE_STATUS) == EN_FILE_STATUS, "file line text")
        check(run.control_text(d, IDCANCEL) == "Cancel", "button text")
        with open(env.standin, "rb") as f:
            served = f.read()
        expect_launched(run, served)
        check(len(run.download_requests()) == 1, "requests: %s" % run.download_requests())


def scenario_screen(env, args):
    """The picture on the screen: background, logo at (186, 89), the bar's fill growing."""
    with Run(env, "screen", keep=args.keep) as run:
        run.server.route_download_file(env.standin, 20)
        run.launch()
        d = run.wait_dialog_shown()
        rect = d["window"]
        logo, lw, lh = read_png_rgba(os.path.join(SOURCE, "res", "skin", "145.png"))
        back, bw, _ = read_png_rgba(os.path.join(SOURCE, "res", "skin", "146.png"))
        time.sleep(0.3)
        shot, sw = run.grab(rect)
        run.save_shot(rect, "screen")
        # Opaque logo pixels land 186 to the right and 89 down.
        checked = 0
        for y in range(0, lh, 7):
            for x in range(0, lw, 7):
                p = pixel(logo, lw, x, y, 4)
                if p[3] == 255:
                    check(close_colour(pixel(shot, sw, 186 + x, 89 + y), p[:3]),
                          "logo pixel (%d, %d) shows %s, not %s" % (x, y, pixel(shot, sw, 186 + x, 89 + y), p[:3]))
                    checked += 1
        check(checked > 20, "too few opaque logo pixels checked")
        # The background where no control, text or logo covers it.
        for x, y in ((5, 5), (470, 5), (5, 280), (300, 30), (100, 180)):
            p = pixel(back, bw, x, y, 4)
            if p[3] == 255:
                check(close_colour(pixel(shot, sw, x, y), p[:3]), "background pixel (%d, %d)" % (x, y))

        def fill_width():
            data, w = run.grab([rect[0] + 20, rect[1] + 227 + 4, rect[0] + 464, rect[1] + 227 + 5])
            track = pixel(data, w, w - 1, 0)
            return sum(1 for x in range(w) if not close_colour(pixel(data, w, x, 0), track, 30))

        run.wait_percent(20)
        first = fill_width()
        run.wait_percent(70)
        second = fill_width()
        print("  bar fill %d px at 20%%+, %d px at 70%%+" % (first, second))
        check(0 < first < second, "the bar's fill does not grow (%d, %d)" % (first, second))
        run.wait_exit()


def scenario_drag(env, args):
    """Dragging by the body moves the window by exactly the cursor's way, without
    drift; moving the cursor without a press moves nothing (real X pointer events)."""
    with Run(env, "drag", keep=args.keep) as run:
        d = start_dripping(run)
        l, t = d["window"][0], d["window"][1]
        x, y = l + 60, t + 150  # the body: no control there

        def xdo(*words):
            subprocess.run(["xdotool"] + [str(w) for w in words], check=True, timeout=20,
                           env=dict(os.environ, DISPLAY=env.display))
            time.sleep(0.15)

        xdo("mousemove", x, y)
        xdo("mousedown", 1)
        for step in range(1, 6):
            xdo("mousemove", x + 9 * step, y + 5 * step)
        xdo("mousemove", x - 41, y + 17)
        xdo("mouseup", 1)
        moved = run.dialog()["window"]
        check(moved[:2] == [l - 41, t + 17], "window at %s after a drag of (-41, +17) from %s" % (moved, [l, t]))
        check(moved[2] - moved[0] == 474 and moved[3] - moved[1] == 285, "the drag resized the window")
        xdo("mousemove", x + 80, y + 40)
        check(run.dialog()["window"] == moved, "the window followed the cursor without a press")
        box = cancel_question(run, "button")
        run.answer(box, IDYES)
        run.wait_exit()


def scenario_reuse(env, args):
    """A present file of the remote size is started without any body transferred."""
    with Run(env, "reuse", keep=args.keep) as run:
        with open(env.standin, "rb") as f:
            served = f.read()
        with open(run.setup_file(), "wb") as f:
            f.write(served)
        before = os.stat(run.setup_file()).st_mtime_ns
        run.launch()
        expect_launched(run, served)
        check(os.stat(run.setup_file()).st_mtime_ns == before, "the present file was written again")
        # Only the size query: the worker never ran (the size query reads the
        # head alone; the test server's log cannot tell a head from a body, so
        # the count of requests is the evidence).
        check(len(run.download_requests()) == 1, "requests: %s" % run.download_requests())


def scenario_other_size(env, args):
    """A present file of another size is downloaded afresh, then started."""
    with Run(env, "other-size", keep=args.keep) as run:
        with open(run.setup_file(), "wb") as f:
            f.write(b"an older, shorter setup")
        with open(env.standin, "rb") as f:
            served = f.read()
        run.launch()
        expect_launched(run, served)
        check(len(run.download_requests()) == 2, "expected the size query and the download: %s"
              % run.download_requests())


DRIP_MS = 35  # per KiB: the signed stand-in (about 300 KiB) takes 10 s, so the cancel cases find it running


def start_dripping(run):
    """Starts Quilmer on a slow download of the signed stand-in and returns its
    shown dialog, so the transfer is still running when the scenario acts on it."""
    run.server.route_download_file(run.env.standin, DRIP_MS)
    run.launch()
    return run.wait_dialog_shown()


def cancel_question(run, how):
    """Asks to cancel the running transfer by how (button, escape, close); returns the box."""
    run.wait_percent(3)
    d = run.dialog()
    if how == "button":
        run.driver.ask("click", d["hwnd"], IDCANCEL)
    elif how == "escape":
        run.driver.ask("key", d["hwnd"], VK_ESCAPE)
    else:
        run.driver.ask("close", d["hwnd"])
    box = run.wait_msgbox()
    check(box["caption"] == CAPTION, "caption %r" % box["caption"])
    check(box["text"] == EN_CONFIRM, "question %r" % box["text"])
    check(sorted(b["id"] for b in box["buttons"]) == [IDYES, IDNO], "buttons %s" % box["buttons"])
    return box


def scenario_cancel_no(env, args):
    """Cancel, then No: the transfer holds while the question is open, then completes."""
    with Run(env, "cancel-no", keep=args.keep) as run:
        start_dripping(run)
        box = cancel_question(run, "button")
        time.sleep(0.8)  # a chunk already under way may still land
        held = os.path.getsize(run.setup_file())
        percent = run.percent()
        time.sleep(1.5)
        check(os.path.getsize(run.setup_file()) == held and run.percent() == percent,
              "the transfer went on while the question was open")
        run.answer(box, IDNO)
        with open(env.standin, "rb") as f:
            served = f.read()
        run.wait_exit(60)
        expect_launched(run, served)


def scenario_cancel_yes(env, args):
    """Cancel, then Yes: the program ends, no file left, nothing started."""
    with Run(env, "cancel-yes", keep=args.keep) as run:
        start_dripping(run)
        box = cancel_question(run, "button")
        run.answer(box, IDYES)
        expect_nothing_left(run)


def scenario_escape_and_close(env, args):
    """Escape and the Close command ask the same question: No to Escape, Yes to Close."""
    with Run(env, "escape-close", keep=args.keep) as run:
        start_dripping(run)
        box = cancel_question(run, "escape")
        run.answer(box, IDNO)
        check(run.still_running(), "No to the question ended the program")
        box = cancel_question(run, "close")
        run.answer(box, IDYES)
        expect_nothing_left(run)


def failure_scenario(name, behaviour):
    def scenario(env, args):
        with Run(env, name, keep=args.keep) as run:
            run.server.route_download(behaviour)
            run.launch()
            box = run.wait_msgbox()
            check(box["caption"] == CAPTION, "caption %r" % box["caption"])
            check(box["text"] == EN_NOT_CONNECTED, "failure text %r" % box["text"])
            check([b["id"] for b in box["buttons"]] == [IDOK], "buttons %s" % box["buttons"])
            run.answer(box, IDOK)
            expect_nothing_left(run)
    scenario.__name__ = "scenario_" + name
    scenario.__doc__ = "%s: text 134, then the end, no file left." % behaviour
    return scenario


def scenario_offline_retry(env, args):
    """Off line, no proxy answering: Retry/Cancel before any window; Retry once the
    connection is back, and the download runs."""
    port = free_port()
    with Run(env, "offline-retry", server_port=port, start_server=False, keep=args.keep) as run:
        run.launch()
        box = run.wait_msgbox(20)
        check(box["text"] == EN_NOT_CONNECTED, "question %r" % box["text"])
        check(sorted(b["id"] for b in box["buttons"]) == [IDCANCEL, IDRETRY], "buttons %s" % box["buttons"])
        d = run.dialog()
        check(not d["found"] or not d["visible"], "the window shows before the gate is passed")
        run.server = Server(run.work, env.standin, port)
        run.answer(box, IDRETRY)
        with open(env.standin, "rb") as f:
            served = f.read()
        expect_launched(run, served)


def scenario_offline_cancel(env, args):
    """Off line, Cancel at the question: the end before the window ever shows."""
    with Run(env, "offline-cancel", server_port=free_port(), start_server=False, keep=args.keep) as run:
        run.launch()
        box = run.wait_msgbox(20)
        d = run.dialog()
        check(not d["found"] or not d["visible"], "the window shows before the gate is passed")
        run.answer(box, IDCANCEL)
        reply = run.wait_exit()
        check(reply["exited"], "still running")
        check(not os.listdir(run.temp), "something was written: %s" % os.listdir(run.temp))
        check(run.marker_lines() is None, "a setup program was started")


def scenario_offline_slow_probe(env, args):
    """Off line, the probe's page answering only after 8 s: the question comes
    after the 5000 ms wait, not after the probe; Cancel ends the program."""
    with Run(env, "offline-slow", keep=args.keep) as run:
        run.server.control("/route?host=www.quenlor-probe.example&path=/&to=/t/delay/8000/")
        run.launch()
        box = run.wait_msgbox(20)
        waited = time.monotonic() - run.started
        print("  question after %.1f s" % waited)
        # A question at all shows the dialog did not wait for the probe (which
        # succeeds after 8 s); the time shows it waited its 5000 ms first.
        check(waited >= 4.8, "the question came after %.1f s, before the 5000 ms wait ended" % waited)
        check(box["text"] == EN_NOT_CONNECTED, "question %r" % box["text"])
        run.answer(box, IDCANCEL)
        run.wait_exit()
        check(not run.download_requests(), "something was downloaded: %s" % run.download_requests())


def locale_env(env, name):
    """Variables that give Wine the Linux locale name (compiled into the build
    folder once, with localedef); None when that cannot be done here."""
    base = os.path.join(env.build, "e2e-locales")
    target = os.path.join(base, name + ".UTF-8")
    if not os.path.isdir(target):
        os.makedirs(base, exist_ok=True)
        if not shutil.which("localedef"):
            return None
        r = subprocess.run(["localedef", "-i", name, "-f", "UTF-8", target], capture_output=True)
        if not os.path.isdir(target):
            print(r.stderr.decode(errors="replace"))
            return None
    locale = name + ".UTF-8"
    return {"LOCPATH": base, "LANG": locale, "LC_ALL": locale}


class Skip(Exception):
    pass


def scenario_korean(env, args):
    """Korean texts in the window and the two-line failure text."""
    variables = locale_env(env, "ko_KR")
    if not variables:
        raise Skip("no ko_KR locale")
    with Run(env, "korean", extra_env=variables, keep=args.keep) as run:
        run.server.route_download("/t/500/")
        run.launch()
        box = run.wait_msgbox()
        d = run.dialog()
        check(run.control_text(d, IDC_TITLE) == KO_TITLE, "title %r" % run.control_text(d, IDC_TITLE))
        check(run.control_text(d, IDCANCEL) == KO_CANCEL, "button %r" % run.control_text(d, IDCANCEL))
        check(run.control_text(d, IDC_FILE_STATUS) == "Tavo_Real_Setup.exe 다운로드 중...", "file line")
        check(box["text"] == KO_NOT_CONNECTED, "failure text %r" % box["text"])
        run.answer(box, IDOK)
        expect_nothing_left(run)


def reads_right(control):
    """(right-to-left reading, right alignment) of a control, from its styles."""
    return (bool(control["exstyle"] & WS_EX_RTLREADING),
            (control["style"] & SS_TYPEMASK) == SS_RIGHT or bool(control["exstyle"] & WS_EX_RIGHT))


def reading_order_scenario(name, locale, file_line, right_to_left):
    def scenario(env, args):
        variables = locale_env(env, locale)
        if not variables:
            raise Skip("no %s locale" % locale)
        with Run(env, name, extra_env=variables, trace_message_boxes=True, keep=args.keep) as run:
            d = start_dripping(run)
            check(run.control_text(d, IDC_FILE_STATUS) == file_line,
                  "file line %r: the locale did not pick the texts" % run.control_text(d, IDC_FILE_STATUS))
            controls = {c["id"]: c for c in d["controls"]}
            order = (right_to_left, right_to_left)
            check(reads_right(controls[IDC_FILE_STATUS]) == order,
                  "file line (reading right to left, aligned right) is %s, not %s"
                  % (reads_right(controls[IDC_FILE_STATUS]), order))
            for control in (IDC_TITLE, IDC_DESCRIPTION):  # English in every table here
                check(reads_right(controls[control]) == (False, False),
                      "control %d reads or aligns right" % control)
            # Aligned right, the line ends where the percentage begins, not under it.
            check(controls[IDC_FILE_STATUS]["rect"][2] == (404 if right_to_left else 454),
                  "file line at %s" % controls[IDC_FILE_STATUS]["rect"])

            # Both boxes of a run: the exit question (No), then the failure
            # notice when the server goes away mid-transfer.
            run.wait_percent(3)
            run.driver.ask("click", d["hwnd"], IDCANCEL)
            question = run.wait_msgbox()
            run.server.stop()
            run.answer(question, IDNO)
            notice = run.wait_msgbox()
            check([b["id"] for b in notice["buttons"]] == [IDOK], "buttons %s" % notice["buttons"])
            run.answer(notice, IDOK)
            run.wait_exit()

            extra = MB_RTLREADING_RIGHT if right_to_left else 0
            calls = run.message_box_calls()
            expected = [("MessageBoxW", MB_YESNO | extra), ("MessageBoxW", MB_ICONEXCLAMATION | extra)]
            check(calls == expected, "message boxes asked for %s, not %s"
                  % ([(f, hex(t)) for f, t in calls], [(f, hex(t)) for f, t in expected]))
    scenario.__name__ = "scenario_" + name
    scenario.__doc__ = ("%s: the file line and both message boxes read %s; title and description do not."
                        % (locale, "right to left" if right_to_left else "left to right"))
    return scenario


def scenario_no_table(env, args):
    """A locale without a table (German, Switzerland): empty texts, the download still works."""
    variables = locale_env(env, "de_CH")
    if not variables:
        raise Skip("no de_CH locale")
    with Run(env, "no-table", extra_env=variables, keep=args.keep) as run:
        run.launch()
        d = run.wait_dialog_shown()
        for control in (IDC_TITLE, IDC_DESCRIPTION, IDC_FILE_STATUS, IDCANCEL):
            check(run.control_text(d, control) == "", "control %d shows %r" % (control, run.control_text(d, control)))
        with open(env.standin, "rb") as f:
            served = f.read()
        expect_launched(run, served)


def scenario_space(env, args):
    """A temporary folder with a space: the setup is started, not the program named
    by the path's first word (a decoy John.exe waits there)."""
    with Run(env, "space", keep=args.keep) as run:
        base = os.path.join(run.work, "Users")
        run.temp = os.path.join(base, "John Smith", "Temp")
        os.makedirs(run.temp)
        shutil.copy(env.standin, os.path.join(base, "John.exe"))
        run.launch()
        with open(env.standin, "rb") as f:
            served = f.read()
        expect_launched(run, served)


def long_folder(base, length):
    """A new folder below base whose Windows path is exactly length characters."""
    folder = base
    while len(windows_path(folder)) < length - 30:
        folder = os.path.join(folder, "a-rather-long-folder-name-%d" % len(folder))
    folder = os.path.join(folder, "x" * (length - len(windows_path(folder)) - 1))
    os.makedirs(folder)
    return folder


def scenario_long_path(env, args):
    """A setup path longer than 255 characters (the launch's old buffer): the file
    written there and started by its full path, not a cut one."""
    with Run(env, "long", keep=args.keep) as run:
        run.temp = long_folder(run.work, 240)
        print("  setup path of %d characters" % len(windows_path(run.setup_file())))
        run.launch()
        with open(env.standin, "rb") as f:
            served = f.read()
        expect_launched(run, served)


def scenario_overlong_temp(env, args):
    """A temporary folder longer than the platform reports (TMP over 260
    characters): the failure text and the end; nothing is written anywhere, in
    particular not to the root of the current drive."""
    with Run(env, "overlong", keep=args.keep) as run:
        run.temp = long_folder(run.work, 300)
        root_file = os.path.join("/", SETUP_NAME)
        check(not os.path.exists(root_file), "%s exists before the run" % root_file)
        run.launch()
        box = run.wait_msgbox()
        check(box["text"] == EN_NOT_CONNECTED, "failure text %r" % box["text"])
        run.answer(box, IDOK)
        expect_nothing_left(run)
        check(not os.path.exists(root_file), "the setup was written to the root of the drive")
        check(not run.server.requests(), "something was requested: %s" % run.server.requests())


def scenario_leading_backslashes(env, args):
    r"""A temporary folder given as \\?\Z:\...: its leading backslashes stay, so the
    file lands in that folder, not relative to the current one."""
    with Run(env, "backslashes", keep=args.keep) as run:
        run.launch(temp_windows="\\\\?\\" + windows_path(run.temp) + "\\")
        run.wait_exit()
        check(os.path.exists(run.setup_file()), "no file in the temporary folder: %s" % os.listdir(run.temp))
        with open(env.standin, "rb") as f:
            check(open(run.setup_file(), "rb").read() == f.read(), "the downloaded file differs")
        marker = run.wait_marker()
        check(marker["module"].lower().endswith(windows_path(run.setup_file()).lower()[2:]),
              "the stand-in ran as %s" % marker["module"])


# DLLs that system DLLs load by name on the installer's behalf once it runs
# (app/DllSearch.cpp preloads the same list). Not planted: version.dll (an
# import of Wine's user32) and uxtheme.dll (loaded by Wine's user32 while it
# initialises). Wine binds both before a program's first instruction, where no
# code of the program can reach; Windows' user32 does neither.
LOADED_ON_BEHALF = ["windowscodecs", "propsys", "mpr", "dwmapi"]


def delay_loaded_dlls(exe):
    """Base names of the DLLs exe delay-loads, from its delay-import directory."""
    out = subprocess.run([sys.executable, os.path.join(SOURCE, "tools", "delay-import-directory.py"), "list", exe],
                         check=True, capture_output=True, text=True).stdout
    return [os.path.splitext(line.strip())[0].lower() for line in out.splitlines() if line.strip()]


def plant(env, folder, names):
    """The marker DLL as <name>.dll in folder for each name; the override that
    makes Wine take a native DLL of these names before its built-in one (by
    default it prefers its own, and a planted file would never be tried)."""
    for name in names:
        shutil.copy(env.planted_dll, os.path.join(folder, name + ".dll"))
    return {"WINEDLLOVERRIDES": "mscoree,mshtml=;%s=n,b" % ",".join(names)}


def loaded_markers(folder):
    return sorted(f[:-len(".loaded")] for f in os.listdir(folder) if f.endswith(".loaded"))


def scenario_planted_dlls(env, args):
    """DLLs planted beside Quilmer.exe (its delay-loaded ones and those loaded on
    its behalf) are never loaded, and the installer completes; the unprotected
    control in the same setting loads every one of them."""
    delayed = delay_loaded_dlls(env.quilmer)
    check({"wininet", "gdiplus"} <= set(delayed), "delay-loaded DLLs: %s" % delayed)
    names = sorted(set(delayed) | set(LOADED_ON_BEHALF))
    print("  planted: %s" % ", ".join(names))
    with Run(env, "planted", keep=args.keep) as run:
        control = os.path.join(run.work, "control")
        os.makedirs(control)
        shutil.copy(env.planting_control, control)
        overrides = plant(env, control, names)
        result = subprocess.run(
            [env.wine_run, windows_path(os.path.join(control, "planting_control.exe"))] + names,
            env=dict(run.wine_env, **overrides), stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        loaded = {name.lower() for name in loaded_markers(control)}
        check(loaded == {n + ".dll" for n in names},
              "the control loaded %s of %s (exit %d): the test could not see a planted DLL"
              % (sorted(loaded), names, result.returncode))

        downloads = os.path.join(run.work, "Downloads")
        os.makedirs(downloads)
        shutil.copy(env.quilmer, downloads)
        overrides = plant(env, downloads, names)
        with open(env.standin, "rb") as f:
            served = f.read()
        run.launch(program=os.path.join(downloads, "Quilmer.exe"), launch_env=overrides)
        expect_launched(run, served)
        check(not loaded_markers(downloads), "Quilmer.exe loaded planted %s" % loaded_markers(downloads))


# ----------------------------------------------------------------------------------
# Trust: nothing starts that the pinned publisher did not sign. Every attack is
# first shown working against the unprotected control (e2e_unchecked_launcher:
# the installer's flow without the check), then failing against Quilmer.exe.

def read(path):
    with open(path, "rb") as f:
        return f.read()


def unsigned_of_size(env, size):
    """The unsigned stand-in padded to size bytes: a foreign program of exactly
    the size the server announces (it still runs)."""
    data = read(env.unsigned)
    check(len(data) <= size, "the unsigned stand-in is larger than the signed one")
    return data + b"\0" * (size - len(data))


def expect_control_starts(env, args, name, prepare):
    """The control: with the check bypassed, the attack prepared by
    prepare(run) gets its program started."""
    with Run(env, name + "-control", keep=args.keep) as run:
        prepare(run)
        run.launch(program=env.unchecked)
        run.wait_exit()
        run.wait_marker()


def expect_refused(run):
    """Text 137 with an exclamation mark and OK, then the end; the file is gone
    and nothing was started."""
    box = run.wait_msgbox()
    check(box["caption"] == CAPTION, "caption %r" % box["caption"])
    check(box["text"] == EN_NOT_VERIFIED, "text %r" % box["text"])
    check([b["id"] for b in box["buttons"]] == [IDOK], "buttons %s" % box["buttons"])
    check(not os.path.exists(run.setup_file()), "the refused file is still there while the notice shows")
    run.answer(box, IDOK)
    expect_nothing_left(run)


def refused_download(name, variant, what):
    def scenario(env, args):
        prepare = lambda run: run.server.route_download_file(env.variant(variant) if variant else env.unsigned)
        expect_control_starts(env, args, name, prepare)
        with Run(env, name, keep=args.keep) as run:
            prepare(run)
            run.launch()
            expect_refused(run)
    scenario.__name__ = "scenario_" + name
    scenario.__doc__ = "A download %s: started unprotected; Quilmer deletes it, starts nothing, shows 137." % what
    return scenario


def scenario_signed_download(env, args):
    """A download signed by the pinned publisher under the trusted CA is started."""
    with Run(env, "signed", keep=args.keep) as run:
        run.launch()
        expect_launched(run, read(env.standin))


def scenario_planted_unsigned(env, args):
    """A foreign program of the announced size planted in the temporary folder:
    started unprotected without a download; Quilmer removes it without a word,
    downloads afresh and starts the signed download."""
    served = read(env.standin)
    planted = unsigned_of_size(env, len(served))

    def prepare(run):
        with open(run.setup_file(), "wb") as f:
            f.write(planted)

    with Run(env, "planted-control", keep=args.keep) as run:
        prepare(run)
        run.launch(program=env.unchecked)
        run.wait_exit()
        run.wait_marker()
        check(read(run.setup_file()) == planted and len(run.download_requests()) == 1,
              "the control did not start the planted file")
    with Run(env, "planted", keep=args.keep) as run:
        prepare(run)
        run.launch()
        expect_launched(run, served)
        check(len(run.download_requests()) == 2, "expected the size query and the download: %s"
              % run.download_requests())


def plant_link(run, make_link):
    """A program of the announced size outside the temporary folder (the
    victim) and a link to it at the setup's path."""
    victim = os.path.join(run.work, "victim.exe")
    with open(victim, "wb") as f:
        f.write(unsigned_of_size(run.env, len(read(run.env.standin))))
    make_link(victim, run.setup_file())
    return victim, read(victim)


def scenario_planted_hard_link(env, args):
    """A hard link at the setup's path to a program elsewhere: the control starts
    it; Quilmer never writes, deletes or starts it, and starts a fresh download."""
    expect_control_starts(env, args, "hard-link", lambda run: plant_link(run, os.link))
    with Run(env, "hard-link", keep=args.keep) as run:
        victim, before = plant_link(run, os.link)
        run.launch()
        expect_launched(run, read(env.standin))
        check(read(victim) == before, "the link's other name was written through")
        check(os.stat(run.setup_file()).st_nlink == 1, "the setup is still linked to the victim")


def scenario_planted_symlink(env, args):
    """A symbolic link at the setup's path to a program elsewhere: the control
    starts it; Quilmer neither writes, deletes nor starts it. (Wine follows Unix
    links on every open, so there the link cannot be replaced: nothing is
    downloaded into it and the program ends.)"""
    expect_control_starts(env, args, "symlink", lambda run: plant_link(run, os.symlink))
    with Run(env, "symlink", keep=args.keep) as run:
        victim, before = plant_link(run, os.symlink)
        run.launch()
        run.wait_exit()
        check(os.path.exists(victim) and read(victim) == before, "the link's target was changed or deleted")
        time.sleep(0.3)
        check(run.marker_lines() is None, "a program was started through the link")


# ----------------------------------------------------------------------------------
# HTTPS: https/Quilmer.exe downloads from https://update.quenlor.example through
# the test server's CONNECT tunnel, whose certificate comes from build/tls. Each
# refused case first shows the careless client (tls_control.exe) fetching the
# file from the same server, so only Quilmer's checks stop it.

HTTPS_URL = "https://%s%s" % (DOWNLOAD_HOST, DOWNLOAD_PATH)


def tls_control(env, run, url, mode):
    """(exit code, output) of tls_control.exe for url, in the run's network."""
    result = subprocess.run([env.wine_run, windows_path(env.tls_control), url, mode], env=run.wine_env,
                            stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=60)
    return result.returncode, result.stdout.strip()


def expect_download_failed(run):
    """Text 134, then the end; no file, nothing started."""
    box = run.wait_msgbox()
    check(box["text"] == EN_NOT_CONNECTED, "failure text %r" % box["text"])
    run.answer(box, IDOK)
    expect_nothing_left(run)


def scenario_https_download(env, args):
    """An https address with a good certificate: the setup comes through the
    tunnel, is checked and started; nothing travels in plain HTTP."""
    with Run(env, "https-good", keep=args.keep, tls="good") as run:
        with open(env.standin, "rb") as f:
            served = f.read()
        run.launch(program=env.quilmer_https)
        expect_launched(run, served)
        lines = run.server.requests()
        check("CONNECT %s:443 HTTP/1.1" % DOWNLOAD_HOST in lines, "no tunnel: %s" % lines)
        check("TLS GET %s HTTP/1.1" % DOWNLOAD_PATH in lines, "no request inside the tunnel: %s" % lines)
        plain = [r for r in lines if r.startswith("GET http://")]
        check(not plain, "plain requests: %s" % plain)


def refused_certificate(name, certificate, what):
    def scenario(env, args):
        with Run(env, "https-" + name, keep=args.keep, tls=certificate) as run:
            rc, out = tls_control(env, run, HTTPS_URL, "ignore-certificate")
            check(rc == 0, "the control could not fetch past the certificate either: %s" % out)
            run.server.control("/reset")
            run.launch(program=env.quilmer_https)
            expect_download_failed(run)
            check(not [r for r in run.server.requests() if r.startswith("TLS ")],
                  "a request went through the tunnel: %s" % run.server.requests())
    scenario.__name__ = "scenario_https_" + name.replace("-", "_")
    scenario.__doc__ = "A certificate %s: text 134, no file; the careless control fetches the file." % what
    return scenario


def scenario_https_redirect_to_http(env, args):
    """The https address redirects to a plain http one: not followed (text 134,
    no file, no plain request); the careless control follows it to the file."""
    with Run(env, "https-redirect", keep=args.keep, tls="good") as run:
        plain_path = "/plain/Tavo_Q7120.exe"
        run.server.control("/route?host=%s&path=%s&file=%s" % (
            DOWNLOAD_HOST, urllib.request.quote(plain_path), urllib.request.quote(env.standin)))
        target = "http://%s%s" % (DOWNLOAD_HOST, plain_path)
        run.server.route_download("/t/redirect/?to=" + urllib.request.quote(target, safe=""))
        rc, out = tls_control(env, run, HTTPS_URL, "follow-redirects")
        check(rc == 0 and out.endswith("url " + target), "the control did not follow the redirect: %s" % out)
        run.server.control("/reset")
        run.launch(program=env.quilmer_https)
        expect_download_failed(run)
        check(not [r for r in run.server.requests() if plain_path in r],
              "the plain address was requested: %s" % run.server.requests())


GROUPS = {
    "download": [scenario_normal, scenario_screen, scenario_drag, scenario_reuse, scenario_other_size],
    "cancel": [scenario_cancel_no, scenario_cancel_yes, scenario_escape_and_close],
    "failures": [failure_scenario("truncated", "/t/short/300000/100000/"),
                 failure_scenario("status-407", "/t/407/"),
                 failure_scenario("status-500", "/t/500/"),
                 failure_scenario("status-404", "/t/404/"),
                 failure_scenario("no-length", "/t/nolength/300000/"),
                 failure_scenario("longer-than-announced", "/t/long/1000/6000/")],
    "offline": [scenario_offline_retry, scenario_offline_cancel, scenario_offline_slow_probe],
    "locale": [scenario_korean, scenario_no_table,
               reading_order_scenario("arabic", "ar_SA", "جارٍ تنزيل Tavo_Real_Setup.exe...", True),
               reading_order_scenario("hebrew", "he_IL", "מוריד את Tavo_Real_Setup.exe...", True),
               reading_order_scenario("english", "en_US", EN_FILE_STATUS, False)],
    "paths": [scenario_space, scenario_long_path, scenario_overlong_temp, scenario_leading_backslashes],
    "planting": [scenario_planted_dlls],
    "https": [scenario_https_download,
              refused_certificate("other-name", "other-name", "for another host name"),
              refused_certificate("untrusted-ca", "untrusted", "from an untrusted authority"),
              scenario_https_redirect_to_http],
    "trust": [scenario_signed_download,
              refused_download("unsigned", None, "without a signature"),
              refused_download("altered", "altered", "with a byte of its code changed after signing"),
              refused_download("impostor", "impostor", "signed by another key under the same names"),
              refused_download("untrusted-ca", "untrusted", "signed by the pinned key under an untrusted CA"),
              scenario_planted_unsigned, scenario_planted_hard_link, scenario_planted_symlink],
}


def scenario_name(fn):
    return getattr(fn, "__name__", "").replace("scenario_", "")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default=os.environ.get("QUILMER_BUILD_DIR"))
    ap.add_argument("--only")
    ap.add_argument("--keep", action="store_true", help="keep each scenario's work folder")
    ap.add_argument("--list", action="store_true")
    ap.add_argument("group", nargs="?")
    args = ap.parse_args()
    if args.list:
        for group, scenarios in GROUPS.items():
            print(group + ": " + ", ".join(scenario_name(s) for s in scenarios))
        return 0
    if args.group not in GROUPS:
        ap.error("group must be one of " + ", ".join(GROUPS))
    env = Env(args.build)

    failed, skipped, ran = [], [], 0
    for fn in GROUPS[args.group]:
        name = scenario_name(fn)
        if args.only and args.only != name:
            continue
        print("[%s] %s" % (name, (fn.__doc__ or "").strip().split("\n")[0]), flush=True)
        begin = time.monotonic()
        try:
            fn(env, args)
            ran += 1
            print("  ok (%.1f s)" % (time.monotonic() - begin), flush=True)
        except Skip as e:
            skipped.append(name)
            print("  skipped: %s" % e, flush=True)
        except Exception as e:  # a scenario's fault is reported, the others still run
            failed.append(name)
            print("  FAILED: %s" % e, flush=True)
            if not isinstance(e, Failure):
                traceback.print_exc()
    if failed:
        print("failed: " + ", ".join(failed))
        return 1
    return 77 if skipped and not ran else 0


if __name__ == "__main__":
    sys.exit(main())
