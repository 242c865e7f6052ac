#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The player starts where no sound server runs yet: the window comes up, a start says there is no device (once),
# and once a server runs the next Play is heard; the stream goes away again after Stop. SIGTERM ends the player
# at once with a message box open, SIGINT with the About window open.
source "$(dirname "$0")/lib.sh"
start_x
make_tone "$WORK/a.wav" 440 20

export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
streams() { pactl list short sink-inputs 2>/dev/null | wc -l; }
# Waits for the player's process to end, at most $1 tenths of a second; prints its exit status.
ended_within() {
    for _ in $(seq "$1"); do kill -0 "$APID" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$APID" 2>/dev/null && return 1
    local rc=0
    wait "$APID" || rc=$?
    APID=""
    echo "$rc"
}

SDL_AUDIODRIVER=pulseaudio start_app
toggle_editor 253
click add; choose_file "$WORK/a.wav"
# A double-click the loaded X server let pass as two clicks starts nothing: then once more.
for _ in 1 2; do
    double_click_entry 0
    for _ in $(seq 50); do [ "$(reported)" -ge 1 ] && break; sleep 0.1; done
    [ "$(reported)" -ge 1 ] && break
done
grep -q '^TamroPlayer30: Cannot open the audio device: ' "$APP_LOG" \
    || fail "a start with no sound server was not reported: $(cat "$APP_LOG")"
click play
sleep 0.5
[ "$(reported)" = 1 ] || fail "the same failure told $(reported) times: $(cat "$APP_LOG")"
alive || fail "the player died without a device"
dismiss_message

pulseaudio -D --system=false --exit-idle-time=-1 -n --load="module-null-sink sink_name=null" \
    --load="module-native-protocol-unix auth-anonymous=1" --log-target=file:"$WORK/pulse.log" \
    || fail "PulseAudio did not start"
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || fail "PulseAudio does not answer"
trap 'pulseaudio --kill 2>/dev/null || true; cleanup' EXIT
[ "$(streams)" = 0 ] || fail "a stream at the server before anything plays"

parec -d null.monitor --raw --format=float32le --rate=48000 --channels=2 >"$WORK/heard.raw" &
recorder=$!
click play
for _ in $(seq 50); do [ "$(SOUND="$WORK/heard.raw" pitches)" = "440" ] && break; sleep 0.2; done
[ "$(SOUND="$WORK/heard.raw" pitches)" = "440" ] || fail "Play was not heard once the server ran: $(cat "$APP_LOG")"
[ "$(streams)" = 1 ] || fail "$(streams) streams while playing, not 1"
[ "$(reported)" = 1 ] || fail "messages once the server ran: $(cat "$APP_LOG")"
click stop
for _ in $(seq 30); do [ "$(streams)" = 0 ] && break; sleep 0.1; done
[ "$(streams)" = 0 ] || fail "the player still holds a stream at the server 3 s after Stop"
kill "$recorder"

# A message box is open (a file that is not there), then SIGTERM.
click add; choose_file "$WORK/missing.wav"
double_click_entry 1
wait_window '^Tamro\?Player v3\.0$' >/dev/null || fail "no message box for a missing file"
kill -TERM "$APID"
status=$(ended_within 30) || fail "SIGTERM did not end the player within 3 s while a message box was open"
[ "$status" = 0 ] || fail "the player ended with status $status after SIGTERM"

# The About window is open (modal), then SIGINT.
SDL_AUDIODRIVER=pulseaudio start_app
click about
wait_window '^ About$' >/dev/null || fail "no About window"
kill -INT "$APID"
status=$(ended_within 30) || fail "SIGINT did not end the player within 3 s while the About window was open"
[ "$status" = 0 ] || fail "the player ended with status $status after SIGINT"
echo "passed"
