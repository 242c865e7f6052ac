#!/usr/bin/env bash
# Load a foreign M3U through the real dialog, Save it again, and compare what was written byte for byte;
# then play from the loaded list.
source "$(dirname "$0")/lib.sh"
start_x
make_tone "$WORK/x.wav" 550 1
start_app
click playlist

printf '#EXTM3U\n#EXTINF:1,Artist - Title\n%s\n' "$WORK/x.wav" >"$WORK/foreign.m3u"
click load; choose_file "$WORK/foreign.m3u"
click save; choose_file "$WORK/saved.m3u"
[ -f "$WORK/saved.m3u" ] || fail "Save wrote nothing"
printf '"#EXTM3U"\r\n"#EXTINF:1"\r\n"Artist - Title"\r\n"%s"\r\n' "$WORK/x.wav" >"$WORK/expected.m3u"
cp "$WORK/saved.m3u" "$ARTIFACTS/"
cmp "$WORK/saved.m3u" "$WORK/expected.m3u" || { od -c "$WORK/saved.m3u" >&2; fail "Save did not write the expected bytes"; }

# Save leaves the selection on the last entry: Play now plays it.
click play
sleep 1.5
[ "$(pitches)" = "550" ] || fail "Play after Save did not play the last entry: heard '$(pitches)'"

# Loading what was saved gives the same list back: saving it again writes the same bytes.
click load; choose_file "$WORK/saved.m3u"
click save; choose_file "$WORK/again.m3u"
cmp "$WORK/again.m3u" "$WORK/expected.m3u" || fail "Load of a saved playlist did not give it back"

# A typo in the Load dialog keeps the playlist: saving afterwards still writes all four entries.
click load; choose_file "$WORK/no-such-file.m3u"
[ "$(reported)" -ge 1 ] || fail "a missing playlist file was not reported"
dismiss_message
click save; choose_file "$WORK/after-typo.m3u"
cmp "$WORK/after-typo.m3u" "$WORK/expected.m3u" || fail "a failed Load changed the playlist"
alive || fail "the player died"
echo "passed"
