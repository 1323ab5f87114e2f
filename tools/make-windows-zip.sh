#!/usr/bin/env bash
# The Windows zip: unzipped anywhere, the programs start; no installer, no admin rights. Usage:
# make-windows-zip.sh BUILD OUT (BUILD is a finished mingw build folder, OUT the folder the zip goes to).
#
# With the desktop program (a build with Qt for MinGW): kaldo-updater-VERSION-windows-x86_64.zip holds
# kaldo-updater.exe with what it loads (Qt's DLLs, the platform plugin in platforms\, the native style
# in styles\, the MinGW runtime Qt was built with), kaldo-flash.exe and kaldo-make-firmware.exe
# (self-contained), the sample firmware, a README, the project's licence, and in licenses\ those of Qt
# (with where its source comes from), of the MinGW runtime and of the fonts the program carries.
# Without: kaldo-flash-VERSION-windows-x86_64.zip, the command-line tools alone.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "$1")"
mkdir -p "$2"
out="$(realpath "$2")"
version="$(sed -n 's/^project(KaldoUpdater VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
bin="$build/bin"
# The build has the desktop program when it was configured with a Qt.
qt="$(sed -n 's/^KALDO_QT_MINGW:PATH=//p' "$build/CMakeCache.txt")"
desktop=false
[ -n "$qt" ] && desktop=true
if $desktop; then name="kaldo-updater-$version-windows-x86_64"; else name="kaldo-flash-$version-windows-x86_64"; fi

staging="$(mktemp -d)"
trap 'rm -rf "$staging"' EXIT
zip="$staging/$name"
mkdir "$zip"
cp "$bin/kaldo-flash.exe" "$bin/kaldo-make-firmware.exe" "$build/share/sample-02.83.syx" "$zip/"
sed 's/$/\r/' LICENSE >"$zip/LICENSE.txt"

# Copies the Debian copyright file of the package that holds path into licenses\, named after it.
package_licence() {
    local package
    package="$(dpkg-query -S "$(realpath "$1")" | cut -d: -f1)"
    sed 's/$/\r/' "/usr/share/doc/$package/copyright" >"$zip/licenses/$package.txt"
}

if $desktop; then
    debian_source="$(sed -n 's/.*`qt6-base` \([^ ]*\) source package.*/\1/p' "$qt/README.md")"
    [ -n "$debian_source" ] || { echo "make-windows-zip: $qt/README.md names no qt6-base source package" >&2; exit 1; }
    qt_version="${debian_source%%+*}"
    # What kaldo-updater.exe loads: the build copied it beside the programs. The tests' Qt6Test.dll and
    # the offscreen platform stay out.
    cp "$bin/kaldo-updater.exe" "$bin"/Qt6Core.dll "$bin"/Qt6Gui.dll "$bin"/Qt6Widgets.dll "$bin"/lib*.dll "$zip/"
    mkdir "$zip/platforms" "$zip/styles" "$zip/licenses"
    cp "$bin/platforms/qwindows.dll" "$zip/platforms/"
    cp "$bin/styles/qwindowsvistastyle.dll" "$zip/styles/"
    cp -r "$qt/LICENSES" "$zip/licenses/Qt"
    if [ ! -d "$qt/LICENSES/third-party" ]; then
        echo "make-windows-zip: $qt carries no licences of the libraries Qt bundles (a build of tools/build-qt-windows.sh does)" >&2
    fi
    for dll in "$zip"/lib*.dll; do
        package_licence "$(x86_64-w64-mingw32-g++-posix -print-file-name="$(basename "$dll")")"
    done
    for font in DejaVuSans.ttf DejaVuSansCondensed-Bold.ttf; do
        package_licence "/usr/share/fonts/truetype/dejavu/$font"
    done
    sed 's/$/\r/' >"$zip/licenses/Qt/SOURCE.txt" <<TEXT
Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll, platforms\\qwindows.dll and styles\\qwindowsvistastyle.dll are
Qt $qt_version (qtbase), used under the GNU Lesser General Public License version 3 (LGPL-3.0-only.txt
here, with GPL-3.0-only.txt, which it builds on), and the libraries Qt bundles under their own
licences (third-party\\).

Where the source comes from: Debian 12's qt6-base source package, version $debian_source
    apt-get source qt6-base=$debian_source          (on Debian 12)
    https://snapshot.debian.org/package/qt6-base/$debian_source/
which is Qt's qtbase $qt_version (https://download.qt.io/archive/qt/) with Debian's changes, plus one
change of ours: in src/plugins/platforms/windows/qwindowsintegration.cpp the two lines
"#if QT_CONFIG(directwrite3)" read "#if QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)". It was built
by the KALDO Updater's tools/build-qt-windows.sh (MinGW-w64 with posix threads, shared libraries).

kaldo-updater.exe loads these DLLs from its own folder: you may replace them with your own build of
Qt $qt_version for 64-bit MinGW-w64. kaldo-updater.exe also contains the libjpeg library that Qt
bundles (third-party\\3rdparty-libjpeg): this software is based in part on the work of the
Independent JPEG Group.
TEXT
fi

x86_64-w64-mingw32-strip --strip-unneeded "$zip"/*.exe $(find "$zip" -name '*.dll')

# Windows line ends, for Notepad.
{
    echo "KALDO Updater $version for Windows (64-bit)"
    echo
    if $desktop; then
        cat <<TEXT
kaldo-updater.exe        the desktop program: double-click it. No installation, no admin rights.
                         Settings and the log (kaldo-updater.log) go to %APPDATA%\\KaldoUpdater.
TEXT
    fi
    cat <<TEXT
kaldo-flash.exe          info, list, identify, send, upload: the updater's engine in a console
kaldo-make-firmware.exe  writes firmware files for tests, valid or broken on purpose
sample-02.83.syx         a sample firmware file (version 02.83, 20 packets)

Open a console in this folder and try:

    kaldo-flash info sample-02.83.syx
    kaldo-flash list
    kaldo-flash upload new.syx --out "AMP OUT" --in "AMP IN" --confirm

kaldo-flash --help and kaldo-flash upload --help list the options.

MIDI on Windows goes through the Windows multimedia MIDI services (winmm). That part is tested
against a stand-in that behaves as Windows documents it, and the programs run their tests under Wine,
without MIDI devices; it has not yet been tried on a real Windows MIDI port.

The KALDO Updater is under the MIT licence (LICENSE.txt).
TEXT
    if $desktop; then
        echo "Qt, the MinGW runtime and the DejaVu fonts the program carries: their licences are in"
        echo "licenses\\, and licenses\\Qt\\SOURCE.txt says where Qt's source comes from."
    fi
} | sed 's/$/\r/' >"$zip/README.txt"
(cd "$staging" && cmake -E tar cf "$out/$name.zip" --format=zip "$name")
echo "$out/$name.zip"
