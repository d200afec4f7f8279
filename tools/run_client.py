#!/usr/bin/env python3
"""`./kvr run`: the stand-in portal and kvr.exe under Wine, with screenshots.

Called by ./kvr after the build, with the Wine prefix, wineserver and display
already set up (WINEPREFIX, WINELOADER, DISPLAY, KVR_VIRTUAL_DISPLAY). Starts the
stand-in on the build's ports, starts kvr.exe, saves a screenshot under
<build>/screens whenever the screen changes, and prints what the stand-in
received. On a virtual display it stops after --seconds; on the user's display
it runs until kvr.exe and every page process it started have ended.
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


def log(msg):
    print("[kvr run] %s" % msg, file=sys.stderr, flush=True)


def port_base(build):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        m = re.search(r"^KVR_PORT_BASE:\w+=(\d+)", f.read(), re.M)
    return int(m.group(1)) if m else 18300


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


def wine_processes_running():
    """True while a kvr.exe of this prefix still runs (page processes included)."""
    try:
        out = subprocess.run(["pgrep", "-af", "kvr.exe"], capture_output=True, text=True).stdout
    except OSError:
        return False
    prefix = os.environ.get("WINEPREFIX", "")
    for line in out.splitlines():
        pid = line.split()[0]
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if ("WINEPREFIX=" + prefix).encode() in f.read().split(b"\0"):
                    return True
        except OSError:
            continue
    return False


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", required=True, help="build folder holding kvr.exe")
    ap.add_argument("--seconds", type=float, default=float(os.environ.get("KVR_RUN_SECONDS", "60")),
                    help="how long to run on a virtual display (default 60)")
    ap.add_argument("--interval", type=float, default=2.0, help="seconds between screenshots")
    ap.add_argument("--args", default="", help="command line for kvr.exe, e.g. \"/KvrD\"")
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
    if subprocess.run([sys.executable, PORTAL, "--base", str(base), "--daemon", "--pidfile", pidfile,
                       "--log", requests]).returncode != 0:
        log("the stand-in portal did not start (ports %d-%d busy?)" % (base + 1, base + 5))
        return 1

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
            if client.poll() is not None and not wine_processes_running():
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
    print("%d screenshot(s) in %s" % (shots, screens))
    return 0


if __name__ == "__main__":
    sys.exit(main())
