"""Linux-side view of the Windows programs running in this Wine prefix."""
import os
import subprocess


def linux_pids(image="kvr.exe"):
    """Linux ids of the processes of `image` in this prefix ($WINEPREFIX)."""
    prefix = ("WINEPREFIX=" + os.environ.get("WINEPREFIX", "")).encode()
    try:
        out = subprocess.run(["pgrep", "-f", image], capture_output=True, text=True).stdout
    except OSError:
        return []
    pids = []
    for pid in out.split():
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if prefix in f.read().split(b"\0"):
                    pids.append(pid)
        except OSError:
            continue
    return pids


def cpu_ticks(pids):
    """User + system clock ticks the processes have used so far."""
    total = 0
    for pid in pids:
        try:
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])  # utime, stime
        except (OSError, IndexError, ValueError):
            continue
    return total
