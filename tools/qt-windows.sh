# Qt for MinGW, where the Windows scripts find it (sourced by them, from the top of the repository).
# Debian packages none, so tools/build-qt-windows.sh builds one into a cache folder; CI, which never
# builds Qt inside its run, may instead find a copy built the same way in shared/ beside its clone.
kaldo_qt_version=6.4.2

# The cache folder the build script installs into when KALDO_QT_MINGW names no other.
kaldo_qt_cache() {
    echo "${XDG_CACHE_HOME:-$HOME/.cache}/kaldo/qt-mingw-$kaldo_qt_version"
}

# A finished build of this version: the build script writes README.md last.
kaldo_qt_finished() {
    [ -f "$1/README.md" ] && [ -f "$1/bin/Qt6Widgets.dll" ] && [ -f "$1/plugins/platforms/qwindows.dll" ] &&
        grep -qs "^set(PACKAGE_VERSION \"$kaldo_qt_version\")" "$1/lib/cmake/Qt6/Qt6ConfigVersionImpl.cmake"
}

# Prints the Qt folder a Windows build uses: KALDO_QT_MINGW when set, else the cache folder, else
# shared/qt-mingw-VERSION beside the repository (or beside its main clone, for a git worktree). Prints
# nothing when there is none, and says why on stderr.
kaldo_qt_find() {
    local candidates=() dir common
    if [ -n "${KALDO_QT_MINGW:-}" ]; then
        candidates=("$KALDO_QT_MINGW")
    else
        candidates=("$(kaldo_qt_cache)" "$PWD/../shared/qt-mingw-$kaldo_qt_version")
        if common="$(git rev-parse --path-format=absolute --git-common-dir 2>/dev/null)"; then
            candidates+=("$(dirname "$common")/../shared/qt-mingw-$kaldo_qt_version")
        fi
    fi
    for dir in "${candidates[@]}"; do
        if kaldo_qt_finished "$dir"; then
            realpath "$dir"
            return 0
        fi
    done
    echo "no finished Qt $kaldo_qt_version for MinGW in ${candidates[*]} (tools/build-qt-windows.sh builds one)" >&2
}
