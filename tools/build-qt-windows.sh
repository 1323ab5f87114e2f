#!/usr/bin/env bash
# Builds the Qt the Windows desktop program needs, from Debian's own qt6-base source package: Qt 6.4.2
# (the version the Linux build uses), cross-compiled with MinGW-w64 by cmake/mingw-w64-x86_64.cmake,
# with this machine's Qt 6.4.2 as the host tools (moc, rcc, uic). Only what the program and its tests
# use: Core, Gui, Widgets and Test as shared libraries (so Qt stays replaceable, as its licence asks),
# the windows, offscreen and minimal platform plugins, the windowsvista style, and the bundled libjpeg
# the program decodes its pictures with. Source and build paths are mapped away, so that no path of this
# machine ends up in the DLLs.
#
# Installs into KALDO_QT_MINGW (default ~/.cache/kaldo/qt-mingw-6.4.2, outside the tree) and does
# nothing when that folder already holds a finished build of this version. Source and build go into a
# temporary folder, removed at the end. About 3 hours on 2 cores shared with other builds, at the
# lowest priority (1,034 build steps).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/qt-windows.sh
prefix="${KALDO_QT_MINGW:-$(kaldo_qt_cache)}"
if kaldo_qt_finished "$prefix"; then
    echo "build-qt-windows: $prefix already holds Qt $kaldo_qt_version for MinGW"
    exit 0
fi
# Whatever else lies there is not ours to replace.
if [ -e "$prefix" ]; then
    echo "build-qt-windows: $prefix exists but holds no finished Qt $kaldo_qt_version; remove it or set KALDO_QT_MINGW" >&2
    exit 1
fi
bash tools/setup.sh qt-windows

work="$(mktemp -d)"
partial="$prefix.partial"
trap 'rm -rf "$work" "$partial"' EXIT
rm -rf "$partial"
mkdir -p "$partial"
declare -a times=()
step() {  # step NAME COMMAND...: runs it and notes how long it took
    local name="$1" start=$SECONDS
    shift
    "$@"
    times+=("$name $((SECONDS - start)) s")
    echo "build-qt-windows: $name took $((SECONDS - start)) s"
}

fetch() {
    (cd "$work" && apt-get source -qq qt6-base >/dev/null 2>&1) ||
        { echo "build-qt-windows: apt-get source qt6-base failed (is a deb-src entry for bookworm main set?)" >&2; exit 1; }
}
step "fetching and unpacking the source" fetch
src="$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*')"
debian_version="$(cd "$work" && ls qt6-base_*.dsc | sed 's/^qt6-base_\(.*\)\.dsc$/\1/')"
case "$debian_version" in
    "$kaldo_qt_version"+*) ;;
    *) echo "build-qt-windows: Debian's qt6-base is $debian_version, not $kaldo_qt_version" >&2; exit 1 ;;
esac

# With direct2d off, QtGui builds no DirectWrite font database, yet the windows platform plugin uses it
# whenever DirectWrite 3 is on: both uses also ask for direct2d, or the plugin does not link.
integration="$src/src/plugins/platforms/windows/qwindowsintegration.cpp"
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$integration"
[ "$(grep -c '^#if QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)$' "$integration")" -eq 2 ] ||
    { echo "build-qt-windows: the direct2d guard did not apply to $integration" >&2; exit 1; }

# Qt's licences, and beside them each bundled library's own (from the folder its qt_attribution.json
# describes), for whoever passes the DLLs on.
mkdir -p "$partial/LICENSES/third-party"
cp "$src"/LICENSES/* "$partial/LICENSES/"
find "$src/src" -name qt_attribution.json -not -path '*/tests/*' | while read -r json; do
    dir="$(dirname "$json")"
    into="$partial/LICENSES/third-party/$(echo "${dir#"$src/src/"}" | tr / -)"
    mkdir -p "$into"
    find "$dir" -maxdepth 1 -type f \( -name qt_attribution.json -o -iname '*licen[cs]e*' -o -iname 'copying*' \
        -o -iname 'copyright*' \) -exec cp -t "$into" {} +
done

# The toolchain goes beside the installed Qt: its qt.toolchain.cmake names it by a relative path.
cp cmake/mingw-w64-x86_64.cmake "$partial/mingw-toolchain.cmake"
build="$work/build"
map="-ffile-prefix-map=$src=/qtbase -ffile-prefix-map=$build=/qtbase-build"
features=(
    # Nothing the program does not use.
    sql network dbus xml concurrent printsupport vulkan opengl direct2d gif ico
    # The Windows plugin's tablet support needs the wintab headers, which Debian's tarball removes;
    # Debian's cross-build patch turns androiddeployqt on.
    tabletevent androiddeployqt
    # Every third-party library bundled, none of the build machine's.
    system_zlib system_png system_jpeg system_freetype system_harfbuzz system_pcre2
    system_doubleconversion system_libb2 zstd icu glib fontconfig pkg_config
)
options=()
for f in "${features[@]}"; do options+=("-DFEATURE_$f=OFF"); done
configure() {
    cmake -S "$src" -B "$build" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$partial/mingw-toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DCMAKE_INSTALL_PREFIX="$partial" \
        -DCMAKE_C_FLAGS="$map" -DCMAKE_CXX_FLAGS="$map" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF \
        -DFEATURE_testlib=ON -DFEATURE_jpeg=ON -DINPUT_opengl=no "${options[@]}" >"$work/configure.log" ||
        { tail -40 "$work/configure.log" >&2; exit 1; }
}
step configure configure
step build cmake --build "$build" -j "$(nproc)"
step install cmake --install "$build" >/dev/null

for path in "$partial"/bin/*.dll "$partial"/plugins/*/*.dll; do
    if strings -a "$path" | grep -e "$work" -e "$partial" >/dev/null; then
        echo "build-qt-windows: $path holds a path of this machine" >&2
        exit 1
    fi
done

# Written last: a folder with this file is a finished build.
{
    echo "# Qt $kaldo_qt_version for 64-bit Windows (MinGW-w64), built by tools/build-qt-windows.sh"
    echo
    echo "- source: Debian's \`qt6-base\` $debian_version source package (\`apt-get source qt6-base\`);"
    echo "- one source change: the two \`#if QT_CONFIG(directwrite3)\` in"
    echo "  \`src/plugins/platforms/windows/qwindowsintegration.cpp\` also require \`QT_CONFIG(direct2d)\`;"
    echo "- compiler: Debian's MinGW-w64 ($(x86_64-w64-mingw32-g++-posix -dumpversion), posix threads), \`mingw-toolchain.cmake\`;"
    echo "- host tools: Debian's own Qt $kaldo_qt_version (\`QT_HOST_PATH=/usr\`);"
    echo "- features off: ${features[*]}; testlib on;"
    echo "- times on $(nproc) cores: $(IFS=,; echo "${times[*]}" | sed 's/,/, /g')."
    echo
    echo "Qt is under the LGPL 3.0; its licence texts, those of the bundled libraries included, are in LICENSES/."
} >"$partial/README.md"
mkdir -p "$(dirname "$prefix")"
mv "$partial" "$prefix"
echo "build-qt-windows: Qt $kaldo_qt_version for MinGW is in $prefix ($(du -sh "$prefix" | cut -f1))"
