#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The player as the desktop drives it, on a private session bus: started with three files it plays them; a
# second start hands over two more and ends; the desktop's player controls (MPRIS2, through playerctl and
# gdbus) play, step, stop and seek, judged by what is heard, and tell what plays.
source "$(dirname "$0")/lib.sh"
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "no session bus: run under dbus-run-session"
start_x
for f in 440 660 880; do make_tone "$WORK/t$f.wav" $f 1.2; done
# A blank and a non-ASCII letter in the names: the hand-over and the URI keep every byte.
make_tone "$WORK/long 330.wav" 330 30
make_tone "$WORK/lång 550.wav" 550 30
ctl() { playerctl --player=tamroplayer30 "$@"; }

# Pitches heard from sound-file second $1 on.
heard_since() {
    tones | awk -v t="$1" '$1 >= t - 0.2 && $3 > 0 { print $3 }' \
        | awk '{ best = 0; n = split("330 440 550 660 880", p, " "); for (i = 1; i <= n; i++) if (best == 0 || ($1 - p[i]) ^ 2 < ($1 - best) ^ 2) best = p[i]; print best }' \
        | uniq | paste -sd' '
}
# Waits up to 10 s for the pitches heard since $1 to match the extended regex ^$2$.
expect_heard() {
    for _ in $(seq 40); do [[ "$(heard_since "$1")" =~ ^$2$ ]] && return 0; sleep 0.25; done
    fail "${3:-}: heard '$(heard_since "$1")' since ${1}s, not '$2'"
}
# Where the sound file ends now, in seconds.
now() { tones | tail -n 1 | cut -d' ' -f2; }
# Waits up to 10 s for playerctl's answer to "$@" to be $EXPECT.
expect_ctl() {
    local got=""
    for _ in $(seq 40); do got=$(ctl "$@" 2>&1) && [ "$got" = "$EXPECT" ] && return 0; sleep 0.25; done
    fail "playerctl $* answered '$got', not '$EXPECT'"
}

# 1. Three files given: the first starts as a double-click would start it, the advance plays the others.
start_app "$WORK/t440.wav" "$WORK/t660.wav" "$WORK/t880.wav"
# The signals the player sends, as a sound applet would follow them (it ends with the private bus).
gdbus monitor --session --dest org.mpris.MediaPlayer2.tamroplayer30 >"$WORK/signals.txt" 2>&1 &
expect_heard 0 "440 660 880" "started with three files"
for _ in $(seq 20); do quiet && break; done
EXPECT=Stopped expect_ctl status

# The class a dock groups the window by, as the desktop entry's StartupWMClass names it.
[ "$(xprop -id "$WID" WM_CLASS)" = 'WM_CLASS(STRING) = "TamroPlayer30", "TamroPlayer30"' ] \
    || fail "the window's class is $(xprop -id "$WID" WM_CLASS)"

# 2. A second start, in another folder with relative names, hands its two files over and ends at once; the
# startup id the desktop gave it reaches the window, which is activated with it.
at=$(now)
start=$(date +%s%N)
(cd "$WORK" && DESKTOP_STARTUP_ID="host;1234;5_TIME4242" "$APP" "long 330.wav" "./lång 550.wav") >"$WORK/second.log" 2>&1 \
    || fail "the second start ended with status $?"
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
echo "second start handed over two files in $elapsed_ms ms"
[ "$elapsed_ms" -lt 2000 ] || fail "the second start took $elapsed_ms ms"
[ "$(pgrep -fc "^$APP( |$)")" = 1 ] || fail "not one player process: $(pgrep -fa "^$APP( |$)")"
startup_id_set() { [ "$(xprop -id "$WID" _NET_STARTUP_ID)" = '_NET_STARTUP_ID(UTF8_STRING) = "host;1234;5_TIME4242"' ]; }
wait_until 10 "the startup id on the window ($(xprop -id "$WID" _NET_STARTUP_ID))" startup_id_set
expect_heard "$at" "330" "the first file handed over"
EXPECT=Playing expect_ctl status
EXPECT="long 330.wav" expect_ctl metadata xesam:title
EXPECT="file://${WORK// /%20}/long%20330.wav" expect_ctl metadata xesam:url
EXPECT=30000000 expect_ctl metadata mpris:length

# 3. Next, Previous, Stop and Play from the desktop: five entries, the two handed over last.
# (Pitches are counted from tones that begin after the mark, so the one playing at the mark is not.)
at=$(now); ctl next
expect_heard "$at" "550" "Next"
EXPECT="lång 550.wav" expect_ctl metadata xesam:title
# At the last entry Next changes nothing audible: there is no sixth entry.
ctl next; sleep 1
[ "$(heard_since "$at")" = "550" ] || fail "Next on the last entry: heard '$(heard_since "$at")'"
at=$(now); ctl previous
expect_heard "$at" "330" "Previous"
ctl stop
EXPECT=Stopped expect_ctl status
quiet || fail "still sounding after Stop"
at=$(now); ctl play
expect_heard "$at" "330" "Play"
EXPECT=Playing expect_ctl status

# 4. SetPosition two seconds before the end of 30: the track ends and the advance starts the next at once.
at=$(now)
ctl position 28
pos=$(ctl position); [ "${pos%%.*}" -ge 28 ] || fail "position after SetPosition 28 is $pos"
# The jump may cut the tone in two where the pitch is measured across it: 330 may be heard anew.
expect_heard "$at" "(330 )?550" "SetPosition near the end"

# 5. The play/pause key stops what plays (there is no pause).
gdbus call --session --dest org.mpris.MediaPlayer2.tamroplayer30 --object-path /org/mpris/MediaPlayer2 \
    --method org.mpris.MediaPlayer2.Player.PlayPause >/dev/null || fail "PlayPause refused"
EXPECT=Stopped expect_ctl status
quiet || fail "still sounding after PlayPause"
identity=$(gdbus call --session --dest org.mpris.MediaPlayer2.tamroplayer30 --object-path /org/mpris/MediaPlayer2 \
    --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2 Identity)
[ "$identity" = "(<'Tamro?Player v3.0'>,)" ] || fail "Identity is $identity"

# Changes were signalled as they happened: the end of the playlist, the hand-over, Stop, the seek.
cp "$WORK/signals.txt" "$ARTIFACTS/"
for signal in "'PlaybackStatus': <'Stopped'>" "'PlaybackStatus': <'Playing'>" "'xesam:title': <'long 330.wav'>" \
    "'xesam:title': <'lång 550.wav'>" "Player.Seeked (int64 28000000,)"; do
    grep -qF "$signal" "$WORK/signals.txt" || fail "no signal with $signal: $(cat "$WORK/signals.txt")"
done

[ "$(reported)" = 0 ] || fail "unexpected messages: $(cat "$APP_LOG")"
# 6. Quit ends the player.
ctl --no-messages stop >/dev/null 2>&1 || true
gdbus call --session --dest org.mpris.MediaPlayer2.tamroplayer30 --object-path /org/mpris/MediaPlayer2 \
    --method org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit refused"
for _ in $(seq 40); do alive || break; sleep 0.25; done
alive && fail "the player is still running after Quit"
wait "$APID" || fail "the player ended with status $? after Quit"
APID=""
echo "passed"
