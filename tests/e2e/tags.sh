#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The song's own tags and cover in the desktop's player applet (MPRIS2 Metadata, read with playerctl): one file
# of each sound type, tagged as its tools tag it, and hostile tags; the embedded picture's file lives while its
# track is loaded and goes when the track changes and when the player ends.
source "$(dirname "$0")/lib.sh"
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || fail "no session bus: run under dbus-run-session"
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
ART="$XDG_RUNTIME_DIR/tamroplayer30-art"
M="$WORK/music"
mkdir -p "$M/covered"
ctl() { playerctl --player=tamroplayer30 "$@"; }

# --- The files ----------------------------------------------------------------------------------------------
ff() { ffmpeg -nostdin -loglevel error -y "$@"; }
ff -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=30" "$WORK/tone.wav"
ff -f lavfi -i "color=c=red:s=32x32" -frames:v 1 "$WORK/red.jpg"
tags=(-metadata title="Real Title" -metadata artist="Some Artist" -metadata album="An Album"
    -metadata album_artist="The Band" -metadata track=3/12 -metadata genre=Rock -metadata date=2003)
ff -i "$WORK/tone.wav" -i "$WORK/red.jpg" -map 0:a -map 1:v -c:a libmp3lame -c:v copy -id3v2_version 3 \
    -metadata:s:v comment="Cover (front)" "${tags[@]}" "$M/tagged.mp3"
ff -i "$WORK/tone.wav" -c:a wmav2 "${tags[@]}" "$M/tagged.wma"
ff -i "$WORK/tone.wav" "${tags[@]}" "$M/covered/tagged.wav"
cp "$WORK/red.jpg" "$M/covered/Cover.JPG"
ff -i "$WORK/tone.wav" -c:a pcm_s16be "${tags[@]}" "$M/tagged.au"
ff -i "$WORK/tone.wav" "$M/untagged.wav"

# Bytes from hex digits, and 32-bit numbers in both orders.
hex() { printf "$(sed 's/\(..\)/\\x\1/g' <<<"$1")"; }
be32() { hex "$(printf '%08x' "$1")"; }
le32() { hex "$(printf '%08x' "$1" | sed 's/\(..\)\(..\)\(..\)\(..\)/\4\3\2\1/')"; }
# A format 0 MIDI file: the track's name, then one note of 20 s (480 ticks a quarter at 120 bpm).
midi() {
    local name=$1
    {
        printf 'MThd'; be32 6; hex 0000000101e0
        printf 'MTrk'; be32 $((17 + ${#name}))
        hex 00ff03; hex "$(printf '%02x' ${#name})"; printf '%s' "$name"
        hex 00903c40; hex 8196003c00  # note on; after 19200 ticks, off by running status
        hex 00ff2f00
    }
}
midi "Midi Title" >"$M/tagged.mid"
# A RIFF chunk: id, size, body, padded to an even size.
chunk() {
    local body
    body=$(mktemp "$WORK/chunk.XXXXXX")
    cat >"$body"
    printf '%s' "$1"; le32 "$(stat -c %s "$body")"; cat "$body"
    [ $(($(stat -c %s "$body") % 2)) = 0 ] || hex 00
}
{
    printf 'RMID'
    midi "Track Name" | chunk data
    { printf 'INFO'; printf 'Rmi Title\0' | chunk INAM; printf 'Rmi Artist\0' | chunk IART; printf 'Rmi Album' | chunk IPRD
      printf 'Game' | chunk IGNR; printf '1996-04-02' | chunk ICRD; } | chunk LIST
} | chunk RIFF >"$M/tagged.rmi"

# An ID3v2.4 tag by hand: a title of control bytes, an escape sequence and bytes that are not UTF-8, an artist of
# 200,000 bytes, a genre of binary, then the sound.
syncsafe() { local n=$1; hex "$(printf '%02x%02x%02x%02x' $((n >> 21 & 127)) $((n >> 14 & 127)) $((n >> 7 & 127)) $((n & 127)))"; }
frame() {  # ID, then the body (encoding byte 03: UTF-8) on stdin
    local body
    body=$(mktemp "$WORK/frame.XXXXXX")
    { hex 03; cat; } >"$body"
    printf '%s' "$1"; syncsafe "$(stat -c %s "$body")"; hex 0000; cat "$body"
}
{
    printf 'Evil\x01\x1b[31m\xff\xfeTitle\r\nTwo' | frame TIT2
    head -c 200000 /dev/zero | tr '\0' 'A' | frame TPE1
    head -c 3000 /dev/urandom | frame TCON
} >"$WORK/frames"
{ printf 'ID3'; hex 040000; syncsafe "$(stat -c %s "$WORK/frames")"; cat "$WORK/frames"
  ff -i "$WORK/tone.wav" -c:a libmp3lame -id3v2_version 0 -f mp3 -; } >"$M/hostile.mp3"

# --- Checks ---------------------------------------------------------------------------------------------------
FORMAT='{{xesam:title}}|{{xesam:artist}}|{{xesam:album}}|{{xesam:albumArtist}}|{{xesam:trackNumber}}|{{xesam:genre}}|{{xesam:contentCreated}}'
metadata() { ctl metadata --format "$FORMAT" 2>/dev/null; }
shows() { [ "$(metadata)" = "$1" ]; }
# Opens a file as the desktop would (OpenUri: appended and started) and waits for its tags.
expect_tags() {
    ctl open "file://$1"
    wait_until 30 "the tags of $1 ('$2'; shown: '$(metadata)')" shows "$2"
}
art() { ctl metadata mpris:artUrl 2>/dev/null | sed 's|^file://||'; }

# Covers left by players that ended without removing them: the one of a process gone goes when the player starts,
# the one of a process still running (this script, standing in for a player on another display) stays.
mkdir -m 700 "$ART"
host=$(hostname | tr -cd 'A-Za-z0-9.-' | cut -c1-64)
left_by_gone="$ART/cover-4194305-1-$host-AbC123.jpg"
left_by_running="$ART/cover-$$-$(sed 's/.*) //' /proc/$$/stat | cut -d' ' -f20)-$host-AbC123.jpg"
cp "$WORK/red.jpg" "$left_by_gone"
cp "$WORK/red.jpg" "$left_by_running"

start_x
# The player itself, not the launcher: its window's class is still the one the desktop entry names.
APP=$PLAYER start_app
[ "$(xprop -id "$WID" WM_CLASS)" = 'WM_CLASS(STRING) = "TamroPlayer30", "TamroPlayer30"' ] \
    || fail "the player started directly has the window class $(xprop -id "$WID" WM_CLASS)"
[ ! -e "$left_by_gone" ] || fail "the cover of a player that is gone was left"
[ -e "$left_by_running" ] || fail "the cover of a running player was removed"
rm "$left_by_running"

TAGGED="Real Title|Some Artist|An Album|The Band|3|Rock|2003-01-01T00:00:00Z"
# file | what the applet shows (RIFF INFO has no album artist, an AU file's annotations no date either)
while IFS='|' read -r file expected; do
    expect_tags "$M/$file" "$expected"
    echo "$file: $(metadata)"
done <<EOF
tagged.mp3|$TAGGED
tagged.wma|$TAGGED
covered/tagged.wav|Real Title|Some Artist|An Album||3|Rock|2003-01-01T00:00:00Z
tagged.au|Real Title|Some Artist|An Album||3|Rock|
tagged.mid|Midi Title||||||
tagged.rmi|Rmi Title|Rmi Artist|Rmi Album|||Game|1996-04-02T00:00:00Z
untagged.wav|untagged.wav||||||
EOF

# Hostile tags: bounded and clean, and the player goes on.
ctl open "file://$M/hostile.mp3"
hostile_shown() { [ "$(ctl metadata xesam:title 2>/dev/null)" = "Evil[31mÿþTitle Two" ]; }
wait_until 30 "the hostile title made clean (shown: '$(ctl metadata xesam:title)')" hostile_shown
artist=$(ctl metadata xesam:artist)
[ "${#artist}" = 2048 ] || fail "an artist of 200,000 bytes shown as ${#artist}"
genre=$(gdbus call --session --dest org.mpris.MediaPlayer2.tamroplayer30 --object-path /org/mpris/MediaPlayer2 \
    --method org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2.Player Metadata)
[ -n "$genre" ] || fail "no Metadata after hostile tags"
alive || fail "the player died on hostile tags"

# The cover: the embedded picture's private file while its track plays, the folder's cover file otherwise.
expect_tags "$M/tagged.mp3" "$TAGGED"
picture=$(art)
case "$picture" in "$ART"/cover-*.jpg) ;; *) fail "the embedded picture is at '$picture'" ;; esac
cmp -s "$picture" "$WORK/red.jpg" || fail "the picture file holds other bytes than the embedded picture"
[ "$(stat -c %a "$picture") $(stat -c %a "$ART")" = "600 700" ] || fail "the picture file and its folder are open to others"
expect_tags "$M/covered/tagged.wav" "Real Title|Some Artist|An Album||3|Rock|2003-01-01T00:00:00Z"
[ "$(art)" = "$M/covered/Cover.JPG" ] || fail "the cover beside the track is not shown: '$(art)'"
[ ! -e "$picture" ] || fail "the picture file outlived its track"
expect_tags "$M/tagged.mp3" "$TAGGED"
picture=$(art)
[ -f "$picture" ] || fail "no picture file for the track played again"
[ "$(reported)" = 0 ] || fail "unexpected messages: $(cat "$APP_LOG")"

gdbus call --session --dest org.mpris.MediaPlayer2.tamroplayer30 --object-path /org/mpris/MediaPlayer2 \
    --method org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit refused"
gone() { ! alive; }
wait_until 30 "the player to end after Quit" gone
wait "$APID" || fail "the player ended with status $? after Quit"
APID=""
[ -z "$(ls -A "$ART")" ] || fail "files left in the picture folder after the player ended: $(ls -A "$ART")"
echo "passed"
