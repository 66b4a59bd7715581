#!/usr/bin/python3
"""Start-up time of twdesktop, from process start to the first graph on the page, beside the
same figure for a bare WebKitGTK window that shows a static page (startup-bare).

    bench/startup.py [BIN_DIR] [--runs N]      (BIN_DIR defaults to build/default/bin)

Each run starts a fresh Xvfb, then the program in a scratch workspace with the CLI stand-in
(fake-tw) next to it as `tw`, answering at once. twdesktop reports the moment through its
opt-in hook (TWDESKTOP_TRACE_FIRST_GRAPH, see src/gtk/StartupTrace.h): the page has evaluated
the first window.loadGraph script. The bare program's page, like the real one, posts "ready" from
its script and is answered with one script; it reports when that has been evaluated, so the
difference is what twdesktop adds: its frame, the page's size and two CLI runs. Both print CLOCK_MONOTONIC, the clock of time.monotonic(). The two
programs take turns so that a change of load on the machine hits both alike; the first run of
each starts with an empty cache folder. Prints the median of the runs and the ratio.
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SCENARIO = {"rules": [
    {"args": "workspace list --json",
     "output": json.dumps({"workspaces": [{"id": "alpha", "name": "Alpha"},
                                          {"id": "beta", "name": "Beta"}]})},
    {"prefix": "workspace status",
     "output": json.dumps({"nodes": [
         {"id": "core", "name": "Core", "root": True, "ref": "v1", "branch": "main"},
         {"id": "ui", "name": "Ui", "ref": "v1", "branch": "v1", "dirty": True},
         {"id": "net", "name": "Net", "ref": "v1", "branch": "v1"}]})},
]}


def start_xvfb():
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp"], pass_fds=(write_fd,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as pipe:
        return xvfb, ":" + pipe.readline().strip()


def measure(command, cwd, env, marker, timeout=120):
    """Seconds from just before the process starts until it prints the marker line."""
    xvfb, display = start_xvfb()
    try:
        started = time.monotonic()
        process = subprocess.Popen(command, cwd=cwd, env={**env, "DISPLAY": display},
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            deadline = started + timeout
            for line in process.stderr:
                if line.startswith(marker):
                    return float(line.split()[-1]) - started
                if time.monotonic() > deadline:
                    break
            raise RuntimeError(f"{command[0]} never printed {marker!r}")
        finally:
            process.kill()
            process.wait()
    finally:
        xvfb.kill()
        xvfb.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("bin_dir", nargs="?", default="build/default/bin")
    parser.add_argument("--runs", type=int, default=5)
    options = parser.parse_args()
    options.bin_dir = os.path.abspath(options.bin_dir)

    scratch = tempfile.mkdtemp(prefix="twd-bench-")
    try:
        app_dir = os.path.join(scratch, "app")
        workspace = os.path.join(scratch, "workspace")
        os.makedirs(app_dir)
        os.makedirs(workspace)
        shutil.copy2(os.path.join(options.bin_dir, "twdesktop"), app_dir)
        shutil.copy2(os.path.join(options.bin_dir, "fake-tw"), os.path.join(app_dir, "tw"))
        scenario = os.path.join(scratch, "scenario.json")
        with open(scenario, "w") as out:
            json.dump(SCENARIO, out)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": scratch,
               "TMPDIR": scratch, "XDG_CACHE_HOME": os.path.join(scratch, "cache"),
               "XDG_RUNTIME_DIR": scratch, "GSETTINGS_BACKEND": "memory",
               "DBUS_SESSION_BUS_ADDRESS": "disabled:", "FAKE_TW_SCENARIO": scenario}

        app, bare = [], []
        for run in range(options.runs):
            app.append(measure([os.path.join(app_dir, "twdesktop")], workspace,
                               {**env, "TWDESKTOP_TRACE_FIRST_GRAPH": "1"},
                               "twdesktop-trace first-graph"))
            bare.append(measure([os.path.join(options.bin_dir, "startup-bare")], workspace, env,
                                "bare-trace first-script"))
            print(f"run {run + 1}: twdesktop {app[-1] * 1000:.0f} ms, "
                  f"bare WebKitGTK {bare[-1] * 1000:.0f} ms", file=sys.stderr)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)

    app_median, bare_median = statistics.median(app), statistics.median(bare)
    print(f"twdesktop, process start to first graph: median {app_median * 1000:.0f} ms "
          f"of {options.runs}")
    print(f"bare WebKitGTK window, process start to first script on a static page: median "
          f"{bare_median * 1000:.0f} ms of {options.runs}")
    print(f"ratio: {app_median / bare_median:.2f}")


if __name__ == "__main__":
    main()
