#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The .deb that packaging_deb built, as a distribution's tools judge it: lintian without an error or warning
# (and no hardening tag at any level), the AppStream metainfo and the desktop entry valid, the manual page
# rendered without a warning and naming exactly the options that --help prints, both programs hardened.
set -euo pipefail
scratch=$1
debs=("$scratch"/out/*.deb)
[ -f "${debs[0]}" ] || { echo "FAIL: no .deb in $scratch/out (packaging_deb builds it)" >&2; exit 1; }
deb=${debs[0]}
root=$scratch/lint-root
rm -rf "$root"
dpkg -x "$deb" "$root"
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

linted=0
tags=$(lintian --display-info --fail-on error,warning "$deb" 2>&1) || linted=$?
tags=$(grep -v 'running with root privileges' <<<"$tags" || true)
[ $linted -eq 0 ] || fail "lintian: $tags"
grep -E '^[EWI]: .*hardening-' <<<"$tags" && fail "lintian finds a binary not hardened"
[ -z "$tags" ] || echo "lintian, info only:"$'\n'"$tags"

metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || fail "no metainfo in usr/share/metainfo"
appstreamcli validate --no-net --explain "${metainfo[0]}" || fail "appstreamcli rejects ${metainfo[0]##*/}"
launched=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "${metainfo[0]}")
entry=$root/usr/share/applications/$launched
[ -n "$launched" ] && [ -f "$entry" ] || fail "the metainfo launches '$launched', which the package lacks"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $launched"

page=$root/usr/share/man/man1/TamroPlayer30.1.gz
warnings=$(MANWIDTH=100 man --warnings -l "$page" 2>&1 >"$scratch/man.txt") || fail "man cannot render $page"
[ -z "$warnings" ] || fail "man warns about the page: $warnings"
# The options each text names: words that start with one or two dashes and a letter.
options() { grep -oE '(^|[][ ,])--?[a-z][a-z-]*' | sed 's/^[][ ,]*//' | sort -u; }
section() { sed -n "/^$1/,/^[A-Z]/p" "$scratch/man.txt"; }
in_page=$( { section SYNOPSIS; section OPTIONS; } | options)
in_help=$("$root/usr/bin/TamroPlayer30" --help | options)
[ "$in_page" = "$in_help" ] || fail "the manual page names options $(echo $in_page), --help $(echo $in_help)"

if command -v hardening-check >/dev/null; then
    for program in usr/bin/TamroPlayer30 usr/libexec/tamroplayer30/tamroplayer30; do
        # Control-flow protection is not among what Debian 12 builds with.
        hardening-check --nocfprotection "$root/$program" || fail "$program is not hardened"
    done
fi
exit $status
