#!/usr/bin/env python3
"""CPU per second of playback: the engine (engine_play) against mpg123 playing the same MP3 to the same
PulseAudio null sink, alternating, with the sound server's own CPU measured over each run. Medians.

Run through run-pulse-benchmarks, which starts the server and makes the MP3."""
import argparse, os, statistics, subprocess, time

def ticks(pid):
    # Time on CPU in nanoseconds from the scheduler, finer than the 10 ms ticks of /proc/PID/stat.
    with open(f"/proc/{pid}/schedstat") as f:
        return int(f.read().split()[0]) / 1e9

def run(cmd, server_pid):
    before = ticks(server_pid)
    start = time.monotonic()
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - start
    if status != 0:
        raise SystemExit(f"{cmd[0]} failed with status {status}")
    return usage.ru_utime + usage.ru_stime, ticks(server_pid) - before, wall

def def scan(a):
    """How the device buffer size drives the sound server's CPU, with mpg123's as the reference."""
    tone = min(a.seconds, 20.0)
    for r in range(a.rounds):
        for b in a.scan_buffers.split(","):
            cpu, server, _ = run([a.engine, "--buffer", b, "--tone", str(tone)], a.server_pid)
            print(f"round {r + 1} buffer {int(b):5d} frames: sound server {1000 * server / tone:5.2f} ms/s, "
                  f"engine {1000 * cpu / tone:5.2f} ms/s", flush=True)
        _, server, _ = run_timeout(["mpg123", "-q", "-o", "pulse", a.mp3], tone, a.server_pid)
        print(f"round {r + 1} mpg123 reference: sound server {1000 * server / tone:5.2f} ms/s", flush=True)

def run_timeout(cmd, seconds, server_pid):
    before = ticks(server_pid)
    proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL)
    time.sleep(seconds)
    proc.terminate()
    proc.wait()
    return 0.0, ticks(server_pid) - before, seconds

main():
    p = argparse.ArgumentParser()
    p.add_argument("--engine", required=True)
    p.add_argument("--mp3", required=True)
    p.add_argument("--seconds", type=float, required=True, help="length of the MP3")
    p.add_argument("--rounds", type=int, default=3)
    p.add_argument("--server-pid", type=int, required=True)
    p.add_argument("--engine-args", default="")
    p.add_argument("--scan-buffers", default="", help="instead: the server's CPU for a tone at these buffer sizes")
    a = p.parse_args()
    if a.scan_buffers:
        return scan(a)
    players = {
        "mpg123": ["mpg123", "-q", "-o", "pulse", a.mp3],
        "engine": [a.engine] + a.engine_args.split() + [a.mp3],
    }
    results = {name: [] for name in players}
    for r in range(a.rounds):
        for name, cmd in players.items():
            cpu, server, wall = run(cmd, a.server_pid)
            results[name].append((cpu, server, wall))
            print(f"round {r + 1} {name:7s}: {1000 * cpu / a.seconds:6.2f} ms/s, server {1000 * server / a.seconds:6.2f} ms/s, "
                  f"wall {wall:6.2f} s", flush=True)
            time.sleep(1)
    med = {n: (statistics.median(c for c, _, _ in v) * 1000 / a.seconds,
               statistics.median(s for _, s, _ in v) * 1000 / a.seconds) for n, v in results.items()}
    for n, (c, s) in med.items():
        print(f"median {n:7s}: {c:6.2f} ms CPU per second of playback, sound server {s:6.2f} ms/s")
    e, m = med["engine"], med["mpg123"]
    print(f"engine/mpg123: process {e[0] / m[0]:.2f}x, sound server {e[1] / m[1]:.2f}x" if m[0] and m[1] else "")

main()
