#!/usr/bin/env bash
# Starts or stops the private JACK server of a test run: dummy driver, no realtime, its own name so
# that parallel builds never meet. Usage: jack-server.sh start|stop NAME STATEDIR
set -euo pipefail
action="$1" name="$2" dir="$3"
pidfile="$dir/jackd-$name.pid"
here="$(dirname "$0")"

# wait_gone PID: up to 5 s for a server to stop.
wait_gone() {
    for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
    return 1
}

# JACK frees a server's entry in its table of eight only when that server stops cleanly or another
# of the same name starts. A killed server's entry stays, and once eight are taken no server starts:
# so a server of that name starts once more, with no clients, and stops cleanly.
reclaim() {
    local pid
    rm -f /dev/shm/jack_"$1"_* /dev/shm/jack_sem.*_"$1"_*
    jackd --no-realtime -n "$1" -d dummy -r 48000 -p 256 >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 50); do
        JACK_NO_START_SERVER=1 jack_lsp -s "$1" >/dev/null 2>&1 && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
    wait_gone "$pid" || { kill -9 "$pid" 2>/dev/null || true; echo "jack-server: '$1' keeps its entry in JACK's table" >&2; }
    wait "$pid" 2>/dev/null || true
}

stop() {
    if [ -f "$pidfile" ]; then
        pid="$(cat "$pidfile")"
        # A synchronous server that lost a client to kill -9 may never act on SIGTERM.
        if kill "$pid" 2>/dev/null && ! wait_gone "$pid"; then
            kill -9 "$pid" 2>/dev/null || true
            wait_gone "$pid" || true
            reclaim "$name"
        fi
        rm -f "$pidfile"
    fi
}

# launch: the server in the background; true once it answers.
launch() {
    # 48 kHz, 256-frame periods: 5.3 ms cycles. Synchronous, so that on a loaded machine a late
    # client makes the cycle late instead of missing that cycle's MIDI events.
    jackd --no-realtime --sync --timeout 5000 -n "$name" -d dummy -r 48000 -p 256 >"$dir/jackd-$name.log" 2>&1 &
    echo $! >"$pidfile"
    for _ in $(seq 100); do
        if JACK_NO_START_SERVER=1 jack_lsp -s "$name" >/dev/null 2>&1; then return 0; fi
        kill -0 "$(cat "$pidfile")" 2>/dev/null || break
        sleep 0.1
    done
    return 1
}

case "$action" in
start)
    stop  # a server left behind by an interrupted run
    mkdir -p "$dir"
    launch && exit 0
    if grep -q "Too many servers" "$dir/jackd-$name.log"; then
        # Entries of servers killed by earlier, interrupted runs: free them and try once more.
        stop
        python3 "$here/jack-dead-servers.py" | while read -r dead; do reclaim "$dead"; done
        launch && exit 0
    fi
    echo "jack-server: jackd '$name' did not come up:" >&2
    cat "$dir/jackd-$name.log" >&2
    stop
    exit 1
    ;;
stop) stop ;;
*) echo "usage: $0 start|stop NAME STATEDIR" >&2; exit 2 ;;
esac
