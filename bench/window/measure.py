#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Whole-program figures under Xvfb with a PulseAudio null sink, side by side in one run: the program (and the
same program as built before, when given), and every peer player installed, in three states: window open with
nothing loaded, playing an MP3, and stopped after playing. For each: CPU per second of the player (all its
threads), of the sound server and of the X server, from /proc/PID/task/*/schedstat (nanoseconds, so small
figures are not lost in 10 ms ticks), and wake-ups per second: voluntary plus involuntary context switches of
all the player's threads, from /proc/PID/task/*/status.

Run through run-window-benchmarks, which starts the servers and makes the MP3."""
import argparse, collections, os, re, shutil, statistics, subprocess, tempfile, time


def tasks(pid):
    try:
        return os.listdir(f"/proc/{pid}/task")
    except FileNotFoundError:
        return []


def thread_figures(pid):
    """{(tid, name): (cpu seconds, context switches)} for every thread alive now."""
    out = {}
    for tid in tasks(pid):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                ns = int(f.read().split()[0])
            switches, name = 0, "?"
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                for line in f:
                    if line.startswith("Name:"):
                        # SDL numbers its audio threads (a replaced device's is the next): one name for all.
                        name = re.sub(r"^(SDLAudioP)\d+$", r"\1", line.split(None, 1)[1].strip())
                    elif "ctxt_switches:" in line:  # voluntary and nonvoluntary
                        switches += int(line.split()[1])
            out[(tid, name)] = (ns / 1e9, switches)
        except (FileNotFoundError, ProcessLookupError, IndexError, ValueError):
            pass
    return out


def ratio_line(name, reference, figures, reference_figures, add=0.0):
    """`figures` over the reference's measured in the same rounds (plus `add`), each round and their median:
    the machine's drifts (a virtual machine charges the host's steal to whatever runs) fall on both alike."""
    ratios = [f / r + add for f, r in zip(figures, reference_figures) if r > 0]
    if not ratios:
        return f"{name} / {reference}: no round to compare"
    return (f"{name} / {reference}, round by round: " + ", ".join(f"{x:.2f}x" for x in ratios)
            + f"; median {statistics.median(ratios):.2f}x")


class Meter:
    """CPU and wake-ups of the player, the sound server and the X server over a stretch of time. Threads that
    end within the stretch are lost, which under-counts only a player that starts and ends threads all along."""

    def __init__(self, pid, server, xserver):
        self.pids = (pid, server, xserver)
        self.start = [thread_figures(p) for p in self.pids]
        self.t0 = time.monotonic()

    def per_second(self):
        now = [thread_figures(p) for p in self.pids]
        wall = time.monotonic() - self.t0
        figures, threads = [], collections.defaultdict(lambda: [0.0, 0.0])
        pid = self.pids[0]
        for i, (before, after) in enumerate(zip(self.start, now)):
            cpu = wakes = 0.0
            for key, (c, w) in after.items():
                c0, w0 = before.get(key, (0.0, 0))
                cpu += c - c0
                wakes += w - w0
                if i == 0:
                    name = "UI thread" if key[0] == str(pid) else key[1]
                    threads[name][0] += 1000 * (c - c0) / wall
                    threads[name][1] += (w - w0) / wall
            figures += [1000 * cpu / wall, wakes / wall]
        return figures, dict(threads)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True).stdout.split()


def titled(window):
    try:
        return bool(xdotool("getwindowname", window))
    except subprocess.CalledProcessError:
        return False


def wait_window(pid, exclude=(), timeout=30):
    """A visible window of the process with a title (a tooltip has none)."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            found = [w for w in xdotool("search", "--onlyvisible", "--pid", str(pid), "")
                     if w not in exclude and titled(w)]
        except subprocess.CalledProcessError:
            found = []
        if found:
            return found[0]
        time.sleep(0.05)
    raise RuntimeError(f"no window of process {pid} appeared")


def stop(proc):
    proc.terminate()
    try:
        proc.wait(5)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


class Player:
    """How to run one player in the three states. `graphical` players have a window; the others only play."""

    def __init__(self, name, start, play_args=None, stop_cmd=None, env=None, graphical=True, ours=False):
        self.name, self.start, self.play_args = name, start, play_args
        self.stop_cmd, self.env, self.graphical, self.ours = stop_cmd, env or {}, graphical, ours

    def spawn(self, args, home):
        env = dict(os.environ, **self.env)
        # A fresh home each time: no playlist, settings or skins from an earlier run.
        env.update(HOME=home, XDG_CONFIG_HOME=f"{home}/.config", XDG_DATA_HOME=f"{home}/.local/share",
                   XDG_CACHE_HOME=f"{home}/.cache")
        return subprocess.Popen(self.start + args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)


def open_in_program(main, mp3, pid):
    # The Open button: client pixels (104, 64), 22 x 22; then the file dialog.
    xdotool("mousemove", "--window", main, "115", "75", "click", "1")
    dialog = wait_window(pid, exclude=(main,))
    time.sleep(0.5)
    xdotool("mousemove", "--window", dialog, "100", "100")
    xdotool("type", "--delay", "2", mp3)
    xdotool("key", "Return")


def run_player(p, a, add):
    home = tempfile.mkdtemp(prefix="tamro-peer-")
    procs = []
    try:
        playing = None
        if p.graphical:
            proc = p.spawn([], home)
            procs.append(proc)
            main = wait_window(proc.pid)
            time.sleep(a.settle)
            meter = Meter(proc.pid, a.server_pid, a.x_pid)
            time.sleep(a.idle_seconds)
            add(p.name, "idle, nothing loaded", *meter.per_second())
            if p.ours:
                open_in_program(main, a.mp3, proc.pid)  # the same process goes on to play
                playing = proc
            else:
                stop(proc)
        if playing is None:
            playing = p.spawn(p.play_args + [a.mp3], home)
            procs.append(playing)
            if p.graphical:
                wait_window(playing.pid)
        time.sleep(a.settle)
        meter = Meter(playing.pid, a.server_pid, a.x_pid)
        time.sleep(a.play_seconds)
        add(p.name, "playing", *meter.per_second())
        if p.graphical:
            if p.ours:
                # The Stop button: client pixels (56, 64), 22 x 22.
                xdotool("mousemove", "--window", wait_window(playing.pid), "67", "75", "click", "1")
            else:
                env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=f"{home}/.config")
                subprocess.run(p.stop_cmd, env=env, capture_output=True, timeout=10)
            time.sleep(1.0)  # the targets count from one second after the stop
            meter = Meter(playing.pid, a.server_pid, a.x_pid)
            time.sleep(a.stopped_seconds)
            figures = meter.per_second()
            if playing.poll() is not None:
                raise RuntimeError("ended on its stop command: no stopped state to measure")
            add(p.name, "stopped after playing", *figures)
    finally:
        for proc in procs:
            if proc.poll() is None:
                stop(proc)
        shutil.rmtree(home, ignore_errors=True)


def run_nothing(a, add):
    meter = Meter(os.getpid(), a.server_pid, a.x_pid)
    time.sleep(a.stopped_seconds)
    (_, _, *rest), _ = meter.per_second()
    add("no player", "servers alone", [0.0, 0.0, *rest], {})


def players(a):
    found = [Player("TamroPlayer30", [a.program], ours=True)]
    if a.plain_dispatcher:
        found.append(Player("TamroPlayer30, Qt's own dispatcher", [a.program], env={"QT_NO_GLIB": "1"}, ours=True))
    if a.before:
        found.append(Player("TamroPlayer30 before", [a.before], ours=True))
    if shutil.which("audacious"):
        for ui in ("qt", "gtk"):
            found.append(Player(f"Audacious ({ui.upper() if ui == 'qt' else 'GTK'})", ["audacious", f"--{ui}"],
                                play_args=[], stop_cmd=["audacious", "--stop"]))
    if shutil.which("qmmp"):
        found.append(Player("Qmmp", ["qmmp"], play_args=[], stop_cmd=["qmmp", "--stop"]))
    if shutil.which("mpv"):
        found.append(Player("mpv (no window)", ["mpv", "--no-video", "--no-terminal", "--ao=pulse"], play_args=[],
                            graphical=False))
    if shutil.which("mpg123"):
        found.append(Player("mpg123", ["mpg123", "-q", "-o", "pulse"], play_args=[], graphical=False))
    if a.engine:
        found.append(Player("engine alone (engine_play)", [a.engine], play_args=[], graphical=False))
    return [p for p in found if not a.only or any(o in p.name for o in a.only.split(","))]


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--program", required=True)
    p.add_argument("--before", help="the same program built from an earlier commit")
    p.add_argument("--engine", help="engine_play, the engine alone")
    p.add_argument("--plain-dispatcher", action="store_true",
                   help="also the program under Qt's own event dispatcher instead of GLib's")
    p.add_argument("--mp3", required=True)
    p.add_argument("--rounds", type=int, default=2)
    p.add_argument("--idle-seconds", type=float, default=30)
    p.add_argument("--play-seconds", type=float, default=30)
    p.add_argument("--stopped-seconds", type=float, default=15)
    p.add_argument("--settle", type=float, default=2.0)
    p.add_argument("--only", help="comma-separated parts of player names")
    p.add_argument("--server-pid", type=int, required=True)
    p.add_argument("--x-pid", type=int, required=True)
    a = p.parse_args()
    os.environ.pop("QT_NO_GLIB", None)

    rows = collections.defaultdict(list)
    thread_rows = collections.defaultdict(list)

    def add(name, state, figures, threads):
        prog, prog_w, server, server_w, x, x_w = figures
        rows[(name, state)].append((prog, prog_w, server, server_w, x, x_w))
        if threads:
            thread_rows[(name, state)].append(threads)
        print(f"{name:32s} {state:22s}: player {prog:7.2f} ms/s {prog_w:7.1f} wake-ups/s | sound server "
              f"{server:6.2f} ms/s {server_w:6.1f}/s | X {x:6.2f} ms/s {x_w:6.1f}/s", flush=True)

    for r in range(a.rounds):
        print(f"-- round {r + 1}", flush=True)
        run_nothing(a, add)
        for player in players(a):
            try:
                run_player(player, a, add)
            except (RuntimeError, subprocess.SubprocessError) as e:
                print(f"{player.name}: {e}", flush=True)

    print("\n| player | state | player ms/s | player wake-ups/s | sound server ms/s | server wake-ups/s "
          "| X server ms/s | all three ms/s |")
    print("|---|---|---|---|---|---|---|---|")
    for (name, state), rs in rows.items():
        m = [statistics.median(r[i] for r in rs) for i in range(6)]
        print(f"| {name} | {state} | {m[0]:.2f} | {m[1]:.1f} | {m[2]:.2f} | {m[3]:.1f} | {m[4]:.2f} | "
              f"{m[0] + m[2] + m[4]:.2f} |")
    engine = rows.get(("engine alone (engine_play)", "playing"), [])
    for (name, state), rs in rows.items():
        if state == "playing" and name.startswith("TamroPlayer30") and len(rs) == len(engine):
            print(ratio_line(f"{name}, playing", "engine alone", [r[0] for r in rs], [e[0] for e in engine]))
    print("\nThreads (medians): CPU ms/s, wake-ups/s")
    for (name, state), runs in thread_rows.items():
        if not name.startswith(("TamroPlayer30", "engine alone")):
            continue
        names = sorted({t for run in runs for t in run})
        parts = [f"{t} {statistics.median(run.get(t, [0, 0])[0] for run in runs):.2f} "
                 f"{statistics.median(run.get(t, [0, 0])[1] for run in runs):.1f}" for t in names]
        print(f"{name} / {state}: " + "; ".join(parts))


if __name__ == "__main__":
    main()
