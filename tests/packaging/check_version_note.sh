#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the version block of the program file: the packaging-metadata note that `readelf -n` prints.
set -euo pipefail
binary=$1
notes=$(readelf -n --wide "$binary")
line=$(grep -F 'Packaging Metadata:' <<<"$notes") || { echo "FAIL: $binary carries no packaging-metadata note" >&2; exit 1; }
status=0
for field in '"fileVersion":"3.00"' '"productVersion":"3.00"' '"productName":"Tamro?Player v3.0"' \
             '"internalName":"TamroPlayer30"' '"originalFilename":"TamroPlayer30"' \
             '"companyName":"Brumvale - free software"' '"comments":"Small soundplayer."'; do
    if ! grep -qF "$field" <<<"$line"; then
        echo "FAIL: the version note of $binary lacks $field" >&2
        status=1
    fi
done
[ $status -eq 0 ] && echo "version note: $line"
exit $status
