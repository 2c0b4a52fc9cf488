#!/usr/bin/env python3
"""Figures of the real Quilmer.exe under Wine (a benchmark: prints, asserts nothing).

    measure.py --build <build folder> [--starts N] [--megabytes M] [--skip-download]

* start: time from launching Quilmer.exe to its window being shown, with the
  connectivity gate passed at once (median and best of N launches; Wine's own
  process start is included; the driver polls every 10 ms);
* download: an M MB download (default 256) through the test server: wall time,
  and the peak working set of the process (PeakWorkingSetSize as Wine reports
  it, and VmHWM of the Linux process that runs it, read while it runs).

Run it with the build's Wine prefix up (ctest -R wine_up, or harness/wine-run --up)
and nothing else heavy on the machine.
"""

import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e  # noqa: E402


def linux_pids_of(name):
    """Linux processes whose command line names the Windows program."""
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if name.encode() in f.read():
                    pids.append(int(entry))
        except OSError:
            pass
    return pids


def vm_hwm_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def measure_start(env, rounds):
    times = []
    for i in range(rounds):
        run = e2e.Run(env, "start-%d" % i)
        try:
            run.server.route_download_file(env.standin, 10)
            run.launch()
            run.wait_dialog_shown()
            times.append((time.monotonic() - run.started) * 1000)
            run.wait_exit(60)
        finally:
            run.close()
    print("start to window shown: median %.0f ms, best %.0f ms over %d launches"
          % (statistics.median(times), min(times), len(times)))


def measure_download(env, megabytes):
    size = megabytes * 1024 * 1024
    run = e2e.Run(env, "download")
    try:
        run.server.route_download("/t/ok/%d/" % size)
        existing = set(linux_pids_of("Quilmer.exe"))
        run.launch()
        begin = time.monotonic()
        hwm = 0
        peak = 0
        pids = []
        complete = False
        elapsed = None
        while True:
            # Wine answers the working set only while the process exists.
            reply = run.driver.ask("exited", 500)
            peak = max(peak, reply["peak"])
            if reply["exited"]:
                break
            # The pattern body carries no signature: once complete (its length
            # the announced one) it is refused, deleted and text 137 shown; a
            # transfer that fails shows text 134 instead.
            box = run.driver.ask("msgbox")
            if box["found"]:
                elapsed = elapsed or time.monotonic() - begin
                complete = complete or box["text"] == e2e.EN_NOT_VERIFIED
                run.driver.ask("click", box["hwnd"], e2e.IDOK)
            if not pids:
                pids = [p for p in linux_pids_of("Quilmer.exe") if p not in existing]
            for p in pids:
                hwm = max(hwm, vm_hwm_kib(p))
            if time.monotonic() - begin > 3600:
                raise e2e.Failure("the download takes more than an hour")
        elapsed = elapsed or time.monotonic() - begin
        print("download of %d MB: %.1f s (%.1f MB/s), file %s"
              % (megabytes, elapsed, megabytes / elapsed, "complete" if complete else "INCOMPLETE"))
        print("peak working set: %.1f MB (Wine's PeakWorkingSetSize), %.1f MB (VmHWM of the Linux process)"
              % (peak / 1048576, hwm / 1024))
    finally:
        run.close()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default=os.environ.get("QUILMER_BUILD_DIR"))
    ap.add_argument("--starts", type=int, default=5)
    ap.add_argument("--megabytes", type=int, default=256)
    ap.add_argument("--skip-download", action="store_true")
    args = ap.parse_args()
    env = e2e.Env(args.build)
    print("load average before: %s" % open("/proc/loadavg").read().split()[:3])
    if args.starts:
        measure_start(env, args.starts)
    if not args.skip_download:
        measure_download(env, args.megabytes)
    print("load average after: %s" % open("/proc/loadavg").read().split()[:3])
    return 0


if __name__ == "__main__":
    sys.exit(main())
