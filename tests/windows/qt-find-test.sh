#!/usr/bin/env bash
# Where the Windows scripts find Qt for MinGW (tools/qt-windows.sh): KALDO_QT_MINGW alone when set, else
# the cache folder, else shared/ beside the repository or beside a worktree's main clone; only a
# finished build of the right version counts, and finding none says why.
set -uo pipefail
qt_windows="$(realpath "$1")"
source "$qt_windows"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

# qt FOLDER [VERSION]: a Qt build as the build script leaves it.
qt() {
    mkdir -p "$1/bin" "$1/plugins/platforms" "$1/lib/cmake/Qt6"
    touch "$1/README.md" "$1/bin/Qt6Widgets.dll" "$1/plugins/platforms/qwindows.dll"
    echo "set(PACKAGE_VERSION \"${2:-$kaldo_qt_version}\")" >"$1/lib/cmake/Qt6/Qt6ConfigVersionImpl.cmake"
}

# expect CASE FOLDER WANTED [VARIABLE=VALUE...]: kaldo_qt_find run in FOLDER prints WANTED (a folder,
# or nothing; then it must say why on stderr).
expect() {
    local case="$1" folder="$2" want="$3" got why
    shift 3
    got="$(cd "$folder" && env -u KALDO_QT_MINGW HOME="$work/home" XDG_CACHE_HOME= "$@" \
        bash -c 'source "$0" && kaldo_qt_find' "$qt_windows" 2>"$work/why")"
    why="$(cat "$work/why")"
    if [ "$got" != "$want" ]; then
        echo "FAIL: $case: found '$got', expected '$want'" >&2
        failures=$((failures + 1))
    elif [ -z "$want" ] && [[ "$why" != *"tools/build-qt-windows.sh builds one"* ]]; then
        echo "FAIL: $case: found none without saying why ('$why')" >&2
        failures=$((failures + 1))
    fi
}
cache="$work/home/.cache/kaldo/qt-mingw-$kaldo_qt_version"
mkdir -p "$work/ci/clone" "$work/wt/windows" "$work/elsewhere"
expect "nothing anywhere" "$work/ci/clone" ""

qt "$work/ci/shared/qt-mingw-$kaldo_qt_version"
expect "CI's copy beside the clone" "$work/ci/clone" "$work/ci/shared/qt-mingw-$kaldo_qt_version"
expect "no copy beside this folder" "$work/elsewhere" ""

git -C "$work/ci/clone" init -q && git -C "$work/ci/clone" -c user.name=t -c user.email=t@t commit -q --allow-empty -m x
git -C "$work/ci/clone" worktree add -q "$work/wt/windows" 2>/dev/null
expect "a worktree finds its main clone's" "$work/wt/windows" "$work/ci/shared/qt-mingw-$kaldo_qt_version"

qt "$cache"
expect "the cache comes first" "$work/ci/clone" "$cache"
qt "$work/named"
expect "KALDO_QT_MINGW alone" "$work/ci/clone" "$work/named" KALDO_QT_MINGW="$work/named"
expect "KALDO_QT_MINGW unfinished" "$work/ci/clone" "" KALDO_QT_MINGW="$work/nothing"
qt "$work/xdg/kaldo/qt-mingw-$kaldo_qt_version"
expect "XDG_CACHE_HOME moves the cache" "$work/elsewhere" "$work/xdg/kaldo/qt-mingw-$kaldo_qt_version" \
    XDG_CACHE_HOME="$work/xdg"

rm "$cache/README.md"
expect "a build without its README is unfinished" "$work/elsewhere" ""
qt "$cache" 6.5.0
expect "another version does not count" "$work/elsewhere" ""

[ "$failures" -eq 0 ] && echo "qt-find: all cases pass"
exit $((failures > 0))
