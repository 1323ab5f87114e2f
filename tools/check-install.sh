#!/usr/bin/env bash
# Checks an installed tree as its users meet it: every file a desktop, a terminal and a software centre
# look for; the desktop entry and the AppStream metadata valid; the manual pages free of formatting
# warnings; no RPATH; and the programs, run from the tree, printing VERSION.
#   bash tools/check-install.sh PREFIX VERSION
# PREFIX is a `cmake --install` prefix, or usr/ of an unpacked package.
set -uo pipefail
prefix="$1"
version="$2"
failures=0
checks=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...: runs the command, counts a failure when it fails
    local what="$1"
    shift
    checks=$((checks + 1))
    "$@" || fail "$what"
}

programs=(kaldo-updater kaldo-flash kaldo-amp-sim)
sizes=(16 24 32 48 64 128 256 512)
for p in "${programs[@]}"; do
    check "bin/$p is a program" test -x "$prefix/bin/$p"
    check "manual page $p(1)" test -f "$prefix/share/man/man1/$p.1.gz"
done
for f in share/applications/kaldo-updater.desktop share/icons/hicolor/scalable/apps/kaldo-updater.svg \
    share/bash-completion/completions/kaldo-flash share/doc/kaldo-updater/copyright \
    share/doc/kaldo-updater/changelog.gz; do
    check "$f is there" test -f "$prefix/$f"
done

# Each icon is the size its folder names.
for s in "${sizes[@]}"; do
    icon="$prefix/share/icons/hicolor/${s}x${s}/apps/kaldo-updater.png"
    check "${s}x${s} icon" grep -q "PNG image data, $s x $s," <(file -b "$icon" 2>&1)
done

check "desktop-file-validate" desktop-file-validate "$prefix/share/applications/kaldo-updater.desktop"
metainfo=("$prefix"/share/metainfo/*.metainfo.xml)
check "one metainfo file" test "${#metainfo[@]}" -eq 1 -a -f "${metainfo[0]}"
check "appstreamcli validate" appstreamcli validate --no-net "${metainfo[0]}"
check "metainfo names release $version" grep -q "<release version=\"$version\"" "${metainfo[0]}"

for page in "$prefix"/share/man/man1/*.1.gz; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)"
    check "$(basename "$page") formats without warnings: $warnings" test -z "$warnings"
done

# Every option a program's --help names is in its manual page, so that neither drifts from the other.
documented() {  # documented PROGRAM [COMMAND]
    local page option
    page="$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$prefix/share/man/man1/$1.1.gz" 2>/dev/null)"
    for option in $("$prefix/bin/$1" ${2:+"$2"} --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        check "$1(1) names ${2:+$2 }$option" grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$page"
    done
}
documented kaldo-amp-sim
for command in "" info list detect identify send upload; do documented kaldo-flash "$command"; done

for p in "${programs[@]}"; do
    check "$p has no RPATH" test -z "$(readelf -d "$prefix/bin/$p" | grep -E 'RPATH|RUNPATH')"
done

# The programs from the tree. The desktop program answers --version without a display to open.
for p in kaldo-flash kaldo-amp-sim; do
    out="$("$prefix/bin/$p" --version)"
    check "$p --version exits 0" test $? -eq 0
    check "$p --version prints '$p $version', not '$out'" test "$out" = "$p $version"
done
out="$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$prefix/bin/kaldo-updater" --version 2>&1)"
check "kaldo-updater --version exits 0 without a display" test $? -eq 0
check "kaldo-updater --version prints 'kaldo-updater $version', not '$out'" test "$out" = "kaldo-updater $version"
# A command line that cannot be meant ends with 2, as the manual pages say.
"$prefix/bin/kaldo-flash" upload --mode fast --out 1 2>/dev/null
check "kaldo-flash refuses an unknown mode with 2" test $? -eq 2
"$prefix/bin/kaldo-amp-sim" --revision 2.8x 2>/dev/null
check "kaldo-amp-sim refuses a bad revision with 2" test $? -eq 2
out="$("$prefix/bin/kaldo-flash" info --internal)"
check "kaldo-flash info --internal exits 0" test $? -eq 0
check "kaldo-flash info --internal finds the carried image valid" grep -q "^valid: yes$" <<<"$out"

echo "check-install: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
