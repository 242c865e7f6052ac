#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""CPU per second of playback: the engine (engine_play) against mpg123 playing the same MP3 to the same
PulseAudio null sink, alternating, with the sound server's own CPU measured over each run. Medians.
Whole process (start-up included) and steady playback (from 3 s in to 2 s before the end) are both shown.

Run through run-pulse-benchmarks, which starts the server and makes the MP3."""
import argparse, os, statistics, subprocess, time


def cpu(pid):
    # Time on CPU in seconds, all threads, from the scheduler (finer than the 10 ms ticks of /proc/PID/stat).
    total = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                total += int(f.read().split()[0])
        except FileNotFoundError:
            pass
    return total / 1e9


def run(cmd, server_pid, seconds, steady_from=3.0, steady_margin=2.0):
    server_before = cpu(server_pid)
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
    steady = None
    if seconds > steady_from + steady_margin + 1:
        time.sleep(steady_from)
        p0, s0, t0 = cpu(proc.pid), cpu(server_pid), time.monotonic()
        time.sleep(seconds - steady_from - steady_margin)
        p1, s1, t1 = cpu(proc.pid), cpu(server_pid), time.monotonic()
        steady = ((p1 - p0) / (t1 - t0), (s1 - s0) / (t1 - t0))
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    if status != 0:
        raise SystemExit(f"{cmd[0]} failed with status {status}")
    whole = ((usage.ru_utime + usage.ru_stime) / seconds, (cpu(server_pid) - server_before) / seconds)
    return whole, steady, wall


def compare(a):
    players = {
        "mpg123": ["mpg123", "-q", "-o", "pulse", a.mp3],
        "engine": [a.engine] + a.engine_args.split() + [a.mp3],
    }
    results = {name: [] for name in players}
    for r in range(a.rounds):
        for name, cmd in players.items():
            whole, steady, wall = run(cmd, a.server_pid, a.seconds)
            results[name].append((whole, steady))
            print(f"round {r + 1} {name}: whole process {1000 * whole[0]:5.2f} ms/s (server {1000 * whole[1]:5.2f}), "
                  f"steady {1000 * steady[0]:5.2f} ms/s (server {1000 * steady[1]:5.2f}), wall {wall:5.2f} s", flush=True)
            time.sleep(1)
    med = {}
    for name, rows in results.items():
        med[name] = [1000 * statistics.median(row[k][i] for row in rows) for k in (0, 1) for i in (0, 1)]
        w, ws, s, ss = med[name]
        print(f"median {name}: whole process {w:5.2f} ms CPU per second of playback (server {ws:5.2f}); "
              f"steady {s:5.2f} (server {ss:5.2f})")
    e, m = med["engine"], med["mpg123"]
    print(f"engine/mpg123: whole process {e[0] / m[0]:.2f}x, its server {e[1] / m[1]:.2f}x; "
          f"steady {e[2] / m[2]:.2f}x, its server {e[3] / m[3]:.2f}x")


def scan(a):
    """How the device buffer size drives the sound server's CPU, with mpg123's as the reference."""
    tone = 20.0
    for r in range(a.rounds):
        for b in a.scan_buffers.split(","):
            _, steady, _ = run([a.engine, "--buffer", b, "--tone", str(tone)], a.server_pid, tone)
            print(f"round {r + 1} buffer {int(b):5d} frames: sound server {1000 * steady[1]:5.2f} ms/s "
                  f"(engine {1000 * steady[0]:5.2f} ms/s)", flush=True)
        proc = subprocess.Popen(["mpg123", "-q", "-o", "pulse", a.mp3], stdout=subprocess.DEVNULL)
        time.sleep(3)
        s0, t0 = cpu(a.server_pid), time.monotonic()
        time.sleep(tone - 5)
        s1, t1 = cpu(a.server_pid), time.monotonic()
        proc.terminate()
        proc.wait()
        print(f"round {r + 1} mpg123 reference: sound server {1000 * (s1 - s0) / (t1 - t0):5.2f} ms/s", flush=True)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--engine", required=True)
    p.add_argument("--mp3", required=True)
    p.add_argument("--seconds", type=float, required=True, help="length of the MP3")
    p.add_argument("--rounds", type=int, default=3)
    p.add_argument("--server-pid", type=int, required=True)
    p.add_argument("--engine-args", default="")
    p.add_argument("--scan-buffers", default="", help="instead: the server's CPU for a tone at these buffer sizes")
    a = p.parse_args()
    scan(a) if a.scan_buffers else compare(a)


main()
