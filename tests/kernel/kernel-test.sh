#!/usr/bin/env bash
# The kernel cases, run inside the rig's guest (tests/kernel/boot.sh runs this after plugging in the
# amps): kaldo-flash against kaldo-amp-sim speaking on the USB gadget's raw MIDI device, through the
# real sequencer, the real USB MIDI driver and real unplugs.
#   kernel-test.sh CASES BIN JQ     CASES: a case, or several joined by commas, run one after another
#                                   in the same boot (a boot costs 15-25 s); BIN: the folder of
#                                   kaldo-flash, kaldo-amp-sim, kaldo-make-firmware and kaldo_write_intermediate
# Each case prints what it checked and how long it took; the amps' transcripts follow a case that failed.
set -uo pipefail
cases="$1" bin="$2" jq="$3"
here="$(cd "$(dirname "$0")" && pwd)"
flash="$bin/kaldo-flash"
work="$(mktemp -d)"
failures=0
started=$SECONDS
sim_pids=()

stop_sims() {
    local pid
    for pid in "${sim_pids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    sim_pids=()
}
trap 'stop_sims; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $case_name: $*" >&2
    failures=$((failures + 1))
}
note() { echo "kernel-test: $case_name: $* ($((SECONDS - started)) s)"; }

# start_sim AMP OPTIONS...: the simulated amp on amp AMP's gadget (0 or 1), with short delays, its
# transcript in sim-AMP.log and what it receives in received-AMP.syx.
sim_delays=(--reply-delay 5 --verify-delay 100 --programming-delay 100)
start_sim() {
    local amp="$1"
    shift
    local log="$work/sim-$amp.log"
    rm -f "$work/received-$amp.syx"
    "$bin/kaldo-amp-sim" --rawmidi "hw:$(bash "$here/gadget.sh" card "$amp")" \
        --usb-gadget "$(bash "$here/gadget.sh" dir "$amp")" --transcript --write-image "$work/received-$amp.syx" \
        "${sim_delays[@]}" "$@" >"$log" 2>&1 &
    sim_pids+=($!)
    for _ in $(seq 200); do
        grep -qs "kaldo-amp-sim ready" "$log" && return 0
        sleep 0.05
    done
    echo "FAIL: $case_name: the simulated amp did not start:" >&2
    cat "$log" >&2
    exit 1
}

# flash ARGS...: kaldo-flash with --json, no keyboard; sets status, output in out.json.
flash() {
    "$flash" "$@" --json >"$work/out.json" 2>"$work/err.txt" </dev/null
    status=$?
}
expect_status() {
    [ "$status" -eq "$1" ] || fail "exit $status, expected $1: $(cat "$work/out.json" "$work/err.txt")"
}
# expect FILTER: a jq filter over every event of the last kaldo-flash (slurped) that must yield true.
expect() {
    "$jq" -se "$1" "$work/out.json" >/dev/null || fail "$1 does not hold for: $(cat "$work/out.json")"
}
result='(map(select(.event == "result")) | last)'

# expect_received FILE [AMP]: what the amp wrote as received is FILE, byte for byte. The amp writes it
# when the message has come whole, which may be a moment after the sender has finished.
expect_received() {
    local file="$1" got="$work/received-${2:-0}.syx"
    for _ in $(seq 100); do
        cmp -s "$file" "$got" && return 0
        sleep 0.1
    done
    fail "amp ${2:-0} did not receive $(basename "$file") byte for byte: $(cmp "$file" "$got" 2>&1)"
}
transcript() { cat "$work/sim-${1:-0}.log"; }

run_case() {
case "$case_name" in
devices)
    # The amp's ports as the sequencer lists them, beside the kernel's Midi Through port (on every
    # Linux machine); detection finds the amp and lists Midi Through nowhere, since a port that
    # echoes our own Identity Request is not a device; identify reads the revision.
    start_sim 0 --revision 02.80
    "$flash" list >"$work/list.txt" 2>&1 || fail "list: $(cat "$work/list.txt")"
    grep -q "Midi Through:Midi Through Port-0" "$work/list.txt" || fail "list shows no Midi Through: $(cat "$work/list.txt")"
    [ "$(grep -c "KALDO Amp:KALDO Amp MIDI 1" "$work/list.txt")" -eq 2 ] ||
        fail "list shows the amp's port not as one output and one input: $(cat "$work/list.txt")"
    note "list"
    flash detect
    expect_status 0
    expect '.[0] | (.amps | length) == 1 and (.amps[0].out.name | startswith("KALDO Amp:KALDO Amp MIDI 1"))
            and (.amps[0].in.name | startswith("KALDO Amp:KALDO Amp MIDI 1")) and .amps[0].version == "02.80"'
    expect '.[0].others == []'
    note "detect"
    flash identify
    expect_status 0
    expect '.[0].version == "02.80"'
    note "identify"
    ;;
uploads)
    # Every way of sending, to the amp found by detection, byte for byte at the amp's end: packets
    # each after the amp's reply, packets without replies, and the carried image as one block.
    "$bin/kaldo-make-firmware" -o "$work/new.syx" --version 02.83 --packets 3 --data-length 256
    "$bin/kaldo-make-firmware" -o "$work/old.syx" --version 01.59 --packets 2 --data-length 256
    "$bin/kaldo_write_intermediate" "$work/intermediate.syx"
    start_sim 0 --revision 02.80
    flash upload "$work/new.syx"
    expect_status 0
    expect "$result | .outcome == \"completed\" and .way == \"handshake\" and .errors == 0 and .packets == 3"
    expect_received "$work/new.syx"
    note "handshake"
    flash upload "$work/old.syx" --yes
    expect_status 0
    expect "$result | .outcome == \"completed\" and .way == \"blind\" and .packets == 2"
    expect_received "$work/old.syx"
    note "blind"
    flash upload --internal --out "KALDO Amp" --yes
    expect_status 0
    expect "$result | .outcome == \"completed\" and .way == \"single\""
    expect_received "$work/intermediate.syx"
    note "single block"
    ;;
send)
    # Plain SysEx sends through the USB MIDI driver: the carried 52,576-byte image and a 1 MiB block
    # arrive whole.
    "$bin/kaldo_write_intermediate" "$work/52k.syx"
    "$bin/kaldo-make-firmware" -o "$work/1m.syx" --format single-block --length 1048576
    start_sim 0
    for file in 52k 1m; do
        "$flash" send "$work/$file.syx" --out "KALDO Amp" >"$work/send.txt" 2>&1 || fail "send $file: $(cat "$work/send.txt")"
        expect_received "$work/$file.syx"
        note "send $file ($(stat -c %s "$work/$file.syx") bytes)"
    done
    ;;
unplug)
    # The amp unplugged from USB in the middle of a handshake upload (on receiving packet 3 of 6):
    # failed at once because the amp's port went away (not after the amp's reply time), exit 1,
    # saying so, and the amp got no more than it took.
    "$bin/kaldo-make-firmware" -o "$work/fw.syx" --version 02.83 --packets 6 --data-length 256
    start_sim 0 --revision 02.80 --vanish-at-packet 2
    flash upload "$work/fw.syx" --out "KALDO Amp" --in "KALDO Amp"
    expect_status 1
    expect "$result | .outcome == \"failed\" and .failure == \"port-gone\" and .exit == 1"
    expect 'any(.[]; .event == "message" and (.text | startswith("The amp'"'"'s MIDI port went away")))'
    expect 'all(.[]; .event != "message" or (.text | test("Looks good|Complete") | not))'
    [ "$(grep -c -- "<- packet" "$work/sim-0.log")" -eq 3 ] || fail "the amp took other than 3 packets: $(transcript)"
    note "unplug at packet 3"
    stop_sims
    # Unplugged in the middle of a block (after 20,000 of 1 MiB): failed, "did not leave". The block
    # is big enough for the unplug to land while it is still being sent: USB takes a 52 KB block
    # into the drivers' buffers on both sides of the cable before the amp has read 20,000 bytes of
    # it, and what has left the computer it cannot see lost. (The end of a block caught in the
    # computer's buffer stays on the kernel model for the same reason.)
    bash "$here/gadget.sh" plug 0
    "$bin/kaldo-make-firmware" -o "$work/1m.syx" --format single-block --length 1048576
    start_sim 0 --vanish-after-bytes 20000
    "$flash" send "$work/1m.syx" --out "KALDO Amp" >"$work/send.txt" 2>&1 && fail "the send succeeded: $(cat "$work/send.txt")"
    grep -q "did not leave" "$work/send.txt" || fail "the send did not say the block did not leave: $(cat "$work/send.txt")"
    grep -q "the amp vanishes" "$work/sim-0.log" || fail "the amp did not vanish: $(transcript)"
    note "unplug in the middle of a block"
    ;;
restart)
    # The amp restarts into its new code after 71, as a USB amp does: gone from USB, then back.
    # --confirm waits for its ports and confirms the new revision; an amp whose MIDI is ready only a
    # while after its USB is asked again until it answers; one that is back but never answers gets an
    # honest message, and no revision it did not send.
    "$bin/kaldo-make-firmware" -o "$work/fw.syx" --version 02.83 --packets 3 --data-length 256
    start_sim 0 --revision 02.80 --restart-after-programming 1000
    flash upload "$work/fw.syx" --confirm
    expect_status 0
    expect "$result | .outcome == \"completed\" and .confirmed and .ampVersion == \"02.83\""
    grep -q "kaldo-amp-sim back, revision 02.83" "$work/sim-0.log" || fail "the amp did not restart: $(transcript)"
    note "back and confirmed"
    stop_sims
    start_sim 0 --revision 02.80 --restart-after-programming 500 --midi-ready-after 1500
    flash upload "$work/fw.syx" --confirm
    expect_status 0
    expect "$result | .outcome == \"completed\" and .confirmed and .ampVersion == \"02.83\""
    note "MIDI ready 1.5 s after USB, confirmed"
    stop_sims
    start_sim 0 --revision 02.80 --restart-after-programming 500 --midi-ready-after 600000
    flash upload "$work/fw.syx" --confirm
    expect_status 1
    expect "$result | .outcome == \"completed\" and .confirmed == false and (has(\"ampVersion\") | not)"
    expect 'any(.[]; .event == "message" and (.text | test("not responding|did not answer")))'
    grep -q "reports 02.80" "$work/out.json" && fail "a revision the amp did not send: $(cat "$work/out.json")"
    note "back but silent: not confirmed, said so"
    ;;
two-amps)
    # Two amps on two USB controllers, both "KALDO Amp": upload --all finds both and updates each.
    "$bin/kaldo-make-firmware" -o "$work/fw.syx" --version 02.83 --packets 3 --data-length 256
    start_sim 0 --revision 02.80
    start_sim 1 --revision 02.81
    flash upload "$work/fw.syx" --all --yes
    expect_status 0
    expect '[.[] | select(.event == "result") | .outcome] == ["completed", "completed"]'
    expect_received "$work/fw.syx" 0
    expect_received "$work/fw.syx" 1
    note "upload --all"
    ;;
other-writer)
    # Another program writes to the amp's port, unpaced, while the carried image goes out as one block:
    # the card's buffer overruns and bytes of the block are lost. The block fails, and before its F7,
    # so the amp never sees a whole-looking block.
    "$bin/kaldo_write_intermediate" "$work/intermediate.syx"
    start_sim 0
    python3 "$here/other-writer.py" "KALDO Amp" 60 >"$work/writer.txt" 2>&1 &
    writer=$!
    for _ in $(seq 300); do
        grep -qs "writing" "$work/writer.txt" && break
        sleep 0.1
    done
    grep -qs "writing" "$work/writer.txt" || fail "the other writer did not start: $(cat "$work/writer.txt")"
    flash upload --internal --out "KALDO Amp" --yes
    kill "$writer" 2>/dev/null
    wait "$writer" 2>/dev/null
    expect_status 1
    expect "$result | .outcome == \"failed\""
    sleep 0.5
    grep -q "single-block image" "$work/sim-0.log" && fail "the amp took a block that lost bytes as whole: $(transcript)"
    note "another writer during a block"
    ;;
*)
    echo "kernel-test.sh: unknown case $case_name" >&2
    exit 2
    ;;
esac
}

for case_name in ${cases//,/ }; do
    started=$SECONDS
    # A case that ended with an amp unplugged (its simulator vanished) leaves it for the next one
    # plugged in again, as the boot left it.
    for amp in 0 1; do
        dir="$(bash "$here/gadget.sh" dir "$amp")"
        if [ -d "$dir" ] && [ -z "$(cat "$dir/UDC")" ]; then bash "$here/gadget.sh" plug "$amp"; fi
    done
    before=$failures
    rm -f "$work"/sim-*.log
    run_case
    stop_sims
    if [ "$failures" -gt "$before" ]; then
        echo "kernel-test: $case_name: $((failures - before)) failure(s) in $((SECONDS - started)) s" >&2
        # The amps' transcripts of this case, before the next case starts them anew.
        for log in "$work"/sim-*.log; do
            echo "--- $case_name: $(basename "$log"):" >&2
            cat "$log" >&2
        done
    else
        echo "kernel-test: $case_name: passed in $((SECONDS - started)) s"
    fi
done

[ "$failures" -eq 0 ]
