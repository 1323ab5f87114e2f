#!/usr/bin/env bash
# Uploads on a loaded machine: a private JACK server with a short period (asynchronous, as desktop
# servers run, and without realtime scheduling, so a client that runs late misses its cycle and the
# MIDI in it: xruns), programs that keep every core busy, and kaldo-amp-sim as a process of its own,
# a fresh one for every run. Each run does one upload of each way: kaldo-flash upload (the baseline),
# the desktop program's "Upload Code" and the wizard's USB path with the confirmation
# (bench_load_upload, offscreen). Given two builds, every run does each way with both, one after the
# other, so that both meet the same load. Prints every run (for a failed one what the amp got and
# sent against what the program heard; for a completed one an answer that was lost on the way and the
# reply that stood in for it) and the share that completed.
# Usage: bench/load-bench.sh [RUNS] [HOGS] [PERIOD] [BUILD [BUILD]]
#        (10 runs, one busy loop a core and one more, 256 frames at 48 kHz, build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-10}"
hogs="${2:-$(($(nproc) + 1))}"
period="${3:-256}"
shift $(($# < 3 ? $# : 3))
builds=()
for build in "${@:-build/default}"; do
    cmake --build "$build" --target bench_load_upload >/dev/null
    builds+=("$(realpath "$build")")
done
state="$(mktemp -d)"
server="kaldo-load-$$"
hog_pids=()
sim_pid=""
bench_pid=""
cleanup() {
    trap '' INT TERM
    local pid
    for pid in "${hog_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -n "$bench_pid" ]; then
        # its amp first: a killed bench leaves it behind
        for pid in $(pgrep -P "$bench_pid"); do kill "$pid" 2>/dev/null || true; done
        kill "$bench_pid" 2>/dev/null || true
        wait "$bench_pid" 2>/dev/null || true
    fi
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
    if [ -f "$state/jackd.pid" ]; then
        kill "$(cat "$state/jackd.pid")" 2>/dev/null || true
        wait "$(cat "$state/jackd.pid")" 2>/dev/null || true
    fi
    rm -rf "$state"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

jackd --no-realtime -n "$server" -d dummy -r 48000 -p "$period" >"$state/jackd.log" 2>&1 &
echo $! >"$state/jackd.pid"
for _ in $(seq 100); do JACK_NO_START_SERVER=1 jack_lsp -s "$server" >/dev/null 2>&1 && break; sleep 0.1; done
export JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1 QT_QPA_PLATFORM=offscreen
export XDG_DATA_HOME="$state" XDG_CONFIG_HOME="$state"
"${builds[0]}/bin/kaldo-make-firmware" -o "$state/fw.syx" --version 02.83 --packets 12 --data-length 2048

for _ in $(seq "$hogs"); do
    (while :; do :; done) &
    hog_pids+=($!)
done
echo "== $runs runs, $hogs busy loops, JACK period $period frames; load before: $(cut -d' ' -f1-3 /proc/loadavg)"

declare -A done_count stand_ins
# flash BUILD RUN: one kaldo-flash upload against a fresh amp.
flash() {
    local bin="$1/bin" name="KALDO Load flash $$ $2"
    "$bin/kaldo-amp-sim" --name "$name" --revision 02.80 --transcript >"$state/sim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 300); do grep -q "kaldo-amp-sim ready" "$state/sim.log" && break; sleep 0.1; done
    if "$bin/kaldo-flash" upload "$state/fw.syx" --out "$name In" --in "$name Out" >"$state/flash.log" 2>&1; then
        echo "completed"
    else
        echo "FAILED: $(tr '\r' '\n' <"$state/flash.log" | grep -E '^(Status|Result)' | tail -n 4 | tr '\n' ' ')|" \
            "amp got: $(grep -c '^<- packet' "$state/sim.log") packets | amp sent: $(grep -oE '^-> [0-9A-F]{2}' \
            "$state/sim.log" | cut -c4- | tr '\n' ' ')"
    fi
    kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=""
}
# desktop BUILD WAY: one run of bench_load_upload.
desktop() {
    (cd "$state" && exec "$1/bin/bench_load_upload" "$2" 1 "$1/bin/kaldo-amp-sim" 2>/dev/null) >"$state/desktop.log" &
    bench_pid=$!
    wait "$bench_pid" || true
    bench_pid=""
    sed -n 's/^run 1: //p' "$state/desktop.log"
}

for run in $(seq "$runs"); do
    for way in flash menu wizard; do
        for b in "${!builds[@]}"; do
            if [ "$way" = flash ]; then result="$(flash "${builds[$b]}" "$run-$b")"; else result="$(desktop "${builds[$b]}" "$way")"; fi
            echo "run $run, build $((b + 1)), $way: $result"
            case "$result" in
                completed*) done_count[$b-$way]=$((${done_count[$b-$way]:-0} + 1)) ;;&
                "completed ("*) stand_ins[$b]=$((${stand_ins[$b]:-0} + 1)) ;;
            esac
        done
    done
done

echo "== completed of $runs ($(grep -ci xrun "$state/jackd.log" || true) xrun lines from the server; load after: $(cut -d' ' -f1-3 /proc/loadavg))"
for b in "${!builds[@]}"; do
    echo "build $((b + 1)) (${builds[$b]}): flash ${done_count[$b-flash]:-0}, menu ${done_count[$b-menu]:-0}," \
        "wizard ${done_count[$b-wizard]:-0}; desktop runs completed with a later reply standing in: ${stand_ins[$b]:-0}"
done
