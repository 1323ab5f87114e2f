#!/usr/bin/env bash
# Starts or stops the private JACK server of a test run: dummy driver, no realtime, its own name so
# that parallel builds never meet. Usage: jack-server.sh start|stop NAME STATEDIR
set -euo pipefail
action="$1" name="$2" dir="$3"
pidfile="$dir/jackd-$name.pid"

stop() {
    if [ -f "$pidfile" ]; then
        pid="$(cat "$pidfile")"
        if kill "$pid" 2>/dev/null; then
            for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
            kill -9 "$pid" 2>/dev/null || true
        fi
        rm -f "$pidfile"
    fi
}

case "$action" in
start)
    stop  # a server left behind by an interrupted run
    mkdir -p "$dir"
    # 48 kHz, 256-frame periods: 5.3 ms cycles. Synchronous, so that on a loaded machine a late
    # client makes the cycle late instead of missing that cycle's MIDI events.
    jackd --no-realtime --sync --timeout 5000 -n "$name" -d dummy -r 48000 -p 256 >"$dir/jackd-$name.log" 2>&1 &
    echo $! >"$pidfile"
    for _ in $(seq 100); do
        if JACK_NO_START_SERVER=1 jack_lsp -s "$name" >/dev/null 2>&1; then exit 0; fi
        kill -0 "$(cat "$pidfile")" 2>/dev/null || break
        sleep 0.1
    done
    echo "jack-server: jackd '$name' did not come up:" >&2
    cat "$dir/jackd-$name.log" >&2
    stop
    exit 1
    ;;
stop) stop ;;
*) echo "usage: $0 start|stop NAME STATEDIR" >&2; exit 2 ;;
esac
