#!/usr/bin/env bash
# A test server that ignores SIGTERM (here: stopped) is killed, and its entry in JACK's table of
# servers is freed, so that runs that had to kill servers never fill the table.
#   jack-server-test.sh NAME
set -uo pipefail
name="$1"
here="$(dirname "$0")"
dir="$(mktemp -d)"
trap 'kill -CONT "$(cat "$dir/jackd-$name.pid" 2>/dev/null)" 2>/dev/null; "$here/jack-server.sh" stop "$name" "$dir"; rm -rf "$dir"' EXIT

"$here/jack-server.sh" start "$name" "$dir" || { echo "FAIL: the server did not start"; exit 1; }
kill -STOP "$(cat "$dir/jackd-$name.pid")"
"$here/jack-server.sh" stop "$name" "$dir"
if python3 "$here/jack-dead-servers.py" | grep -qx "$name"; then
    echo "FAIL: the killed server '$name' still holds an entry in JACK's table"
    exit 1
fi
[ ! -f "$dir/jackd-$name.pid" ] || { echo "FAIL: the pid file stayed"; exit 1; }
echo "jack-server-test: a killed server's entry is freed"
