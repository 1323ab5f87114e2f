#!/usr/bin/env bash
# The bash completion of kaldo-flash: commands, each command's options, the upload modes, and ".syx"
# files (with folders to reach them) where a firmware FILE goes.
set -uo pipefail
# shellcheck source=/dev/null
source "$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

# expect "WORDS..." "OFFERED": completes the last of WORDS (empty for a fresh word) and compares the
# offers, sorted and joined by spaces.
expect() {
    local line="$1" want="$2"
    read -ra COMP_WORDS <<<"$line"
    [[ "$line" == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _kaldo_flash 2>/dev/null
    local got
    got="$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)"
    if [ "$got" != "$want" ]; then
        echo "FAIL: '$line' offers '$got', expected '$want'" >&2
        failures=$((failures + 1))
    fi
}

expect "kaldo-flash " "--help --version detect identify info list send upload"
expect "kaldo-flash detect --" "--help --json --timeout"
expect "kaldo-flash up" "upload"
expect "kaldo-flash --" "--help --version"
expect "kaldo-flash list " "--help --json"
expect "kaldo-flash identify --" "--help --in --json --out --timeout"
expect "kaldo-flash upload --" "--all --confirm --help --in --internal --json --mode --out --yes"
expect "kaldo-flash upload --c" "--confirm"
expect "kaldo-flash upload --mode " "auto blind handshake single"
expect "kaldo-flash upload new.syx --mode h" "handshake"
expect "kaldo-flash upload --out " ""
expect "kaldo-flash identify --timeout " ""

mkdir -p "$work/fw/old"
touch "$work/new.syx" "$work/OLD.SYX" "$work/notes.txt" "$work/fw/b.syx" "$work/fw/readme"
cd "$work" || exit 1
expect "kaldo-flash info " "OLD.SYX fw new.syx"
expect "kaldo-flash upload --out 1 " "OLD.SYX fw new.syx"
expect "kaldo-flash send n" "new.syx"
expect "kaldo-flash upload fw/" "fw/b.syx fw/old"

echo "completion: $failures failed"
[ "$failures" -eq 0 ]
