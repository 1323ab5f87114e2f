#!/usr/bin/env bash
# The main job, for real: sets up the machine, builds, and uploads the sample firmware over MIDI to the
# simulated amp in handshake mode, showing the progress, then confirms the amp's new revision.
# Without a MIDI system (no ALSA sequencer, no JACK server) it starts a private JACK server of its own
# and stops it at the end. Ends with the time each phase took.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/phases.sh
trap 'phase_report run-demo' EXIT

phase install
bash tools/setup.sh demo
phase build
# The demo needs neither the tests nor the benchmarks (nor what they are built with).
cmake --preset default -DKALDO_BUILD_TESTS=OFF -DKALDO_BUILD_BENCH=OFF ${KALDO_WERROR:+-DKALDO_WERROR=ON} >/dev/null
cmake --build --preset default -j "$(nproc)" --target kaldo-flash kaldo-amp-sim kaldo_sample_firmware
bin=build/default/bin
firmware=build/default/share/sample-02.83.syx
phase "MIDI and upload"

state="$(mktemp -d)"
server=""
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    if [ -n "$server" ]; then bash tests/support/jack-server.sh stop "$server" "$state"; fi
    rm -rf "$state"
    phase_report run-demo
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -r /dev/snd/seq ] && [ -w /dev/snd/seq ]; then
    echo "demo: MIDI over the ALSA sequencer"
elif JACK_NO_START_SERVER=1 jack_lsp >/dev/null 2>&1; then
    echo "demo: MIDI over the running JACK server"
else
    server="kaldo-demo-$$"
    echo "demo: no MIDI system here; starting a private JACK server '$server' (dummy driver, no realtime)"
    bash tests/support/jack-server.sh start "$server" "$state"
    export JACK_DEFAULT_SERVER="$server"
fi
export JACK_NO_START_SERVER=1

# The amp runs 02.80, one step older than the sample firmware, so no question is asked.
"$bin/kaldo-amp-sim" --revision 02.80 --name "KALDO Amp Sim" --write-image "$state/received.syx" \
    >"$state/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
    grep -q "kaldo-amp-sim ready" "$state/sim.log" && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$state/sim.log" >&2; exit 1; }
    sleep 0.1
done
grep -q "kaldo-amp-sim ready" "$state/sim.log" || { echo "demo: the simulated amp did not start" >&2; exit 1; }
head -n 1 "$state/sim.log"

"$bin/kaldo-flash" info "$firmware"
echo "demo: uploading $firmware (Ctrl-C cancels after the packet in flight)"
status=0
"$bin/kaldo-flash" upload "$firmware" --out "KALDO Amp Sim In" --in "KALDO Amp Sim Out" \
    --mode handshake --confirm || status=$?

if [ "$status" -eq 0 ] && cmp -s "$firmware" "$state/received.syx"; then
    echo "demo: the amp received all $(stat -c %s "$firmware") bytes exactly as the file holds them"
fi
exit "$status"
