#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Broken files in the playlist: each one the user starts gives a clear message and the player keeps working;
# the end-of-track advance onto one stops quietly (its recovery); nothing ever crashes or hangs.
source "$(dirname "$0")/lib.sh"
start_x
make_tone "$WORK/good.wav" 440 1
make_tone "$WORK/other.wav" 660 1
make_tone "$WORK/full.wav" 880 2
head -c 3000 "$WORK/full.wav" >"$WORK/truncated.wav"
: >"$WORK/empty.wav"
head -c 65536 /dev/urandom >"$WORK/random.mp3"
mkdir "$WORK/folder.mp3"
mkfifo "$WORK/fifo.wav"
printf 'ID3\x04\x00\x00\x7f\x7f\x7f\x7f' >"$WORK/lying-tag.mp3"
broken=(empty.wav random.mp3 folder.mp3 fifo.wav lying-tag.mp3)
{
    echo "$WORK/good.wav"
    echo "$WORK/random.mp3"
    echo "$WORK/other.wav"
    for b in "${broken[@]}"; do echo "$WORK/$b"; done
    echo "$WORK/truncated.wav"
} >"$WORK/list.m3u"
start_app
toggle_editor 253
click load; choose_file "$WORK/list.m3u"
calibrate_rows

# The advance from good.wav meets random.mp3: refused, recovered in silence, no message.
double_click_entry 0
heard "440"
wait_until 30 "silence after the first tone" quiet
[ "$(pitches)" = "440" ] || fail "heard '$(pitches)', not the first tone alone"
[ "$(reported)" = 0 ] || fail "the advance's recovery showed a message: $(cat "$APP_LOG")"

# Each broken entry started by hand: one message naming it, and the player carries on.
row=3
for b in "${broken[@]}"; do
    before=$(reported)
    double_click_entry $row
    reported_after "$before"
    grep -q "$b" "$APP_LOG" || fail "the message for $b does not name it: $(tail -n 1 "$APP_LOG")"
    alive || fail "the player died on $b"
    dismiss_message
    row=$((row + 1))
done
# The truncated file plays the little it has (sound is written), or says what is wrong with it.
before=$(reported)
bytes_before=$(sound_bytes)
double_click_entry $row
played_or_reported() { [ "$(reported)" -gt "$before" ] || [ "$(sound_bytes)" -gt "$bytes_before" ]; }
wait_until 30 "the truncated file to play or be reported" played_or_reported
[ "$(reported)" = "$before" ] || dismiss_message
alive || fail "the player died on the truncated file"

# And a good file still plays after all of it.
double_click_entry 2
last_heard 660
screenshot after-broken-files
sed -n 's/^TamroPlayer30: //p' "$APP_LOG" >"$ARTIFACTS/messages.txt"
alive || fail "the player died"
echo "passed"
