#!/usr/bin/env bash
# private-jack.sh gives its command a JACK server that no other test's clients meet: in a /dev/shm of
# its own where the system allows, else on the shared one, one such test at a time, saying so.
#   private-jack-test.sh
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
dir="$(mktemp -d)"
marker="/dev/shm/kaldo-private-test-$$"
trap 'rm -rf "$dir" "$marker"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export KALDO_PRIVATE_JACK_LOCK="$dir/lock"
# What the command sees: its server answers, and the files in /dev/shm.
look='JACK_NO_START_SERVER=1 jack_lsp >/dev/null 2>&1 && echo "server $JACK_DEFAULT_SERVER answers"; ls /dev/shm'

touch "$marker"
if unshare --user --map-root-user --mount true 2>/dev/null; then
    seen="$(bash "$here/private-jack.sh" bash -c "$look" 2>"$dir/err")"
    grep -q "^server kaldo-private-[0-9]* answers$" <<<"$seen" || fail "no server of its own: $seen $(cat "$dir/err")"
    ! grep -qx "$(basename "$marker")" <<<"$seen" || fail "it saw the machine's /dev/shm"
    [ ! -s "$dir/err" ] || ! grep -q "no namespace" "$dir/err" || fail "it said it had no namespace"
else
    echo "private-jack-test: no namespaces here; only the shared way is tried"
fi

# Without namespaces (an unshare that fails): the shared /dev/shm, the lock taken, and a note.
mkdir "$dir/bin"
printf '#!/bin/sh\nexit 1\n' >"$dir/bin/unshare"
chmod +x "$dir/bin/unshare"
seen="$(PATH="$dir/bin:$PATH" bash "$here/private-jack.sh" bash -c "$look"'; flock -n 8 || echo locked' \
        8>>"$KALDO_PRIVATE_JACK_LOCK" 2>"$dir/err")"
grep -q "^server kaldo-private-[0-9]* answers$" <<<"$seen" || fail "shared: no server: $seen $(cat "$dir/err")"
grep -qx "$(basename "$marker")" <<<"$seen" || fail "shared: not the machine's /dev/shm"
grep -qx locked <<<"$seen" || fail "shared: the lock was not held"
grep -q "no namespace of its own here" "$dir/err" || fail "shared: no note: $(cat "$dir/err")"

[ "$failures" -eq 0 ] && echo "private-jack-test: ok"
exit $((failures > 0))
