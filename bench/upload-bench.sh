#!/usr/bin/env bash
# Measures handshake uploads over MIDI against kaldo-amp-sim on a private JACK server: overhead against
# the protocol's floor and CPU use with the amp's usual delays, then the reaction to replies that come
# after the 600 ms pause. Usage: bench/upload-bench.sh [BUILD_DIR]  (default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/default}"
bin="$build/bin"
cmake --build "$build" --target bench_upload >/dev/null
state="$(mktemp -d)"
server="kaldo-bench-$$"
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
    bash tests/support/jack-server.sh stop "$server" "$state"
    rm -rf "$state"
}
trap cleanup EXIT
bash tests/support/jack-server.sh start "$server" "$state"
export JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1

# run PACKETS DATA_LENGTH READY REPLY VERIFY PROGRAMMING
run() {
    "$bin/kaldo-make-firmware" -o "$state/fw.syx" --version 02.83 --packets "$1" --data-length "$2"
    "$bin/kaldo-amp-sim" --name "Bench Amp" --revision 02.80 --ready-delay "$3" --reply-delay "$4" \
        --verify-delay "$5" --programming-delay "$6" >"$state/sim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do grep -q "ready" "$state/sim.log" && break; sleep 0.1; done
    "$bin/bench_upload" "$state/fw.syx" "Bench Amp In" "Bench Amp Out" "$3" "$4" "$5" "$6"
    kill "$sim_pid"; wait "$sim_pid" || true; sim_pid=""
}

echo "== the amp's usual delays: overhead and CPU"
run 20 2048 500 5 1000 1500
echo "== replies 700 ms after each packet: reaction"
run 12 2048 500 700 1000 1500
