#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Playing only, in turns: each program plays the MP3 given on its command line (no dialog, no idle or stopped
stretch), then the next, round after round, so that slow drifts of a shared machine fall on all of them alike.
Prints CPU ms/s and wake-ups/s of the UI thread and of the whole process for each run, then medians.

Run through run-alternating, which starts the servers and makes the MP3."""
import argparse, collections, os, shlex, shutil, statistics, subprocess, tempfile, time

from measure import ratio_line, thread_figures


def measure(command, mp3, settle, seconds):
    home = tempfile.mkdtemp(prefix="tamro-alternate-")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=f"{home}/.config", XDG_CACHE_HOME=f"{home}/.cache")
    proc = subprocess.Popen(shlex.split(command) + [mp3], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            env=env)
    try:
        time.sleep(settle)
        before, t0 = thread_figures(proc.pid), time.monotonic()
        time.sleep(seconds)
        after, wall = thread_figures(proc.pid), time.monotonic() - t0
        if proc.poll() is not None:
            raise RuntimeError(f"{command} ended while measured")
    finally:
        proc.terminate()
        proc.wait()
        shutil.rmtree(home, ignore_errors=True)
    per = {key: ((c - before.get(key, (0, 0))[0]) * 1000 / wall, (w - before.get(key, (0, 0))[1]) / wall)
           for key, (c, w) in after.items()}
    threads = collections.defaultdict(float)
    for (tid, name), (c, _) in per.items():
        threads["UI" if tid == str(proc.pid) else name] += c
    ui = next((f for (tid, _), f in per.items() if tid == str(proc.pid)), (0.0, 0.0))
    return ui + (sum(c for c, _ in per.values()), sum(w for _, w in per.values()), dict(threads))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--mp3", required=True)
    p.add_argument("--rounds", type=int, default=6)
    p.add_argument("--seconds", type=float, default=25)
    p.add_argument("--settle", type=float, default=3)
    p.add_argument("--reference", help="NAME of the program the others are divided by, round by round")
    p.add_argument("--floor", help="NAME of a program whose CPU is added to the reference's, round by round: "
                   "the least a window beside the engine can cost")
    p.add_argument("programs", nargs="+", help="NAME=COMMAND, each started as COMMAND MP3")
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
            print("    threads ms/s: " + ", ".join(f"{n} {c:.2f}" for n, c in sorted(row[4].items())), flush=True)
    print("\n| program | UI thread ms/s | UI thread wake-ups/s | process ms/s | process wake-ups/s |")
    print("|---|---|---|---|---|")
    for name, rs in rows.items():
        m = [statistics.median(r[i] for r in rs) for i in range(4)]
        print(f"| {name} | {m[0]:.3f} | {m[1]:.1f} | {m[2]:.3f} | {m[3]:.1f} |")
    if a.reference:
        reference = [r[2] for r in rows[a.reference]]
        for name, rs in rows.items():
            if name != a.reference:
                floor = name == a.floor
                print(ratio_line(f"{a.reference} + {name}" if floor else name, a.reference, [r[2] for r in rs],
                                 reference, add=1.0 if floor else 0.0))
    names = sorted({t for rs in rows.values() for r in rs for t in r[4]})
    print("\nThreads (medians, CPU ms/s): " + "; ".join(
        f"{name}: " + ", ".join(f"{t} {statistics.median(r[4].get(t, 0.0) for r in rs):.2f}" for t in names
                                 if any(t in r[4] for r in rs))
        for name, rs in rows.items()))


if __name__ == "__main__":
    main()
