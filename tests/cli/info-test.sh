#!/usr/bin/env bash
# kaldo-flash info on valid and broken firmware files: exit statuses, JSON keys and values.
# KALDO_EMULATOR runs the programs of a cross build (wine64 for the Windows .exe files).
set -uo pipefail
flash_program="$1"
make_fw_program="$2"
jq="$3"
read -r -a emulator <<<"${KALDO_EMULATOR:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

# The programs, their Windows line ends (CR LF) read as plain ones.
flash() {
    "${emulator[@]}" "$flash_program" "$@" | tr -d '\r'
    return "${PIPESTATUS[0]}"
}
make_fw() { "${emulator[@]}" "$make_fw_program" "$@"; }

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# check NAME EXPECTED_EXIT JQ_FILTER FILE_ARGS...: runs info --json and tests the exit status and the
# filter (which must yield true) on its output.
check() {
    local name="$1" expected="$2" filter="$3"
    shift 3
    local out status
    out="$(flash info "$@" --json)"
    status=$?
    [ "$status" -eq "$expected" ] || fail "$name: exit $status, expected $expected: $out"
    echo "$out" | "$jq" -e "$filter" >/dev/null || fail "$name: $filter does not hold for $out"
}

make_fw -o "$work/good.syx" --version 01.59 --packets 5 --data-length 100 --flag 1 --shown-size 52552
check "packet file" 0 \
    '(keys_unsorted == ["valid","format","version","fileVersion","encrypted","shownSize","fileSize","packetCount","packetDataLength","packetLength"])
     and .valid and .format == "packet" and .version == "01.59" and .fileVersion == 66825 and .encrypted
     and .shownSize == 52552 and .fileSize == 722 and .packetCount == 5 and .packetDataLength == 100
     and .packetLength == 137' \
    "$work/good.syx"

make_fw -o "$work/old.syx" --format single-block --length 3000 --flag 2
check "single-block file" 0 \
    '(keys_unsorted == ["valid","format","version","fileVersion","encrypted","shownSize","fileSize"])
     and .format == "single-block" and .version == "Old  " and .fileVersion == 1 and (.encrypted | not)
     and .shownSize == 3000 and .fileSize == 3000' \
    "$work/old.syx"

check "intermediate image" 0 \
    '.valid and .format == "single-block" and .shownSize == 52576 and .fileSize == 52576 and (.encrypted | not)' \
    --internal

# Broken files: each is refused with exit status 2 and its own reason.
refused() {
    local name="$1" reason="$2"
    shift 2
    make_fw -o "$work/$name.syx" --packets 5 --data-length 100 "$@" || fail "$name: cannot make"
    check "$name" 2 "(keys_unsorted == [\"valid\",\"error\",\"fileSize\"]) and (.valid | not)
                     and (.error | contains(\"$reason\"))" "$work/$name.syx"
}
refused model-byte "Not a valid KALDO code file" --set 4:13
refused format-type "neither 16 nor 19" --set 6:17
refused cut-short "incomplete" --truncate 1
refused nibble "byte 12 is 10" --set 12:10
refused packet-high-bit "packet 2 is not a complete System Exclusive message" --set $((37 + 2 * 137 + 40)):80
refused packet-end "packet 4" --set -1:00
refused header-end "the header message" --set 36:7F
refused no-packets "no packets" --set 7:0
refused too-short "too short" --truncate 700

check "missing file" 2 \
    '(keys_unsorted == ["valid","error"]) and .error == "Can'"'"'t perform one of the following file operations: Open, Seek, Read, Close."' \
    "$work/missing.syx"

# Human output: one field a line.
out="$(flash info "$work/good.syx")" || fail "human output: exit $?"
for line in "valid: yes" "format: packet" "version: 01.59" "fileVersion: 0x00010509" "encrypted: yes" "packetLength: 137"; do
    grep -qxF "$line" <<<"$out" || fail "human output lacks '$line': $out"
done
out="$(flash info "$work/model-byte.syx")"
[ $? -eq 2 ] || fail "human output of a broken file: exit status"
grep -qxF "error: Not a valid KALDO code file" <<<"$out" || fail "human output of a broken file: $out"

# A name in any script, at the end of a path past Windows' old limit of 260 characters.
deep="$work/Gitarren-Verstärker ギター/$(printf '%0100d' 0)/$(printf '%0100d' 1)"
mkdir -p "$deep"
named="$deep/fürmware ファーム.syx"
[ "${#named}" -gt 260 ] || fail "the long path is only ${#named} characters"
make_fw -o "$named" --version 02.83 --packets 3 --data-length 50 || fail "non-ASCII name: cannot make"
[ -f "$named" ] || fail "non-ASCII name: kaldo-make-firmware wrote another file: $(ls "$deep")"
check "non-ASCII name in a long path" 0 '.valid and .version == "02.83" and .fileSize == 298' "$named"
out="$(flash info "$named")" || fail "non-ASCII name, human output: exit $?"
grep -qxF "file: $named" <<<"$out" || fail "non-ASCII name, human output: $out"

out="$(flash --version)" || fail "--version: exit $?"
grep -qxE "kaldo-flash [0-9]+\.[0-9]+" <<<"$out" || fail "--version: $out"

# Usage errors.
flash info >/dev/null 2>&1
[ $? -eq 2 ] || fail "info without a file: exit status"
flash info "$work/good.syx" --internal >/dev/null 2>&1
[ $? -eq 2 ] || fail "info with a file and --internal: exit status"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "cli info: all checks passed"
