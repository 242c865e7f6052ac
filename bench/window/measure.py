#!/usr/bin/env python3
"""Whole-program figures under Xvfb with a PulseAudio null sink: the program playing an MP3 opened through
its own Open button and file dialog (driven with xdotool), against mpg123 playing the same file; and the
program idle (no track) against an empty Qt window with two 1 ms timers. CPU per second of the process,
of the sound server and of the X server; peak resident memory.

Run through run-window-benchmarks, which starts the servers and makes the MP3."""
import argparse, os, statistics, subprocess, time

HZ = os.sysconf("SC_CLK_TCK")


def cpu(pid):
    """Seconds on CPU of a whole process (all threads, also those that ended)."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / HZ


def peak_rss_mib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return 0.0


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True).stdout.split()


class Meter:
    """CPU of the process, the sound server and the X server over a stretch of time."""

    def __init__(self, pid, server, xserver):
        self.pids = (pid, server, xserver)
        self.start = [cpu(p) for p in self.pids]
        self.t0 = time.monotonic()

    def per_second(self, seconds=None):
        now = [cpu(p) for p in self.pids]
        wall = seconds or (time.monotonic() - self.t0)
        return [1000 * (b - a) / wall for a, b in zip(self.start, now)]


def stop(proc):
    proc.terminate()
    try:
        proc.wait(5)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def run_mpg123(a):
    proc = subprocess.Popen(["mpg123", "-q", "-o", "pulse", a.mp3], stdout=subprocess.DEVNULL)
    meter = Meter(proc.pid, a.server_pid, a.x_pid)
    time.sleep(a.seconds - 0.5)
    program, server, x = meter.per_second()
    rss = peak_rss_mib(proc.pid)
    proc.wait()
    return program, server, x, rss


def wait_window(pid, exclude=(), timeout=20):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            found = [w for w in xdotool("search", "--onlyvisible", "--pid", str(pid), "") if w not in exclude]
        except subprocess.CalledProcessError:
            found = []
        if found:
            return found[0]
        time.sleep(0.05)
    raise SystemExit(f"no window of process {pid} appeared")


def run_program(a):
    proc = subprocess.Popen([a.program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        main = wait_window(proc.pid)
        time.sleep(1)
        # The Open button: client pixels (104, 64), 22 x 22.
        xdotool("mousemove", "--window", main, "115", "75", "click", "1")
        dialog = wait_window(proc.pid, exclude=(main,))
        time.sleep(0.5)
        xdotool("mousemove", "--window", dialog, "100", "100")
        xdotool("type", "--delay", "2", a.mp3)
        xdotool("key", "Return")
        time.sleep(0.5)  # the dialog closes and the track starts
        meter = Meter(proc.pid, a.server_pid, a.x_pid)
        time.sleep(a.seconds - 1.0)
        program, server, x = meter.per_second()
        rss = peak_rss_mib(proc.pid)
        title = xdotool("getwindowname", main)
        return program, server, x, rss
    finally:
        stop(proc)


def run_idle(cmd, a, seconds):
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_window(proc.pid)
        time.sleep(1)
        meter = Meter(proc.pid, a.server_pid, a.x_pid)
        time.sleep(seconds)
        program, server, x = meter.per_second()
        return program, server, x, peak_rss_mib(proc.pid)
    finally:
        stop(proc)


def report(name, rows):
    med = [statistics.median(r[i] for r in rows) for i in range(4)]
    print(f"median {name:22s}: process {med[0]:6.2f} ms/s, sound server {med[1]:6.2f} ms/s, "
          f"X server {med[2]:6.2f} ms/s, all {sum(med[:3]):6.2f} ms/s, peak RSS {med[3]:6.1f} MiB", flush=True)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--program", required=True)
    p.add_argument("--bare", required=True)
    p.add_argument("--mp3", required=True)
    p.add_argument("--seconds", type=float, required=True)
    p.add_argument("--rounds", type=int, default=3)
    p.add_argument("--idle-seconds", type=float, default=20)
    p.add_argument("--server-pid", type=int, required=True)
    p.add_argument("--x-pid", type=int, required=True)
    p.add_argument("--skip-playback", action="store_true")
    a = p.parse_args()

    runs = {}
    def add(name, row):
        runs.setdefault(name, []).append(row)
        print(f"{name:22s}: process {row[0]:6.2f} ms/s, sound server {row[1]:6.2f} ms/s, X server {row[2]:6.2f} ms/s, "
              f"peak RSS {row[3]:6.1f} MiB", flush=True)

    for _ in range(a.rounds):
        for glib in ("1", ""):
            os.environ["QT_NO_GLIB"] = glib
            label = "unix" if glib else "glib"
            add(f"program idle ({label})", run_idle([a.program], a, a.idle_seconds))
            add(f"bare timers ({label})", run_idle([a.bare, str(int(a.idle_seconds + 5))], a, a.idle_seconds))
        os.environ.pop("QT_NO_GLIB")
        if not a.skip_playback:
            add("mpg123 playing", run_mpg123(a))
            add("program playing", run_program(a))
    for name, rows in runs.items():
        report(name, rows)


main()
