#!/usr/bin/env bash
# Checks a .desktop entry: valid by desktop-file-validate, and the program's own name, comment, icon and
# command (with no arguments, not even field codes).
set -euo pipefail
entry=$1
desktop-file-validate "$entry"
status=0
expect() {
    local actual
    actual=$(sed -n "s/^$1=//p" "$entry")
    if [ "$actual" != "$2" ]; then
        echo "FAIL: $entry has $1='$actual', expected '$2'" >&2
        status=1
    fi
}
expect Type Application
expect Name 'Tamro?Player v3.0'
expect Comment 'Small soundplayer.'
expect Exec TamroPlayer30
expect Icon tamroplayer30
expect Categories 'AudioVideo;Audio;Player;'
exit $status
