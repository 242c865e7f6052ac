#!/usr/bin/env bash
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
click playlist
click add; choose_file "$WORK/long.wav"
double_click_entry 0
sleep 1.5
[ "$(reported)" = 0 ] || fail "unexpected messages before the loss: $(cat "$APP_LOG")"

kill -KILL "$(cat "$XDG_RUNTIME_DIR/pulse/pid")" || fail "no PulseAudio to stop"  # ours only: others may run beside
for _ in $(seq 100); do grep -qi 'device was lost' "$APP_LOG" && break; sleep 0.1; done
grep -qi 'device was lost' "$APP_LOG" || fail "the loss of the device was not reported: $(cat "$APP_LOG")"
alive || fail "the player died when the device went away"
dismiss_message
# Playing again says so too, and the window keeps working.
before=$(reported)
click play
for _ in $(seq 30); do [ "$(reported)" -gt "$before" ] && break; sleep 0.1; done
# The Play button skips failures silently, but a start that finds no device says so itself.
[ "$(reported)" -gt "$before" ] || fail "Play with no sound server said nothing: $(cat "$APP_LOG")"
grep -q '^TamroPlayer30: Cannot open the audio device: ' "$APP_LOG" || fail "not told why: $(cat "$APP_LOG")"
dismiss_message
click playlist
[ "$(window_height)" = 90 ] || fail "the window stopped answering after the loss"
alive || fail "the player died"
echo "passed"
