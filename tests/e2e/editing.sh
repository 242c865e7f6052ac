#!/usr/bin/env bash
# Open a file (it replaces the playlist and plays at once), add more, then Del and Del all while it plays:
# the sound goes on through every edit.
source "$(dirname "$0")/lib.sh"
start_x
make_tone "$WORK/a.wav" 440 120
make_tone "$WORK/b.wav" 660 1
make_tone "$WORK/c.wav" 880 1
start_app
click playlist

click add; choose_file "$WORK/b.wav"
click open; choose_file "$WORK/a.wav"
sleep 1
[ "$(pitches)" = "440" ] || fail "Open did not start its file: heard '$(pitches)'"
screenshot opened
click add; choose_file "$WORK/b.wav"
click add; choose_file "$WORK/c.wav"

# Del on the playing entry (Open selected it), then Del all: 440 goes on sounding.
click_entry 0
click del
sleep 0.5
click delall
sleep 2
[ "$(pitches)" = "440" ] || fail "editing changed what plays: heard '$(pitches)'"
tones | awk '$3 > 0' | tail -n 1 | awk '$3 > 400 && $3 < 480 && $2 - $1 > 3 { ok = 1 } END { exit !ok }' \
    || fail "the tone did not go on through Del and Del all"
screenshot after-delete-all
# The Delete key on a fresh entry, with Shift held: it goes, and the list is empty again.
click add; choose_file "$WORK/c.wav"
click_entry 0
xdotool key shift+Delete
sleep 0.3
click_entry 0 2   # a double-click on an empty list starts nothing
sleep 0.5
[ "$(pitches)" = "440" ] || fail "a removed entry played: heard '$(pitches)'"
[ "$(reported)" = 0 ] || fail "unexpected messages: $(cat "$APP_LOG")"
alive || fail "the player died"
echo "passed"
