#!/usr/bin/env bash
# kaldo-flash upload --all against three simulated amps and another maker's device, on a private JACK
# server, against one amp alone (its ports named) in the same run: wall time and CPU per amp, with the
# amp's usual delays and the sample firmware (20 packets). Usage: bench/all-amps-bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/default}"
runs="${2:-3}"
bin="$build/bin"
state="$(mktemp -d)"
server="kaldo-all-bench-$$"
pids=()
stop_devices() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
    pids=()
}
cleanup() {
    stop_devices
    bash tests/support/jack-server.sh stop "$server" "$state"
    rm -rf "$state"
}
trap cleanup EXIT
bash tests/support/jack-server.sh start "$server" "$state"
export JACK_DEFAULT_SERVER="$server" JACK_NO_START_SERVER=1
firmware="$build/share/sample-02.83.syx"

# start DEVICE OPTIONS...: a kaldo-amp-sim until stop_devices.
start() {
    local name="$1"
    shift
    "$bin/kaldo-amp-sim" --name "$name" "$@" >"$state/$name.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do grep -q "ready" "$state/$name.log" && return; sleep 0.1; done
}
# timed ARGS...: kaldo-flash upload ARGS; prints "WALL CPU" in seconds.
timed() {
    /usr/bin/time -f "%e %U %S" -o "$state/time" "$bin/kaldo-flash" upload "$firmware" --yes "$@" >"$state/out" 2>&1 ||
        { cat "$state/out"; exit 1; }
    awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$state/time"
}

printf "%-5s %-28s %8s %8s\n" run case wall cpu
for run in $(seq "$runs"); do
    start "Amp One" --revision 02.80
    read -r one_wall one_cpu < <(timed --out "Amp One In" --in "Amp One Out")
    stop_devices
    start "Amp One" --revision 02.80
    start "Amp Two" --revision 02.81
    start "Amp Three" --revision 02.82
    start "Synth" --maker 00206B
    read -r all_wall all_cpu < <(timed --all)
    grep -c "Result: completed" "$state/out" | grep -qx 3 || { echo "not every amp completed:"; cat "$state/out"; exit 1; }
    stop_devices
    printf "%-5s %-28s %8s %8s\n" "$run" "one amp, ports named" "$one_wall" "$one_cpu"
    printf "%-5s %-28s %8s %8s\n" "$run" "--all, three amps + a synth" "$all_wall" "$all_cpu"
    awk -v a="$all_wall" -v o="$one_wall" -v c="$all_cpu" -v oc="$one_cpu" \
        'BEGIN { printf "      ratio --all / one amp: %.3f; CPU per amp %.2f s (one amp alone %.2f s)\n", a / o, c / 3, oc }'
done
