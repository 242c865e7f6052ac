#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Open a file (it replaces the playlist and plays at once), add more, then Del and Del all while it plays:
# the sound goes on through every edit.
source "$(dirname "$0")/lib.sh"
start_x
make_tone "$WORK/a.wav" 440 120
make_tone "$WORK/b.wav" 660 1
make_tone "$WORK/c.wav" 880 1
start_app
toggle_editor 253

click add; choose_file "$WORK/b.wav"
wait_until 30 "the added entry shown" rows_at_least 1
click open; choose_file "$WORK/a.wav"
heard "440"
screenshot opened
click add; choose_file "$WORK/b.wav"
wait_until 30 "two entries shown" rows_at_least 2
click add; choose_file "$WORK/c.wav"
wait_until 30 "three entries shown" rows_at_least 3

# Del on the playing entry (Open selected it), then Del all: 440 goes on sounding.
click_entry 0
click del
wait_until 30 "Del to leave two entries" rows_exactly 2
click delall
wait_until 30 "Del all to empty the list" rows_exactly 0
# Two seconds more of the tone after the edits, and nothing else.
after_edits=$(sound_bytes)
two_seconds_more() { [ $(($(sound_bytes) - after_edits)) -ge $((48000 * 4 * 2 * 2)) ]; }
wait_until 30 "two more seconds of sound" two_seconds_more
[ "$(pitches)" = "440" ] || fail "editing changed what plays: heard '$(pitches)'"
tones | awk '$3 > 0' | tail -n 1 | awk '$3 > 400 && $3 < 480 && $2 - $1 > 3 { ok = 1 } END { exit !ok }' \
    || fail "the tone did not go on through Del and Del all"
screenshot after-delete-all
# The Delete key on a fresh entry, with Shift held: it goes, and the list is empty again.
click add; choose_file "$WORK/c.wav"
click_entry 0
xdotool key shift+Delete
wait_until 30 "Shift+Delete to empty the list" rows_exactly 0
# A double-click on an empty list starts nothing.
click_at $((120 / 15 + 30)) $((1560 / 15 + 1 + ROW_PX / 2)) 2 60
before_click=$(sound_bytes)
one_second_more() { [ $(($(sound_bytes) - before_click)) -ge $((48000 * 4 * 2)) ]; }
wait_until 30 "a second of sound after the double-click" one_second_more
[ "$(pitches)" = "440" ] || fail "a removed entry played: heard '$(pitches)'"
[ "$(reported)" = 0 ] || fail "unexpected messages: $(cat "$APP_LOG")"
alive || fail "the player died"
echo "passed"
