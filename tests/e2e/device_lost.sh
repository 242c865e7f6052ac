#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The sound server goes away while a track plays: the player says the device was lost and keeps running.
source "$(dirname "$0")/lib.sh"
start_x
make_tone "$WORK/long.wav" 440 30

export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
pulseaudio -D --system=false --exit-idle-time=-1 -n --load="module-null-sink sink_name=null" \
    --load="module-native-protocol-unix auth-anonymous=1" --log-target=file:"$WORK/pulse.log" \
    || fail "PulseAudio did not start"
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || fail "PulseAudio does not answer"

SDL_AUDIODRIVER=pulseaudio start_app
toggle_editor 253
click add; choose_file "$WORK/long.wav"
double_click_entry 0
# Playing: the server's sink is running.
sink_running() { pactl list short sinks 2>/dev/null | grep -q RUNNING; }
wait_until 30 "the track to play at the sound server" sink_running
[ "$(reported)" = 0 ] || fail "unexpected messages before the loss: $(cat "$APP_LOG")"

# This test's own server, by its process id: other sound servers on the machine are left alone.
kill -KILL "$(cat "$XDG_RUNTIME_DIR/pulse/pid")" || fail "no PulseAudio to stop"
lost_reported() { grep -qi 'device was lost' "$APP_LOG"; }
wait_until 30 "the loss of the device to be reported ($(cat "$APP_LOG"))" lost_reported
alive || fail "the player died when the device went away"
dismiss_message
# Playing again says so too, and the window keeps working.
before=$(reported)
click play
# The Play button skips failures silently, but a start that finds no device says so itself.
reported_after "$before"
grep -q '^TamroPlayer30: Cannot open the audio device: ' "$APP_LOG" || fail "not told why: $(cat "$APP_LOG")"
dismiss_message
# The window keeps answering.
toggle_editor 90
alive || fail "the player died"
echo "passed"
