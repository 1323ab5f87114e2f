#!/usr/bin/env bash
# The Windows build, proved without Windows: cross-builds with MinGW-w64 (preset mingw), runs the tests
# under Wine (a Wine prefix of its own in a temporary folder, removed at the end), runs kaldo-flash.exe
# on the sample firmware, writes the Windows zip (tools/make-windows-zip.sh) and starts its programs
# from the folder it was unzipped into. There are no MIDI devices under Wine: the winmm backend is
# tested against its fake here.
#
# With Qt for MinGW (tools/qt-windows.sh finds it; this script never builds it) the build has the
# desktop program, and the widget tests too where that Qt has Qt Test (a line says when it has not).
# The desktop is tried as a user would, on Xvfb: the main window and the wizard's first page are laid
# out as on Linux (kaldo_window_layout on both, within a few pixels), they say that there are no MIDI
# devices, and kaldo-updater.exe from the zip opens both windows, closes when told to, and keeps its
# settings and its log in %APPDATA%\KaldoUpdater. Pictures of both platforms' windows are left in
# build/mingw/screenshots/. Without Qt, one line says that this was skipped and why.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh windows
source tools/qt-windows.sh
began=$SECONDS
took() { echo "windows: $1 in $((SECONDS - $2)) s"; }

wine=/usr/lib/wine/wine64
state="$(mktemp -d)"
export WINEPREFIX="$state/wine" WINEDEBUG=-all LC_ALL=C.UTF-8
unset DISPLAY
xvfb=""
cleanup() {
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
    rm -rf "$state"
}
trap cleanup EXIT

qt="$(kaldo_qt_find 2>"$state/no-qt")"
if [ -z "$qt" ]; then
    echo "windows: the Windows desktop check was skipped: $(cat "$state/no-qt")"
fi

# Windows programs see the fonts of a Windows system, not this machine's: Wine's own (Tahoma, Marlett)
# in the prefix's Fonts folder, and none through fontconfig, so that a font the program does not carry
# is missed here as it would be on Windows. Wine draws the windows' frames itself, as Windows does.
start=$SECONDS
printf '<?xml version="1.0"?>\n<fontconfig></fontconfig>\n' >"$state/fonts.conf"
export FONTCONFIG_FILE="$state/fonts.conf"
# One wineserver for the whole run, ended by cleanup: by default it ends 3 s after its last program and
# the next one starts another, so each test's program could meet one that is still starting or ending.
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -p
"$wine" wineboot --init >/dev/null 2>&1
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
took "Wine prefix ready" $start

start=$SECONDS
cmake --preset mingw -DKALDO_QT_MINGW="$qt" ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset mingw -j "$(nproc)"
took "built" $start
start=$SECONDS
ctest --preset mingw -j "$(nproc)"
took "tests passed" $start
# What CMake found decides whether the widget tests were built.
if [ -n "$qt" ] && grep -q '^Qt6Test_DIR:PATH=.*NOTFOUND$' build/mingw/CMakeCache.txt; then
    echo "windows: the widget tests were left out: $qt has no Qt Test (a Qt of tools/build-qt-windows.sh has it)"
fi

bin=build/mingw/bin
# Paths past 260 characters open on Windows only in a program whose manifest says so.
for program in "$bin"/*.exe; do
    grep -q '<longPathAware xmlns="[^"]*">true</longPathAware>' "$program" ||
        { echo "windows: $program lacks its long-path manifest" >&2; exit 1; }
done
"$wine" "$bin/kaldo-flash.exe" --version
"$wine" "$bin/kaldo-flash.exe" info build/mingw/share/sample-02.83.syx

# The zip, unzipped where nothing of the build is near: each program must find all it loads beside it.
bash tools/make-windows-zip.sh build/mingw "$state/zip"
zip="$(ls "$state"/zip/*.zip)"
mkdir "$state/unzipped"
(cd "$state/unzipped" && cmake -E tar xf "$zip")
unzipped="$state/unzipped/$(basename "$zip" .zip)"
"$wine" "$unzipped/kaldo-flash.exe" --version >/dev/null
echo "windows: $(basename "$zip") holds $(cd "$unzipped" && find . -type f | sort | grep -v '^./licenses/' | tr '\n' ' ')"
if [ -z "$qt" ]; then
    took "done" $began
    exit 0
fi
"$wine" "$unzipped/kaldo-updater.exe" --version

start=$SECONDS
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$state/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$state/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$state/display")"
shots=build/mingw/screenshots
rm -rf "$shots"

# The same windows on Linux (the default preset's build, only what the probe needs), with the
# machine's fonts, and on Windows, compared control by control.
[ -f build/default/CMakeCache.txt ] || cmake --preset default ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset default -j "$(nproc)" --target kaldo_window_layout >/dev/null
env -u FONTCONFIG_FILE JACK_NO_START_SERVER=1 build/default/bin/kaldo_window_layout --pictures "$shots/linux" \
    >"$state/linux.txt" 2>/dev/null
if ! "$wine" "$bin/kaldo_window_layout.exe" --pictures "$shots/windows" --against "$state/linux.txt" \
    >"$state/windows.txt" 2>"$state/differences"; then
    echo "windows: the windows are laid out otherwise than on Linux:" >&2
    grep -v '^ALSA' "$state/differences" >&2
    exit 1
fi
# Wine has no MIDI devices: the status row and both device menus say so, and the status row asks for
# the amp alone (Windows has no JACK to start).
for said in "status2/3: Status -> No MIDI devices found. Connect the amp, then Re-Check for Midi devices (F5)." \
    "out: None | No MIDI devices found" "in: None | No MIDI devices found"; do
    grep -qF "# $said" "$state/windows.txt" || { echo "windows: the program does not say \"$said\"" >&2; exit 1; }
done
echo "windows: main window and wizard laid out as on Linux, and no MIDI devices said so ($(head -1 "$state/windows.txt" | cut -c3-))"

# The program from the zip, as a user starts it: a first start opens the main window and the wizard.
"$wine" "$unzipped/kaldo-updater.exe" 2>/dev/null &
program=$!
for _ in $(seq 120); do
    windows="$(xwininfo -root -tree)"
    grep -q '"Kaldo Updater v' <<<"$windows" && grep -q '"Welcome!"' <<<"$windows" && break
    sleep 0.5
done
grep -q '"Welcome!"' <<<"$windows" || { echo "windows: kaldo-updater.exe did not open its windows" >&2; exit 1; }
sleep 2
import -window root "$shots/kaldo-updater-under-wine.png"
"$wine" taskkill /IM kaldo-updater.exe >/dev/null
for _ in $(seq 60); do kill -0 "$program" 2>/dev/null || break; sleep 0.5; done
if kill -0 "$program" 2>/dev/null; then
    echo "windows: kaldo-updater.exe did not close when asked to" >&2
    exit 1
fi
wait "$program" || { echo "windows: kaldo-updater.exe did not end well when closed" >&2; exit 1; }
for kept in kaldo-updater.INI kaldo-updater.log; do
    [ -n "$(find "$WINEPREFIX/drive_c/users" -path "*/AppData/Roaming/KaldoUpdater/$kept")" ] ||
        { echo "windows: no $kept in %APPDATA%\\KaldoUpdater" >&2; exit 1; }
done
if [ -n "$(find "$unzipped" -iname '*.ini')" ]; then
    echo "windows: kaldo-updater.exe wrote its settings beside itself" >&2
    exit 1
fi
took "desktop tried (pictures in $shots)" $start
took "done" $began
