#!/usr/bin/env python3
"""Playing only, in turns: each program plays the MP3 given on its command line (no dialog, no idle or stopped
stretch), then the next, round after round, so that slow drifts of a shared machine fall on all of them alike.
Prints CPU ms/s and wake-ups/s of the UI thread and of the whole process for each run, then medians.

Run through run-alternating, which starts the servers and makes the MP3."""
import argparse, collections, os, shutil, statistics, subprocess, tempfile, time


def figures(pid):
    """{tid: (cpu seconds, context switches)} of every thread alive now."""
    out = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                ns = int(f.read().split()[0])
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                switches = sum(int(line.split()[1]) for line in f if "ctxt_switches:" in line)
            out[tid] = (ns / 1e9, switches)
        except (FileNotFoundError, ProcessLookupError, ValueError):
            pass
    return out


def measure(command, mp3, settle, seconds):
    home = tempfile.mkdtemp(prefix="tamro-alternate-")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=f"{home}/.config", XDG_CACHE_HOME=f"{home}/.cache")
    proc = subprocess.Popen([command, mp3], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    try:
        time.sleep(settle)
        before, t0 = figures(proc.pid), time.monotonic()
        time.sleep(seconds)
        after, wall = figures(proc.pid), time.monotonic() - t0
        if proc.poll() is not None:
            raise RuntimeError(f"{command} ended while measured")
    finally:
        proc.terminate()
        proc.wait()
        shutil.rmtree(home, ignore_errors=True)
    per = {tid: ((c - before.get(tid, (0, 0))[0]) * 1000 / wall, (w - before.get(tid, (0, 0))[1]) / wall)
           for tid, (c, w) in after.items()}
    ui = per.get(str(proc.pid), (0.0, 0.0))
    return ui + (sum(c for c, _ in per.values()), sum(w for _, w in per.values()))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--mp3", required=True)
    p.add_argument("--rounds", type=int, default=6)
    p.add_argument("--seconds", type=float, default=25)
    p.add_argument("--settle", type=float, default=3)
    p.add_argument("programs", nargs="+", help="NAME=PATH, each started as PATH MP3")
    a = p.parse_args()
    rows = collections.defaultdict(list)
    for r in range(a.rounds):
        for named in a.programs:
            name, path = named.split("=", 1)
            row = measure(path, a.mp3, a.settle, a.seconds)
            rows[name].append(row)
            with open("/proc/loadavg") as f:
                load = f.read().split()[0]
            print(f"round {r + 1} {name:10s} UI thread {row[0]:.3f} ms/s {row[1]:.1f}/s, process {row[2]:.3f} ms/s "
                  f"{row[3]:.1f}/s, load {load}", flush=True)
    print("\n| program | UI thread ms/s | UI thread wake-ups/s | process ms/s | process wake-ups/s |")
    print("|---|---|---|---|---|")
    for name, rs in rows.items():
        m = [statistics.median(r[i] for r in rs) for i in range(4)]
        print(f"| {name} | {m[0]:.3f} | {m[1]:.1f} | {m[2]:.3f} | {m[3]:.1f} |")


main()
