#!/usr/bin/env python3
"""Figures of the real Quilmer.exe against its yardsticks (a benchmark: prints, judges nothing).

    bench/installer.py --build <build folder> [--starts N] [--rounds N] [--megabytes M]

Everything runs under the build's Wine (its prefix up, its display), against
tests/server/server.py on 127.0.0.1 as the proxy, through the end-to-end driver
(tests/e2e), which starts each program and watches it from inside Wine:

* start-up: launch to window shown, Quilmer.exe (connectivity gate passed at once)
  against bench/BareDialog.exe (a dialog of the same size and nothing else),
  launches interleaved, median and best of N each, and the ratio of the medians;
* working set: Quilmer's peak during a 64 MB download against the bare dialog's
  peak once shown (PeakWorkingSetSize as Wine reports it), and where the
  difference lies: the resident pages of the Linux process that runs each, by
  mapping (each DLL, anonymous memory) and its thread count, at Quilmer's largest
  sample;
* end to end, M MiB (default 16): launch to exit of Quilmer.exe (start, gate,
  window, transfer, the signature check, exit; the unsigned pattern body is
  refused and the refusal answered at once) against the floor of its design (DownloadBench b: the
  same WinINet calls, 1 KB reads, PBM_SETPOS and WM_DOWNLOAD_PROGRESS sent per
  chunk to windows on another thread), and the downloader alone with a test
  receiver (DownloadBench a: worker, file, messages); each also with a 1 KB
  file, which leaves the fixed costs. Rounds interleaved; medians; the parts:
      fixed      Quilmer(1 KB) - floor(1 KB): start-up, gate, window, exit
      worker     (a(M) - floor(M)) per chunk: the downloader's own loop and the file
      dialog     the rest per chunk: the dialog's handler, the painting, ...
  and bench/PartsBench.exe's figures of the parts one at a time: the skinned bar's
  100 paints of a download, the percentage text's 100 changes, the file's 1 KB
  writes, and PBM_SETPOS against a plain send, per chunk.
"""

import argparse
import copy
import os
import statistics
import subprocess
import sys
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import e2e  # noqa: E402

URL = "http://%s%s" % (e2e.DOWNLOAD_HOST, e2e.DOWNLOAD_PATH)


def linux_process(name, exclude=()):
    """The Linux process that runs the Windows program (the largest of those
    whose command line names it), or None."""
    best, best_rss = None, -1
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) in exclude:
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if name.encode() not in f.read():
                    continue
            rss = sum(resident_by_mapping(int(entry)).values())
        except OSError:
            continue
        if rss > best_rss:
            best, best_rss = int(entry), rss
    return best


def resident_by_mapping(pid):
    """KiB resident per mapping name (a file's base name, or [anon])."""
    sizes = {}
    name = None
    with open("/proc/%d/smaps" % pid) as f:
        for line in f:
            fields = line.split()
            if not fields[0].endswith(":") and "-" in fields[0]:
                name = os.path.basename(fields[5]) if len(fields) > 5 else "[anon]"
            elif fields[0] == "Rss:":
                sizes[name] = sizes.get(name, 0) + int(fields[1])
    return sizes


def snapshot(pid):
    try:
        return resident_by_mapping(pid), len(os.listdir("/proc/%d/task" % pid))
    except OSError:
        return None


def program(env, path):
    other = copy.copy(env)
    other.quilmer = path
    return other


def start_once(env, exe, name, want_snapshot=False):
    """(ms from launch to window shown, peak working set once shown, resident
    snapshot or None) of one launch."""
    run = e2e.Run(program(env, exe), name)
    try:
        run.server.route_download("/t/drip/1048576/20/")
        existing = set(int(e) for e in os.listdir("/proc") if e.isdigit())
        run.launch()
        dialog = run.wait_dialog_shown()
        shown = (time.monotonic() - run.started) * 1000
        time.sleep(0.3)
        peak = run.driver.ask("exited", 0)["peak"]
        snap = None
        if want_snapshot:
            pid = linux_process(os.path.basename(exe), existing)
            snap = snapshot(pid) if pid else None
        # Closed as a user closes it: the installer asks first (Yes ends it).
        run.driver.ask("close", dialog["hwnd"])
        if exe == env.quilmer:
            run.answer(run.wait_msgbox(), e2e.IDYES)
        run.wait_exit(60)
        return shown, peak, snap
    finally:
        run.close()


def timed_run(env, exe, name, size, extra=None, snapshots=None):
    """Seconds from launch to exit, exit code, peak working set and whether the
    whole file came; with snapshots (a list), the resident snapshot of the
    largest sample is added.

    The pattern body carries no signature: once complete, the installer refuses
    it with text 137, which is answered at once (the driver looks every 50 ms),
    as a failed transfer's text 134 would be; the installer then ends."""
    run = e2e.Run(program(env, exe), name, extra_env=extra)
    try:
        run.server.route_download("/t/ok/%d/" % size)
        existing = set(int(e) for e in os.listdir("/proc") if e.isdigit())
        run.launch()
        peak = 0
        pid = None
        largest = None
        complete = exe != env.quilmer
        while True:
            reply = run.driver.ask("exited", 50)
            peak = max(peak, reply["peak"])
            if not reply["exited"] and exe == env.quilmer:
                box = run.driver.ask("msgbox")
                if box["found"]:
                    complete = complete or box["text"] == e2e.EN_NOT_VERIFIED
                    run.driver.ask("click", box["hwnd"], e2e.IDOK)
            if snapshots is not None and not reply["exited"]:
                pid = pid or linux_process(os.path.basename(exe), existing)
                snap = snapshot(pid) if pid else None
                if snap and (not largest or sum(snap[0].values()) > sum(largest[0].values())):
                    largest = snap
            if reply["exited"]:
                break
            if time.monotonic() - run.started > 1800:
                raise e2e.Failure("%s runs for more than half an hour" % name)
        seconds = time.monotonic() - run.started
        if snapshots is not None and largest:
            snapshots.append(largest)
        return seconds, reply["code"], peak, complete
    finally:
        run.close()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default=os.environ.get("QUILMER_BUILD_DIR"))
    ap.add_argument("--starts", type=int, default=20)
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--megabytes", type=int, default=16)
    args = ap.parse_args()
    env = e2e.Env(args.build)
    bare = os.path.join(env.build, "bench", "BareDialog.exe")
    bench = os.path.join(env.build, "bench", "DownloadBench.exe")
    for path in (bare, bench):
        if not os.path.exists(path):
            raise e2e.Failure("missing %s: build first" % path)
    print("load average before: %s" % " ".join(open("/proc/loadavg").read().split()[:3]))

    starts = {"quilmer": [], "bare": []}
    peaks = {"bare": []}
    bare_snap = None
    for i in range(args.starts):
        for who, exe in (("bare", bare), ("quilmer", env.quilmer)):
            shown, peak, snap = start_once(env, exe, "start-%s-%d" % (who, i), who == "bare" and i == 0)
            starts[who].append(shown)
            if who == "bare":
                peaks["bare"].append(peak)
                bare_snap = bare_snap or snap
    q, b = statistics.median(starts["quilmer"]), statistics.median(starts["bare"])
    print("start-up, launch to window shown (median, best of %d):" % args.starts)
    print("  Quilmer.exe     %6.0f ms  %6.0f ms" % (q, min(starts["quilmer"])))
    print("  bare dialog     %6.0f ms  %6.0f ms" % (b, min(starts["bare"])))
    print("  ratio           %6.2f" % (q / b))

    snaps = []
    seconds, code, peak, got = timed_run(env, env.quilmer, "ws", 64 << 20, snapshots=snaps)
    bare_peak = max(peaks["bare"])
    print("peak working set: Quilmer.exe during a 64 MB download %.1f MB (file %s), bare dialog %.1f MB,"
          " difference %.1f MB" % (peak / 1048576.0, "complete" if got else "INCOMPLETE",
                                   bare_peak / 1048576.0, (peak - bare_peak) / 1048576.0))
    if snaps and bare_snap:
        (q_maps, q_threads), (b_maps, b_threads) = snaps[0], bare_snap
        diff = {k: q_maps.get(k, 0) - b_maps.get(k, 0) for k in set(q_maps) | set(b_maps)}
        top = sorted(diff.items(), key=lambda kv: -kv[1])[:10]
        print("  resident beyond the bare dialog's (Linux side): %.1f MB in all; threads %d against %d;"
              % ((sum(q_maps.values()) - sum(b_maps.values())) / 1024.0, q_threads, b_threads))
        print("  " + ", ".join("%s %+.2f MB" % (k, v / 1024.0) for k, v in top))

    if args.rounds < 1:
        parts(env)
        print("load average after: %s" % " ".join(open("/proc/loadavg").read().split()[:3]))
        return 0
    size = args.megabytes << 20
    times = {k: [] for k in ("q", "b", "a", "q1", "b1")}
    e2e_peaks = {k: 0 for k in times}
    for i in range(args.rounds):
        for key, exe, n, extra in (("q", env.quilmer, size, None),
                                   ("b", bench, size, {"QUILMER_BENCH_ARGS": "b " + URL}),
                                   ("a", bench, size, None),
                                   ("q1", env.quilmer, 1024, None),
                                   ("b1", bench, 1024, {"QUILMER_BENCH_ARGS": "b " + URL})):
            if key == "a":
                target = e2e.windows_path(os.path.join("/tmp", "quilmer-bench-a-%d.bin" % os.getpid()))
                extra = {"QUILMER_BENCH_ARGS": "a %s %s" % (URL, target)}
            seconds, code, peak, got = timed_run(env, exe, "e2e-%s-%d" % (key, i), n, extra)
            e2e_peaks[key] = max(e2e_peaks[key], peak)
            if code != 0 or not got:
                raise e2e.Failure("%s round %d: exit code %d, file %s" % (key, i, code,
                                                                   "complete" if got else "incomplete"))
            times[key].append(seconds)
    try:
        os.remove(os.path.join("/tmp", "quilmer-bench-a-%d.bin" % os.getpid()))
    except OSError:
        pass
    med = {k: statistics.median(v) for k, v in times.items()}
    chunks = size // 1024
    print("end to end, %d MiB, launch to exit (median of %d rounds):" % (args.megabytes, args.rounds))
    print("  Quilmer.exe                         %7.2f s   (1 KB file: %.2f s)" % (med["q"], med["q1"]))
    print("  floor (DownloadBench b)             %7.2f s   (1 KB file: %.2f s)" % (med["b"], med["b1"]))
    print("  downloader alone (DownloadBench a)  %7.2f s" % med["a"])
    print("  ratio Quilmer / floor               %7.3f" % (med["q"] / med["b"]))
    print("  peak working sets: Quilmer.exe %.1f MB, floor %.1f MB, downloader alone %.1f MB"
          % (e2e_peaks["q"] / 1048576.0, e2e_peaks["b"] / 1048576.0, e2e_peaks["a"] / 1048576.0))
    fixed = med["q1"] - med["b1"]
    worker = (med["a"] - med["b"]) / chunks * 1e6
    total = (med["q"] - med["b"] - fixed) / chunks * 1e6
    print("  parts beyond the floor: fixed %.2f s (start-up, gate, window, exit); per 1 KB chunk %.1f us,"
          " of which the downloader's loop and file %.1f us, the dialog (handler, painting) %.1f us"
          % (fixed, total, worker, total - worker))
    parts(env)
    print("load average after: %s" % " ".join(open("/proc/loadavg").read().split()[:3]))
    return 0


def parts(env):
    exe = os.path.join(env.build, "bench", "PartsBench.exe")
    if not os.path.exists(exe):
        return
    wine_env = dict(os.environ)
    if env.display:
        wine_env["DISPLAY"] = env.display
    out = subprocess.run([env.wine_run, exe], env=wine_env, capture_output=True, text=True, timeout=600).stdout
    figures = {}
    for line in out.splitlines():
        fields = line.split()
        if fields and fields[0] == "PART":
            figures[fields[1]] = dict(f.split("=", 1) for f in fields[2:])
    if len(figures) < 4:
        print("parts: PartsBench gave no figures")
        return
    print("parts one at a time (PartsBench): bar painting %s ms per download (%s ms a paint, 100 paints),"
          " percentage text %s ms per download, file write %s us per 1 KB chunk, PBM_SETPOS %s us per chunk"
          " against %s us for a plain send" % (
              figures["paint"]["ms_per_download"], figures["paint"]["ms_per_paint"],
              figures["text"]["ms_per_download"], figures["write"]["us_per_chunk"],
              figures["setpos"]["us_per_chunk"], figures["setpos"]["plain_send_us_per_chunk"]))


if __name__ == "__main__":
    try:
        sys.exit(main())
    except e2e.Failure as failure:
        print("installer.py: %s" % failure, file=sys.stderr)
        sys.exit(1)
