#!/usr/bin/env bash
# The desktop program's idle cost and hot-plug latency (bench_idle), with a private JACK server and
# then with no MIDI system at all. Usage: bench/idle-bench.sh [BUILD] [SECONDS]
set -euo pipefail
build="${1:-build/default}"
seconds="${2:-20}"
cmake --build "$build" --target bench_idle >/dev/null
server="kaldo-idle-$$"
jackd --no-realtime -n "$server" -d dummy -r 48000 -p 256 >/dev/null 2>&1 &
jackd=$!
trap 'kill $jackd 2>/dev/null; wait $jackd 2>/dev/null' EXIT
for _ in $(seq 50); do JACK_NO_START_SERVER=1 jack_lsp -s "$server" >/dev/null 2>&1 && break; sleep 0.1; done
echo "== with JACK running"
QT_QPA_PLATFORM=offscreen JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1 \
    "$build/bin/bench_idle" --seconds "$seconds" --jackd "$jackd" --sim "$build/bin/kaldo-amp-sim"
kill $jackd
wait $jackd 2>/dev/null || true
echo "== without a MIDI system"
QT_QPA_PLATFORM=offscreen JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1 "$build/bin/bench_idle" --seconds "$seconds"
