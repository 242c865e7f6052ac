#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A person starts the player, opens the playlist editor, adds three tones, double-clicks the first and
# listens to the playlist play to its end; then steps with Next and Previous and stops.
source "$(dirname "$0")/lib.sh"
start_x
for f in 440 660 880; do make_tone "$WORK/t$f.wav" $f 1.2; done
for f in 330 550 770; do make_tone "$WORK/long$f.wav" $f 30; done
start_app

# Compact at start (1725 twips less the 375 of the frame = 90 px), the editor toggled open and shut.
[ "$(window_height)" = 90 ] || fail "start-up height $(window_height) px, not 90"
screenshot compact
[ "$(pixel_at 20 20)" = "0,0,0" ] || fail "title line background is $(pixel_at 20 20), not black"
[ "$(pixel_at 2 2)" = "192,192,192" ] || fail "window background is $(pixel_at 2 2), not light grey"
# The Play glyph: mid-grey inside a black face.
[ "$(count_colour 32 64 22 22 128,128,128)" -gt 20 ] || fail "the Play button shows no grey glyph"
toggle_editor 253
toggle_editor 90
toggle_editor 253

n=0
for f in 440 660 880; do
    click add; choose_file "$WORK/t$f.wav"
    n=$((n + 1))
    wait_until 30 "$n entries in the playlist" rows_at_least $n
done
screenshot expanded-three-entries
double_click_entry 0
title_shown() { [ "$(count_matching 16 13 192 23 "$YELLOW")" -gt 20 ]; }
wait_until 30 "yellow text in the title line while playing" title_shown
screenshot playing
heard "440 660 880" 60
wait_until 30 "silence after the last track" quiet
[ "$(reported)" = 0 ] || fail "unexpected messages: $(cat "$APP_LOG")"

# Next, Previous and Stop on long tracks: 330 plays, Next -> 550, Previous -> 330 again, Stop -> silence.
click delall
n=0
for f in 330 550 770; do
    click add; choose_file "$WORK/long$f.wav"
    n=$((n + 1))
    # Del all emptied the list: the rows shown are the new ones.
    wait_until 30 "$n entries in the playlist" rows_at_least $n
done
start_at=$(tones | tail -n 1 | cut -d" " -f2)
double_click_entry 0
last_heard 330
click next
last_heard 550
click back
last_heard 330
click stop
wait_until 30 "silence after Stop" quiet
heard=$(tones | awk -v t="$start_at" '$1 >= t - 0.2 && $3 > 0 { print $3 }' | awk '{ best = 0; n = split("330 550 770", p, " "); for (i = 1; i <= n; i++) if (best == 0 || ($1 - p[i]) ^ 2 < ($1 - best) ^ 2) best = p[i]; print best }' | uniq | paste -sd' ')
[ "$heard" = "330 550 330" ] || { tones >&2; fail "Next/Previous gave '$heard', not '330 550 330'"; }
quiet || fail "still sounding after Stop"
alive || fail "the player died"
echo "passed"
