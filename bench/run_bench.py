#!/usr/bin/env python3
"""Benchmarks of kvr.exe, each measured side by side with a yardstick that does
the same structural work with nothing of the program around it.

  size        kvr.exe                                   (target: <= 2 MiB)
  start-up    kvr.exe to its visible login window (the game window's program,
              then the page process that shows it)  vs  a bare launcher (same connectivity
              check, one GET) starting a bare dialog with a browser control on
              the same page; median of 7, the two in turns
                                               (target: ratio <= 1.3)
              the two processes' shares (the first until it starts the
              second, the second to its window), of both pairs;
              information: a one-program yardstick, the page process alone,
              the modules each process has loaded when the window shows
  download    the update download of 64 MiB  vs  a bare program with the same
              512-byte read loop and calls     (target: >= 0.9 of its throughput)
              information: the bare loop without the buffer fill, curl
  memory      an idle page process (game hall)  vs  the bare browser dialog
              (target: ratio <= 1.2)
  growth      add-account choice to the new tab's login window, for accounts 1
              to 3; working set of the game window and each page process with
              1, 2, 3 tabs; update check + download of 1, 16, 64 MiB builds
              -> build/bench/bench.json and build/bench/growth.png
  idle CPU    a game window with three tabs over 30 s (target: <= 0.5 % of one core)
  soak        three tabs: 1,000 tab switches, 100 boss-key hides and restores,
              100 mute toggles after a warm-up; working set, handles, GDI and
              USER objects of every process before and after (target: <= 1 %)

Logging in (growth, idle CPU, soak) needs the test build's automation
channel: its walk driver kvr_walk.exe (--hooks-build). Run by ./kvr bench,
which sets up Wine (prefix, display, wineserver).
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tools", "wine"))
import wine_processes  # noqa: E402
WINE = os.environ.get("WINELOADER", "wine")
MIB = 1048576.0


def win_path(p):
    return "Z:" + os.path.abspath(p).replace("/", "\\")


def cache_value(build, name):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    return ""


def wine(exe, *args, timeout=120):
    # Output through a file: programs the measured one starts (page processes,
    # Wine's helpers) inherit it, and a pipe would stay open after it ends.
    with tempfile.TemporaryFile(mode="w+") as out:
        subprocess.run([WINE, exe, *args], stdout=out, stderr=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL, timeout=timeout)
        out.seek(0)
        text = out.read()
    values = {}
    for line in text.splitlines():
        if "=" in line:
            k, v = line.strip().split("=", 1)
            values[k] = v
    return values


def reg_add(key, name, value):
    subprocess.run([WINE, "reg", "add", key, "/v", name, "/d", value, "/f"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


def load_average():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


class Portal:
    """The stand-in of a build: its ports, and its test key to sign what it serves."""

    def __init__(self, build):
        self.base = int(cache_value(build, "KVR_PORT_BASE") or 18300)
        self.pidfile = os.path.join(tempfile.gettempdir(), "kvr-bench-portal-%d.pid" % self.base)
        key = cache_value(build, "KVR_TEST_SIGNING_KEY")
        subprocess.run([sys.executable, os.path.join(ROOT, "tools/portal/portal.py"), "--base", str(self.base),
                        "--daemon", "--pidfile", self.pidfile] + (["--sign-key", key] if key else []),
                       check=True, timeout=30)

    def url(self, role_index, path):
        return "http://127.0.0.1:%d%s" % (self.base + role_index, path)

    def control(self, query):
        with urllib.request.urlopen(self.url(1, "/__kvr/" + query), timeout=10) as r:
            return r.read()

    def stop(self):
        subprocess.run([sys.executable, os.path.join(ROOT, "tools/portal/portal.py"), "--stop",
                        "--pidfile", self.pidfile], timeout=30)


class Results:
    """Every figure, printed as it is taken and kept for bench.json."""

    def __init__(self):
        self.data = {}
        self.targets = []

    def report(self, name, ours, theirs, unit, ratio, target, ok, yardstick="yardstick"):
        print("%-10s kvr %10s %-4s | %s %10s %-4s | ratio %6.2f  target %s  %s"
              % (name, ours, unit, yardstick, theirs, unit, ratio, target, "OK" if ok else "MISSED"))
        self.targets.append(ok)
        return ok

    def target(self, ok):
        self.targets.append(ok)
        return ok


def bench_size(res, release):
    size = os.path.getsize(os.path.join(release, "kvr.exe"))
    mib = size / MIB
    print("%-10s kvr.exe %.2f MiB (%d bytes)  target <= 2 MiB  %s" % ("size", mib, size,
                                                                  "OK" if mib <= 2 else "MISSED"))
    res.data["size"] = {"bytes": size}
    res.target(mib <= 2)


def timed_starts(driver, runs, *args):
    """Times to the window (ms), and the modules the started process and the
    window's had loaded by then, of the last run that found it; with them, how
    long after the started process the window's own process was started (ms),
    each run."""
    times, modules, splits = [], (0, 0), []
    for _ in range(runs):
        r = wine(driver, "startup", "30000", *args)
        wine(driver, "killall", "kvr.exe")
        wine(driver, "killall", "bench_bare_browser.exe")
        if r.get("found") == "1":
            times.append(int(r["startup_ms"]))
            modules = (int(r.get("starter_modules", 0)), int(r.get("window_modules", 0)))
            if "window_process_after_ms" in r:
                splits.append(int(r["window_process_after_ms"]))
    return times, modules, splits


def interleaved_starts(driver, runs, *starts):
    """timed_starts of several programs in turns, one run of each a round: a
    machine that grows slower or faster meanwhile weighs on all alike."""
    results = [([], (0, 0), []) for _ in starts]
    for _ in range(runs):
        for i, args in enumerate(starts):
            times, modules, splits = timed_starts(driver, 1, *args)
            results[i] = (results[i][0] + times, modules if times else results[i][1], results[i][2] + splits)
    return results


def bench_startup(res, release, driver, runs):
    # The Flash Player check passes, so start-up checks for an update (the
    # stand-in announces none) and goes straight to the game window and its
    # first page process, which shows the login window.
    reg_add(r"HKLM\SOFTWARE\Macromedia\FlashPlayer", "CurrentVersion", "32,0,0,465")
    kvr = win_path(os.path.join(release, "kvr.exe"))
    bench = os.path.join(release, "bench")
    (ours, our_modules, our_splits), (pair, pair_modules, pair_splits) = interleaved_starts(
        driver, runs, ("#32770", "MarvoleKelvara", kvr, "/KvrD"),
        ("#32770", "KvrBenchBareBrowser", win_path(os.path.join(bench, "bench_bare_launcher.exe"))))
    pages, _, _ = timed_starts(driver, runs, "#32770", "MarvoleKelvara", kvr, "/newgm", "/{hwnd}", "/0")
    single, _, _ = timed_starts(driver, runs, "KvrBenchMinDialog", "-", win_path(os.path.join(bench, "bench_min_dialog.exe")))
    if not ours or not pair:
        print("%-10s could not be measured (login window %d of %d times, yardstick %d)"
              % ("start-up", len(ours), runs, len(pair)))
        return res.target(False)
    a, b = statistics.median(ours), statistics.median(pair)
    res.data["startup"] = {"kvr_ms": ours, "bare_pair_ms": pair, "page_process_ms": pages, "one_program_ms": single,
                           "kvr_modules": our_modules, "bare_pair_modules": pair_modules,
                           "kvr_page_started_ms": our_splits, "bare_dialog_started_ms": pair_splits}
    ok = res.report("start-up", int(a), int(b), "ms", a / max(b, 1), "<= 1.3", a / max(b, 1) <= 1.3,
                    "bare launcher + dialog")
    print("%-10s   modules loaded when the login window shows: game window %d, page process %d | "
          "bare launcher %d, bare dialog %d" % ("", our_modules[0], our_modules[1], pair_modules[0], pair_modules[1]))
    if our_splits and pair_splits:
        # The first process's share ends when it starts the window's process.
        x, y = statistics.median(our_splits), statistics.median(pair_splits)
        print("%-10s   shares: game window's program until it starts the page %d ms, page process to its login "
              "window %d ms | bare launcher %d ms, bare dialog %d ms" % ("", x, a - x, y, b - y))
    info = []
    if pages:
        info.append("page process alone %d ms" % statistics.median(pages))
    if single:
        s = statistics.median(single)
        info.append("one-program yardstick %d ms (ratio %.2f)" % (s, a / max(s, 1)))
    print("%-10s   median of %d; information: %s" % ("", runs, ", ".join(info)))
    return ok


def bench_download(res, release, portal, driver, size_mib, runs=3):
    size = size_mib * 1048576
    portal.control("file?path=/bench/big.bin&size=%d" % size)
    url = portal.url(1, "/bench/big.bin")
    bare = os.path.join(release, "bench", "bench_bare_download.exe")
    speeds = {"kvr": [], "bare": [], "bare_unfilled": [], "curl": []}
    with tempfile.TemporaryDirectory() as tmp:
        target = os.path.join(tmp, "big.bin")
        # Interleaved, so that a busy moment of the machine falls on all alike.
        for _ in range(runs):
            for name, exe, args in (("kvr", driver, ["download", url, win_path(target)]),
                                    ("bare", bare, [url, win_path(target), "--fill"]),
                                    ("bare_unfilled", bare, [url, win_path(target)])):
                r = wine(exe, *args, timeout=900)
                ms = int(r.get("download_ms", "0"))
                if r.get("ok") == "1" and os.path.getsize(target) == size and ms > 0:
                    speeds[name].append(size / MIB / (ms / 1000.0))
            t0 = time.monotonic()
            subprocess.run(["curl", "-s", "-o", "/dev/null", url], check=True, timeout=600)
            speeds["curl"].append(size / MIB / max(time.monotonic() - t0, 0.001))
    figures = {k: statistics.median(v) if len(v) == runs else 0.0 for k, v in speeds.items()}
    res.data["download"] = {"mib": size_mib, "mb_per_s": figures, "runs": speeds}
    if not figures["kvr"] or not figures["bare"]:
        print("%-10s download failed (kvr %d of %d runs, yardstick %d)" % ("download", len(speeds["kvr"]), runs,
                                                                        len(speeds["bare"])))
        return res.target(False)
    ratio = figures["kvr"] / figures["bare"]
    ok = res.report("download", "%.0f" % figures["kvr"], "%.0f" % figures["bare"], "MB/s", ratio, ">= 0.9",
                    ratio >= 0.9, "bare 512-byte loop")
    print("%-10s   %d MiB, median of %d; information: bare loop without the buffer fill %.0f MB/s, curl %.0f MB/s "
          "(ratio %.2f)" % ("", size_mib, runs, figures["bare_unfilled"], figures["curl"],
                            figures["kvr"] / figures["curl"]))
    if not ok:
        span = lambda v: "%.0f-%.0f" % (min(v), max(v))
        print("%-10s   cause: runs of kvr.exe %s MB/s, of the yardstick %s MB/s, load average %.1f"
              % ("", span(speeds["kvr"]), span(speeds["bare"]), load_average()))
    return ok


def bench_memory(res, release, portal, driver, settle_ms):
    kvr = win_path(os.path.join(release, "kvr.exe"))
    bare = win_path(os.path.join(release, "bench", "bench_bare_browser.exe"))
    ours = wine(driver, "memory", str(settle_ms), kvr, "/gmhall", "/{hwnd}")
    wine(driver, "killall", "kvr.exe")
    theirs = wine(driver, "memory", str(settle_ms), bare, portal.url(1, "/webgame.htm"))
    # Wine reports no private bytes (always 0): fall back to the working set,
    # measured the same way for both.
    key = "private_bytes"
    if not int(ours.get(key, 0)) or not int(theirs.get(key, 0)):
        key = "working_set"
    a, b = int(ours.get(key, 0)), int(theirs.get(key, 0))
    if not a or not b:
        print("%-10s could not be measured" % "memory")
        return res.target(False)
    res.data["memory"] = {"kvr_bytes": a, "bare_bytes": b, "counter": key}
    return res.report("memory", "%.1f" % (a / MIB), "%.1f" % (b / MIB), "MiB " + key, a / b, "<= 1.2", a / b <= 1.2,
                      "bare browser dialog")


def bench_update_growth(portal, driver, release, sizes, runs=3):
    """Update check + download time of builds of each size (ms, median of runs)."""
    kvr = win_path(os.path.join(release, "kvr.exe"))
    times = {}
    for mib in sizes:
        path = "/download/Bench%d.exe" % mib
        portal.control("file?path=%s&size=%d" % (path, mib * 1048576))
        portal.control("config?verkey=%s&updaddr=%s" % ("0" * 28 + "9999", urllib.parse.quote(portal.url(1, path))))
        taken = []
        for _ in range(runs):
            with tempfile.TemporaryDirectory() as tmp:
                r = wine(driver, "update", portal.url(1, "/update/ConfigKvr.htm"), kvr, win_path(tmp), timeout=900)
            if r.get("ok") == "1":
                taken.append(int(r["update_ms"]))
        times[mib] = int(statistics.median(taken)) if len(taken) == runs else None
    portal.control("reset")
    return times


class Walk:
    """The test build's walk driver holding one game window (kvr_walk --hold)."""

    def __init__(self, hooks_build, tabs):
        walker = os.path.join(hooks_build, "tests", "e2e", "kvr_walk.exe")
        self.proc = subprocess.Popen([WINE, walker, "--hold", str(tabs)], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, cwd=hooks_build,
                                     env=dict(os.environ, KVR_BUILD_DIR=hooks_build), text=True)
        self.login_ms = []
        self.pids = []
        self.read_until(("PIDS", "FAILED"))

    def read_until(self, ends):
        lines = []
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError("the walk driver ended: %s" % lines[-3:])
            line = line.strip()
            lines.append(line)
            if line.startswith("LOGIN "):
                self.login_ms.append(int(line.split()[2]))
            elif line.startswith("PIDS "):
                self.pids = line.split()[1:]
            if line.startswith("FAILED") and "FAILED" not in ends:
                raise RuntimeError(line)
            if line.startswith(ends):
                return lines

    def command(self, text, ends=("OK", "FAILED")):
        self.proc.stdin.write(text + "\n")
        self.proc.stdin.flush()
        return self.read_until(ends)

    def add(self):
        self.command("add")

    def measure(self):
        """{pid: (working set, handles, GDI, USER, windows)}, the game window first."""
        procs = {}
        for line in self.command("measure"):
            if line.startswith("PROC "):
                f = line.split()
                procs[f[1]] = tuple(int(x) for x in f[2:7])
        return procs

    def close(self):
        try:
            self.proc.stdin.write("exit\n")
            self.proc.stdin.flush()
            self.proc.wait(timeout=90)
        except (OSError, subprocess.SubprocessError):
            self.proc.kill()


def bench_idle_cpu(res, walk, seconds):
    # Measured on the Linux side: Wine reports no CPU times of other
    # processes through GetProcessTimes.
    time.sleep(2)  # let the tabs settle after their first paint
    pids = wine_processes.linux_pids()
    before = wine_processes.cpu_ticks(pids)
    time.sleep(seconds)
    used = int((wine_processes.cpu_ticks(pids) - before) * 1000 / os.sysconf("SC_CLK_TCK"))
    share = used / (seconds * 1000.0) * 100
    ok = len(pids) == len(walk.pids) and share <= 0.5
    res.data["idle_cpu"] = {"seconds": seconds, "cpu_ms": used, "processes": len(pids)}
    print("%-10s game window + %d page processes (%d found), %d s idle: %d ms CPU (%.2f %% of one core)  "
          "target <= 0.5 %%  %s" % ("idle CPU", len(walk.pids) - 1, len(pids), seconds, used, share,
                                           "OK" if ok else "MISSED"))
    return res.target(ok)


COUNTERS = ("working set", "handles", "GDI objects", "USER objects", "windows")


def bench_soak(res, walk, switches, boss, mutes):
    warm = walk.command("soak %d %d %d" % (switches // 10, boss // 10, mutes // 10))
    before = walk.measure()
    t0 = time.monotonic()
    answer = walk.command("soak %d %d %d" % (switches, boss, mutes))[-1]
    seconds = time.monotonic() - t0
    after = walk.measure()
    rows, worst, causes = [], 0.0, []
    for pid, b in before.items():
        a = after.get(pid)
        if not a:
            causes.append("process %s ended" % pid)
            continue
        role = "game window" if pid == walk.pids[0] else "page %s" % pid
        for name, x, y in zip(COUNTERS, b, a):
            if not x:
                continue  # not reported by Wine
            growth = (y - x) * 100.0 / x
            rows.append({"process": role, "counter": name, "before": x, "after": y, "growth_percent": growth})
            if growth > worst:
                worst = growth
            if growth > 1.0:
                unit = (y - x) / MIB if name == "working set" else y - x
                causes.append("%s %s +%.1f %% (+%s)" % (role, name, growth,
                                                       "%.1f MiB" % unit if name == "working set" else unit))
    reported = sorted({r["counter"] for r in rows})
    ok = answer == "OK" and not causes and bool(rows)
    res.data["soak"] = {"switches": switches, "boss": boss, "mutes": mutes, "seconds": seconds,
                        "driver": answer, "warm_up": warm[-1], "rows": rows}
    print("%-10s %d tab switches, %d boss-key hides and restores, %d mute toggles in %.0f s (%s); "
          "largest growth %.2f %%  target <= 1 %%  %s" % ("soak", switches, boss, mutes, seconds, answer, worst,
                                                          "OK" if ok else "MISSED"))
    for pid, b in before.items():
        a = after.get(pid, (0, 0, 0, 0, 0))
        role = "game window" if pid == walk.pids[0] else "page %s" % pid
        print("%-10s   %-12s ws %6.1f -> %6.1f MiB, handles %5d -> %5d, GDI %4d -> %4d, USER %4d -> %4d, "
              "windows %4d -> %4d" % ("", role, b[0] / MIB, a[0] / MIB, b[1], a[1], b[2], a[2], b[3], a[3], b[4], a[4]))
    missing = [c for c in COUNTERS if c not in reported]
    if missing:
        print("%-10s   not reported by Wine (read 0): %s" % ("", ", ".join(missing)))
    if causes:
        print("%-10s   cause: %s" % ("", "; ".join(causes)))
    return res.target(ok)


def print_growth(growth):
    print("%-10s cost as work grows (ratio to the first column in brackets)" % "growth")

    def row(label, values, fmt):
        first = next((v for v in values if v), None)
        cells = []
        for v in values:
            if v is None:
                cells.append("%16s" % "-")
            else:
                cells.append("%16s" % ("%s (%.2f)" % (fmt % v, v / first if first else 0)))
        print("%-10s   %-34s %s" % ("", label, "".join(cells)))

    print("%-10s   %-34s %16s%16s%16s" % ("", "", "1", "2", "3"))
    row("login window shows (ms)", growth["login_ms"], "%d")
    row("game window working set (MiB)", [w / MIB for w in growth["game_ws"]], "%.1f")
    row("page processes, mean (MiB)", [statistics.mean(p) / MIB if p else None for p in growth["page_ws"]], "%.1f")
    row("all processes (MiB)", [(g + sum(p)) / MIB for g, p in zip(growth["game_ws"], growth["page_ws"])], "%.1f")
    sizes = sorted(growth["update_ms"])
    print("%-10s   %-34s %s" % ("", "build size (MiB)", "".join("%16d" % s for s in sizes)))
    row("update check + download (ms)", [growth["update_ms"][s] for s in sizes], "%d")


def plot_growth(growth, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, axes = plt.subplots(1, 3, figsize=(13, 4))
    n = [1, 2, 3][:len(growth["login_ms"])]
    axes[0].plot(n, growth["login_ms"], "o-")
    axes[0].set(title="login window of account n", xlabel="account", ylabel="ms", xticks=n)
    tabs = [1, 2, 3][:len(growth["game_ws"])]
    axes[1].plot(tabs, [w / MIB for w in growth["game_ws"]], "o-", label="game window")
    for i in range(3):
        xs = [t for t, p in zip(tabs, growth["page_ws"]) if len(p) > i]
        ys = [p[i] / MIB for p in growth["page_ws"] if len(p) > i]
        if xs:
            axes[1].plot(xs, ys, "s--", label="page process %d" % (i + 1))
    axes[1].set(title="working set with n tabs", xlabel="tabs", ylabel="MiB", xticks=tabs)
    axes[1].legend(fontsize=8)
    sizes = [s for s in sorted(growth["update_ms"]) if growth["update_ms"][s]]
    axes[2].plot(sizes, [growth["update_ms"][s] for s in sizes], "o-")
    axes[2].set(title="update check + download", xlabel="build size (MiB)", ylabel="ms")
    fig.suptitle("kvr.exe: cost as work grows")
    fig.tight_layout()
    fig.savefig(path, dpi=90)
    plt.close(fig)


def bench_session(res, hooks_build, driver, idle_seconds, soak, update_ms):
    """Growth of logins and memory with 1 to 3 tabs, idle CPU, soak: one game
    window of the test build, held by its walk driver."""
    walker = os.path.join(hooks_build, "tests", "e2e", "kvr_walk.exe")
    if not os.path.exists(walker):
        print("%-10s not measured: no %s (build the tests first)" % ("growth", walker))
        return None
    portal = Portal(hooks_build)
    walk = None
    growth = {"game_ws": [], "page_ws": [], "update_ms": update_ms}
    try:
        walk = Walk(hooks_build, 1)
        pages = []  # page processes in the order their tabs opened
        for tabs in (1, 2, 3):
            if tabs > 1:
                walk.add()
            procs = walk.measure()
            pages += [pid for pid in walk.pids[1:] if pid not in pages]
            growth["game_ws"].append(procs.get(walk.pids[0], (0,))[0])
            growth["page_ws"].append([procs[pid][0] for pid in pages if pid in procs])
        growth["login_ms"] = walk.login_ms
        print_growth(growth)
        res.data["growth"] = growth
        bench_idle_cpu(res, walk, idle_seconds)
        bench_soak(res, walk, *soak)
    except RuntimeError as e:
        print("%-10s the walk driver failed: %s" % ("growth", e))
        res.target(False)
    finally:
        if walk:
            walk.close()
        wine(driver, "killall", "kvr.exe")
        portal.stop()
    return growth if growth.get("login_ms") else None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--release", required=True, help="build folder of the measured kvr.exe and the yardsticks")
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--download-mib", type=int, default=64)
    ap.add_argument("--hooks-build", help="test build folder (kvr_walk.exe): growth, idle CPU, soak")
    ap.add_argument("--idle-seconds", type=int, default=30)
    ap.add_argument("--soak", type=int, nargs=3, default=[1000, 100, 100], metavar=("SWITCHES", "BOSS", "MUTES"))
    ap.add_argument("--out", help="folder for bench.json and growth.png (default: <hooks build>/bench)")
    args = ap.parse_args()

    driver = os.path.join(args.release, "bench", "bench_driver.exe")
    res = Results()
    load = load_average()
    print("%-10s load average %.2f on %d cores at the start%s" % ("machine", load, os.cpu_count(),
                                                                  "" if load < 1.0 else " (NOT QUIET)"))
    portal = Portal(args.release)
    try:
        bench_size(res, args.release)
        bench_startup(res, args.release, driver, args.runs)
        bench_download(res, args.release, portal, driver, args.download_mib)
        bench_memory(res, args.release, portal, driver, 8000)
        update_ms = bench_update_growth(portal, driver, args.release, (1, 16, 64))
    finally:
        portal.stop()
    growth = bench_session(res, os.path.abspath(args.hooks_build), driver, args.idle_seconds, args.soak,
                           update_ms) if args.hooks_build else None
    end_load = load_average()
    res.data["machine"] = {"cores": os.cpu_count(), "load_start": load, "load_end": end_load}
    out = args.out or os.path.join(args.hooks_build or args.release, "bench")
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "bench.json"), "w") as f:
        json.dump(res.data, f, indent=1)
    if growth:
        try:
            plot_growth(growth, os.path.join(out, "growth.png"))
        except ImportError:
            print("growth.png not drawn: no matplotlib (python3-matplotlib)")
    print("%-10s load average %.2f at the end; figures in %s" % ("machine", end_load, out))
    print("%d of %d targets met" % (sum(res.targets), len(res.targets)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
