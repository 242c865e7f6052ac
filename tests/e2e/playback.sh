#!/usr/bin/env bash
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
click playlist
[ "$(window_height)" = 253 ] || fail "expanded height $(window_height) px, not 253"
click playlist
[ "$(window_height)" = 90 ] || fail "height after a second toggle $(window_height) px, not 90"
click playlist

for f in 440 660 880; do click add; choose_file "$WORK/t$f.wav"; done
screenshot expanded-three-entries
double_click_entry 0
sleep 1
screenshot playing
[ "$(count_matching 16 13 192 23 "$YELLOW")" -gt 20 ] || fail "the title line shows no yellow text while playing"
for _ in $(seq 40); do [ "$(pitches)" = "440 660 880" ] && quiet && break; sleep 0.25; done
[ "$(pitches)" = "440 660 880" ] || { tones >&2; fail "heard '$(pitches)', not the three tones in order"; }
quiet || fail "not silent after the last track"
[ "$(reported)" = 0 ] || fail "unexpected messages: $(cat "$APP_LOG")"

# Next, Previous and Stop on long tracks: 330 plays, Next -> 550, Previous -> 330 again, Stop -> silence.
click delall
for f in 330 550 770; do click add; choose_file "$WORK/long$f.wav"; done
start_at=$(tones | tail -n 1 | cut -d" " -f2)
double_click_entry 0
sleep 1.5
click next
sleep 1.5
click back
sleep 1.5
click stop
sleep 1.5
heard=$(tones | awk -v t="$start_at" '$1 >= t - 0.2 && $3 > 0 { print $3 }' | awk '{ best = 0; n = split("330 550 770", p, " "); for (i = 1; i <= n; i++) if (best == 0 || ($1 - p[i]) ^ 2 < ($1 - best) ^ 2) best = p[i]; print best }' | uniq | paste -sd' ')
[ "$heard" = "330 550 330" ] || { tones >&2; fail "Next/Previous gave '$heard', not '330 550 330'"; }
quiet || fail "still sounding after Stop"
alive || fail "the player died"
echo "passed"
