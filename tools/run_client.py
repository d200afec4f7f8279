#!/usr/bin/env python3
"""`./kvr run`: the stand-in portal and kvr.exe under Wine, with screenshots.

Called by ./kvr after the build, with the Wine prefix, wineserver and display
already set up (WINEPREFIX, WINELOADER, DISPLAY, KVR_VIRTUAL_DISPLAY). Starts the
stand-in on the build's ports, starts kvr.exe, saves a screenshot under
<build>/screens whenever the screen changes, and prints what the stand-in
received. On a virtual display it walks the road of one login automatically
with the walk driver (tests/e2e/road_walk.cpp, built as kvr_walk.exe): start,
login page, two accounts logged in as tabs, the exit question, exit all;
one screenshot and one summary line per step. With --free (or on the user's
display) it only starts kvr.exe and saves a screenshot whenever the screen
changes, for --seconds on a virtual display or until kvr.exe and every page
process it started have ended.
"""
import argparse
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PORTAL = os.path.join(ROOT, "tools", "portal", "portal.py")
sys.path.insert(0, os.path.join(ROOT, "tools", "wine"))
import wine_processes  # noqa: E402


def log(msg):
    print("[kvr run] %s" % msg, file=sys.stderr, flush=True)


def cache_value(build, name):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        m = re.search(r"^%s:\w+=(.*)$" % name, f.read(), re.M)
    return m.group(1).strip() if m else ""


def port_base(build):
    value = cache_value(build, "KVR_PORT_BASE")
    return int(value) if value.isdigit() else 18300


def screenshot(display):
    """The whole screen as (raw xwd bytes, PNG bytes), or (None, None)."""
    try:
        xwd = subprocess.run(["xwd", "-root", "-silent", "-display", display],
                             capture_output=True, timeout=20, check=True).stdout
        png = subprocess.run(["/usr/bin/convert", "xwd:-", "png:-"], input=xwd,
                             capture_output=True, timeout=20, check=True).stdout
        return xwd, png
    except (subprocess.SubprocessError, OSError):
        return None, None


def find_walker(build):
    for rel in ("tests/e2e/kvr_walk.exe", "kvr_walk.exe"):
        path = os.path.join(build, rel)
        if os.path.exists(path):
            return path
    return None


def walk(build, display, screens, walker):
    """Runs the walk driver; a screenshot per STEP line. Returns failed steps."""
    loader = os.environ.get("WINELOADER", "wine")
    env = dict(os.environ, KVR_BUILD_DIR=build)
    driver = subprocess.Popen([loader, walker], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, cwd=build, env=env, text=True, bufsize=1)
    steps, failed = 0, None
    for line in driver.stdout:
        line = line.rstrip("\r\n")
        if line.startswith("STEP "):
            steps += 1
            name, _, summary = line[5:].partition("|")
            _, png = screenshot(display)
            path = os.path.join(screens, "run-%02d-%s.png" % (steps, re.sub(r"[^\w-]", "_", name)))
            if png:
                with open(path, "wb") as f:
                    f.write(png)
            print("%2d. %-14s %s  [%s]" % (steps, name, summary,
                                          os.path.relpath(path, build) if png else "no screenshot"), flush=True)
            try:
                driver.stdin.write("\n")
                driver.stdin.flush()
            except OSError:
                pass
        elif line.startswith("DONE "):
            failed = int(line[5:].strip() or "0")
    driver.wait()
    if failed is None:
        log("the walk driver ended early (exit code %s)" % driver.returncode)
        failed = 1
    return steps, failed


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", required=True, help="build folder holding kvr.exe")
    ap.add_argument("--seconds", type=float, default=float(os.environ.get("KVR_RUN_SECONDS", "60")),
                    help="how long to run on a virtual display (default 60)")
    ap.add_argument("--interval", type=float, default=2.0, help="seconds between screenshots")
    ap.add_argument("--args", default="", help="command line for kvr.exe, e.g. \"/KvrD\"")
    ap.add_argument("--free", action="store_true",
                    help="do not walk the road: start kvr.exe and watch the screen")
    args = ap.parse_args()

    build = os.path.abspath(args.build)
    exe = os.path.join(build, "kvr.exe")
    if not os.path.exists(exe):
        log("no %s: build first" % exe)
        return 1
    display = os.environ.get("DISPLAY", "")
    virtual = os.environ.get("KVR_VIRTUAL_DISPLAY", "1") != "0"
    screens = os.path.join(build, "screens")
    os.makedirs(screens, exist_ok=True)
    portal_dir = os.path.join(build, "portal")
    os.makedirs(portal_dir, exist_ok=True)
    pidfile = os.path.join(portal_dir, "run.pid")
    requests = os.path.join(portal_dir, "run-requests.jsonl")

    base = port_base(build)
    # The stand-in signs updates with the key the build checks them with.
    key = cache_value(build, "KVR_TEST_SIGNING_KEY")
    if subprocess.run([sys.executable, PORTAL, "--base", str(base), "--daemon", "--pidfile", pidfile,
                       "--log", requests] + (["--sign-key", key] if key else [])).returncode != 0:
        log("the stand-in portal did not start (ports %d-%d busy?)" % (base + 1, base + 5))
        return 1

    walker = find_walker(build)
    if virtual and not args.free and walker:
        log("display %s (virtual): walking the road of one login with %s" % (display, walker))
        try:
            steps, failed = walk(build, display, screens, walker)
        finally:
            subprocess.run([sys.executable, PORTAL, "--stop", "--pidfile", pidfile])
        print_requests(requests)
        print("%d step(s), %d failed; screenshots in %s" % (steps, failed, screens))
        return 1 if failed else 0
    if virtual and not args.free:
        log("no kvr_walk.exe in %s (tests not built?): watching the screen only" % build)

    loader = os.environ.get("WINELOADER", "wine")
    cmd = [loader, exe] + shlex.split(args.args)
    log("display %s (%s), running: %s" % (display, "virtual" if virtual else "yours", " ".join(cmd)))
    client = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, cwd=build)
    shots, last_digest, start = 0, None, time.time()
    try:
        while True:
            time.sleep(args.interval)
            raw, png = screenshot(display)
            if png:
                # PNG files carry a time stamp: compare the pixels as captured.
                digest = hashlib.md5(raw).hexdigest()
                if digest != last_digest:
                    shots += 1
                    path = os.path.join(screens, "run-%02d.png" % shots)
                    with open(path, "wb") as f:
                        f.write(png)
                    log("screenshot %s" % path)
                    last_digest = digest
            if client.poll() is not None and not wine_processes.linux_pids():
                log("kvr.exe ended (exit code %s)" % client.returncode)
                break
            if virtual and time.time() - start > args.seconds:
                log("stopping after %.0f s on the virtual display" % args.seconds)
                break
    except KeyboardInterrupt:
        log("interrupted")
    finally:
        if client.poll() is None:
            client.terminate()
        # Page processes of this prefix end with its wineserver (./kvr stops it).
        subprocess.run([sys.executable, PORTAL, "--stop", "--pidfile", pidfile])

    print_requests(requests)
    print("%d screenshot(s) in %s" % (shots, screens))
    return 0


def print_requests(requests):
    print("The stand-in portal received:")
    count = 0
    if os.path.exists(requests):
        with open(requests, encoding="utf-8") as f:
            for line in f:
                e = json.loads(line)
                count += 1
                q = "?" + e["query"] if e["query"] else ""
                print("  %-14s %s %s%s  (User-Agent: %s)" % (e["role"], e["method"], e["path"], q,
                                                           e["headers"].get("User-Agent", "")))
    if not count:
        print("  nothing")


if __name__ == "__main__":
    sys.exit(main())
