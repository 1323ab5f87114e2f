#!/usr/bin/env bash
# Runs a command on a JACK server of its own, in a /dev/shm of its own:
#   private-jack.sh COMMAND...   (COMMAND finds the server through JACK_DEFAULT_SERVER)
# JACK names a client's socket in /dev/shm after the client alone, not after its server: two programs
# of the same name (kaldo-flash, its pacer) on two servers of one machine take each other's sockets,
# and a server then talks to the other server's client. With a /dev/shm of its own (a user and mount
# namespace) a test meets no other test's clients, so such tests run side by side. Where the system
# allows no namespace, the server shares /dev/shm: these tests then take turns (the lock file named by
# KALDO_PRIVATE_JACK_LOCK), and the note says so.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ -z "${KALDO_PRIVATE_JACK:-}" ]; then
    export KALDO_PRIVATE_JACK=1
    if unshare --user --map-root-user --mount true 2>/dev/null; then
        exec unshare --user --map-root-user --mount \
            bash -c 'mount -t tmpfs -o mode=1777 kaldo-shm /dev/shm && exec bash "$0" "$@"' "$0" "$@"
    fi
    echo "private-jack: no namespace of its own here: the JACK server shares /dev/shm, one test at a time" >&2
    exec 9>"$KALDO_PRIVATE_JACK_LOCK"
    flock 9
fi

dir="$(mktemp -d)"
server="kaldo-private-$$"
trap '"$here/jack-server.sh" stop "$server" "$dir"; rm -rf "$dir"' EXIT
"$here/jack-server.sh" start "$server" "$dir" || exit 1
JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1 "$@"
