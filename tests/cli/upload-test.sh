#!/usr/bin/env bash
# kaldo-flash upload over real MIDI against kaldo-amp-sim running as a process of its own. One case a
# run, so the cases run side by side, each with its own simulated amp (ports named after the case):
#   upload-test.sh CASE FLASH SIM MAKE_FIRMWARE WRITE_INTERMEDIATE JQ
# The MIDI system is whatever the environment offers (the case's own JACK server, private-jack.sh).
set -uo pipefail
case_name="$1" flash="$2" sim="$3" make_fw="$4" write_intermediate="$5" jq="$6"
work="$(mktemp -d)"
sim_pid=""
failures=0

# waited PID SECONDS WHAT: waits for the child PID as `wait` does (its exit status), but at most SECONDS:
# one that hangs fails the case with its threads' stacks and is killed, so that a hang says where it
# is instead of the whole case running into CTest's time-out unexplained.
waited() {
    local pid="$1" what="$3" state=""
    for _ in $(seq $(($2 * 10))); do
        state="$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | cut -d' ' -f1)"
        if [ -z "$state" ] || [ "$state" = Z ]; then break; fi
        sleep 0.1
    done
    if [ -n "$state" ] && [ "$state" != Z ]; then
        fail "$what did not end within $2 s; its threads:
$(gdb -p "$pid" -batch -ex 'thread apply all bt' 2>&1 | grep -E '^(Thread|#)')"
        kill -9 "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
}

stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null
        waited "$sim_pid" 15 "the simulated amp, told to stop,"
        sim_pid=""
    fi
}
# More devices on the line, for the cases that look for amps.
extra_pids=()
stop_extras() {
    local pid
    for pid in "${extra_pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${extra_pids[@]}"; do waited "$pid" 15 "a simulated device, told to stop,"; done
    extra_pids=()
}
# The stand-in logind of the sleep-inhibitor case, when it runs.
logind_mock="$(dirname "$0")/../support/logind-mock.sh"
stop_bus() { [ ! -d "$work/bus" ] || "$logind_mock" stop "$work/bus"; }
trap 'stop_sim; stop_extras; stop_bus; rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $case_name: $*" >&2
    failures=$((failures + 1))
}

name="KALDO Sim $case_name $$"
out_port="$name In"
in_port="$name Out"

# start_sim OPTIONS...: the amp with short delays (the updater's own pauses still apply; a case may
# change sim_delays first), its transcript and the image it receives kept in the work folder.
sim_delays=(--reply-delay 5 --verify-delay 700 --programming-delay 100)
start_sim() {
    "$sim" --name "$name" --transcript --write-image "$work/received.syx" \
        "${sim_delays[@]}" "$@" >"$work/sim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do
        grep -q "kaldo-amp-sim ready" "$work/sim.log" && return 0
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "FAIL: $case_name: the simulated amp did not start:" >&2
    cat "$work/sim.log" >&2
    exit 1
}

# start_extra NAME OPTIONS...: another kaldo-amp-sim, an amp or (--maker) another maker's device, its
# transcript in the work folder under its name.
start_extra() {
    local device="$1"
    shift
    "$sim" --name "$device" --transcript "${sim_delays[@]}" "$@" >"$work/$device.log" 2>&1 &
    extra_pids+=($!)
    for _ in $(seq 100); do
        grep -q "kaldo-amp-sim ready" "$work/$device.log" && return 0
        sleep 0.1
    done
    echo "FAIL: $case_name: $device did not start:" >&2
    cat "$work/$device.log" >&2
    exit 1
}

# upload ARGS...: kaldo-flash upload --json, no keyboard; sets status, output in out.json.
upload() {
    "$flash" upload "$@" --json >"$work/out.json" 2>"$work/err.txt" </dev/null
    status=$?
}

expect_status() {
    [ "$status" -eq "$1" ] || fail "exit $status, expected $1; output: $(cat "$work/out.json" "$work/err.txt")"
}

# expect FILTER: jq filter over all events (slurped) that must yield true.
expect() {
    "$jq" -se "$1" "$work/out.json" >/dev/null || fail "$1 does not hold for: $(cat "$work/out.json")"
}

expect_received() {
    cmp -s "$1" "$work/received.syx" ||
        fail "the amp did not receive $1 byte for byte: $(cmp "$1" "$work/received.syx" 2>&1); $(cat "$work/sim.log")"
}

# Packets the amp received, from its transcript (the amp stopped first, so the transcript is whole).
packets_received() { grep -c -- "<- packet" "$work/sim.log"; }

result='(map(select(.event == "result")) | last)'

# Every upload pays the protocol's own pauses (600 ms a packet, 3 s after a completed handshake), so the
# files have two packets unless a case is about what happens between more of them.

case "$case_name" in
handshake)
    # Every packet in order, byte for byte, each after the amp's reply; then the confirmation.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    start_sim --revision 02.80
    upload "$work/fw.syx" --out "$out_port" --in "$out_port" --mode handshake --confirm 2>/dev/null
    # --in named the amp's input: not an input device, so nothing fits and nothing is sent.
    expect_status 2
    upload "$work/fw.syx" --out "$out_port" --in "$in_port" --mode handshake --confirm
    expect_status 0
    expect "$result | .outcome == \"completed\" and .way == \"handshake\" and .errors == 0 and .packets == 2
            and .confirmed and .ampVersion == \"02.83\" and .exit == 0"
    expect '[.[] | select(.event == "progress") | .packet] == [0, 1, 2]'
    expect '[.[] | select(.event == "status" and .panel == 3) | .text | select(startswith("Status -> Sending"))]
            == ["Status -> Sending packet number 1 of 2", "Status -> Sending packet number 2 of 2"]'
    expect 'any(.[]; .event == "message" and .text == "Success, new code rev is confirmed. Rock On!")'
    expect '[.[] | select(.event == "file")] | length == 1
            and (.[0] | keys_unsorted) == ["event", "name", "format", "version", "packets", "packetLength"]
            and .[0].name == "fw.syx" and .[0].format == "packet" and .[0].version == "02.83"
            and .[0].packets == 2 and .[0].packetLength == 137'
    expect_received "$work/fw.syx"
    ;;
foreign-sysex)
    # Other gear on the line talks SysEx around every reply of a slow amp, without and with the amp's
    # codes at offset 6: none of it counts, every packet waits for its own answer. The amp answers 100 ms
    # after the updater's pauses (200 ms after the header, 600 ms after a packet), so that everything
    # arrives while the updater waits for it. The status-like codes come in turn, one before and one
    # after each reply (74 7C, 7D 71, 7B 7A, ...): four packets is the fewest where both a 74 comes before
    # a packet's 7C and a 7A follows the last packet's 7C, ahead of the verdict. Plain messages are all
    # alike: two packets show them around a packet's reply and the verdict.
    sim_delays=(--reply-delay 700 --ready-delay 300 --verify-delay 700 --programming-delay 100)
    for kind_packets in "plain 2" "status-like 4"; do
        read -r kind packets <<<"$kind_packets"
        "$make_fw" -o "$work/fw.syx" --version 02.83 --packets "$packets" --data-length 100
        start_sim --revision 02.80 --foreign-sysex "$kind"
        upload "$work/fw.syx" --out "$out_port" --in "$in_port"
        expect_status 0
        expect "$result | .outcome == \"completed\" and .way == \"handshake\" and .errors == 0"
        stop_sim
        expect_received "$work/fw.syx"
        [ "$(packets_received)" -eq "$packets" ] ||
            fail "$kind: the amp received $(packets_received) packets, not $packets"
    done
    ;;
foreign-identity)
    # Another device answers the Identity Request first, as 09.99: identify and the upload both go by
    # the amp's own revision, 01.02, so the newer file goes without a question about older code.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    start_sim --revision 01.02 --foreign-identity
    # JACK's own notes go to stderr, apart from the JSON (a user who may not lock memory gets one).
    "$flash" identify --out "$out_port" --in "$in_port" --json >"$work/id.json" 2>"$work/err.txt" ||
        fail "identify: $(cat "$work/id.json" "$work/err.txt")"
    "$jq" -e '.version == "01.02"' "$work/id.json" >/dev/null || fail "identify read $(cat "$work/id.json")"
    upload "$work/fw.syx" --out "$out_port" --in "$in_port"
    expect_status 0
    expect "$result | .outcome == \"completed\" and .way == \"handshake\" and .errors == 0"
    expect 'any(.[]; .event == "amp" and .version == "01.02")'
    expect 'all(.[]; .event != "question")'
    expect_received "$work/fw.syx"
    ;;
verdict-at-once)
    # 74 for every packet, and the amp verifies and programs at once: 74, 7D and 71 wait together for
    # the last packet's wait, and every error is counted.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    sim_delays=(--reply-delay 5 --verify-delay 0 --programming-delay 0)
    start_sim --revision 02.80 --all-packets-error
    upload "$work/fw.syx" --out "$out_port" --in "$in_port"
    expect_status 0
    expect "$result | .outcome == \"completed\" and .errors == 2"
    ;;
duplicates)
    # Every status reply twice, an error on the first of two packets: one error, each packet once (the
    # second 74, taken for the next packet's answer, would count two).
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    start_sim --revision 02.80 --duplicate-replies --packet-error 0
    upload "$work/fw.syx" --out "$out_port" --in "$in_port"
    expect_status 0
    expect "$result | .outcome == \"completed\" and .errors == 1 and .packets == 2"
    expect_received "$work/fw.syx"
    stop_sim
    [ "$(packets_received)" -eq 2 ] || fail "the amp received $(packets_received) packets, not 2"
    ;;
confirm-wrong-revision)
    # The amp takes the file but goes on reporting its old revision: --confirm says so and fails.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    start_sim --revision 02.80 --keep-revision
    upload "$work/fw.syx" --out "$out_port" --in "$in_port" --confirm
    expect_status 1
    expect "$result | .outcome == \"completed\" and .confirmed == false and .ampVersion == \"02.80\" and .exit == 1"
    expect 'any(.[]; .event == "message" and .text == "Fail, code rev is wrong. Power cycle the amp and try again.")'
    expect 'all(.[]; .event != "message" or .text != "Success, new code rev is confirmed. Rock On!")'
    ;;
sleep-inhibitor)
    # While firmware goes out, logind (a stand-in on a private bus) lists our sleep inhibitor; once the
    # upload has completed, been stopped with Ctrl-C or killed, it lists none. Without logind the
    # upload goes on and says why the computer could not be kept awake. The case's JACK server waits
    # long for a client killed with -9 and cannot stop cleanly after that: jack-server.sh kills it and
    # frees its entry in JACK's table.
    # Uploads that are stopped (Ctrl-C, kill) after packet 2 cost the same whatever their length: theirs
    # leaves seconds for looking at logind. Those that run to the end take three packets, which still
    # leaves the last packet, verify and the closing pause (over 3 s) for the look.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 12 --data-length 100
    "$make_fw" -o "$work/short.syx" --version 02.83 --packets 3 --data-length 100
    mkdir "$work/bus"
    # start_bus [--no-logind]: a fresh bus, and the programs told where it is.
    start_bus() {
        "$logind_mock" start "$work/bus" "$@" >/dev/null || fail "the bus did not start"
        export DBUS_SYSTEM_BUS_ADDRESS="$(cat "$work/bus/address")"
    }
    start_bus
    held=$'sleep:idle:handle-lid-switch:handle-suspend-key\tKALDO Updater\tUpdating the amp\'s firmware\tblock'
    # upload_until_packet_2 FILE: the upload in the background (its pid in flash_pid), once packet 2 has gone.
    upload_until_packet_2() {
        rm -f "$work/out.json"  # not to find the last upload's packet 2 before this one starts writing
        "$flash" upload "$1" --out "$out_port" --in "$in_port" --yes --json >"$work/out.json" \
            2>"$work/err.txt" </dev/null &
        flash_pid=$!
        for _ in $(seq 300); do
            grep -q '"event":"progress","packet":2,' "$work/out.json" && return 0
            sleep 0.05
        done
        fail "the upload did not reach packet 2: $(cat "$work/out.json" "$work/err.txt")"
    }
    # ends_with ENDING SIGNAL STATUS FILE: an upload that ends that way, the inhibitor held until then.
    ends_with() {
        upload_until_packet_2 "$4"
        local during after
        during="$("$logind_mock" inhibitors "$work/bus")"
        [ "$during" = "$held" ] || fail "$1: during the upload logind listed: '$during'"
        [ -z "$2" ] || kill "-$2" "$flash_pid"
        waited "$flash_pid" 45 "kaldo-flash ($1)"
        status=$?
        expect_status "$3"
        after="$("$logind_mock" inhibitors "$work/bus")"
        [ -z "$after" ] || fail "$1: after the upload logind still listed: '$after'"
    }
    start_sim --revision 02.80
    ends_with completed "" 0 "$work/short.syx"
    ends_with ctrl-c INT 3 "$work/fw.syx"
    stop_bus
    start_bus --no-logind
    upload "$work/short.syx" --out "$out_port" --in "$in_port" --yes
    expect_status 0
    expect 'any(.[]; .event == "note" and (.text | startswith("Cannot keep the computer awake")))'
    stop_bus
    start_bus
    ends_with kill KILL 137 "$work/fw.syx"
    # The server now waits for the killed client: the amp and the server go the hard way.
    kill -KILL "$sim_pid"
    sim_pid=""
    ;;
detect)
    # Two amps and a synth on the line: detect finds exactly the two, each output paired with its own
    # amp's input, and lists the synth apart, by its maker.
    start_sim --revision 02.80
    start_extra "$name B" --revision 01.02
    start_extra "$name Synth" --maker 00206B
    "$flash" detect --json >"$work/detect.json" 2>"$work/err.txt"
    status=$?
    expect_status 0
    "$jq" -e --arg a "$name" '
        (.amps | map({out: .out.name, in: .in.name, version}) | sort_by(.out))
            == [{out: ($a + " B In:in"), in: ($a + " B Out:out"), version: "01.02"},
                {out: ($a + " In:in"), in: ($a + " Out:out"), version: "02.80"}]
        and (.others | map({out: .out.name, in: .in.name, manufacturer}))
            == [{out: ($a + " Synth In:in"), in: ($a + " Synth Out:out"), manufacturer: "00 20 6B"}]
        and all(.amps[]; .out.number >= 0 and .in.number >= 0 and .packed > 0)' "$work/detect.json" >/dev/null ||
        fail "detect found: $(cat "$work/detect.json")"
    "$flash" detect >"$work/detect.txt"
    grep -qx "$name In:in -> $name Out:out  version 02.80" "$work/detect.txt" ||
        fail "detect printed: $(cat "$work/detect.txt")"
    stop_sim
    stop_extras
    # Only Identity Requests reached the devices.
    ! grep -h -- "<- " "$work/sim.log" "$work/$name B.log" "$work/$name Synth.log" | grep -vq "identity request" ||
        fail "detect sent more than Identity Requests"
    # Two amps that answer later than detection's first window (a loaded machine, a slow hub): an
    # answer heard while the next amp is asked must not pair that amp with the first one's input.
    sim_delays=(--reply-delay 700)
    start_extra "$name Slow A"
    start_extra "$name Slow B"
    "$flash" detect --json >"$work/slow.json" 2>"$work/err.txt"
    status=$?
    expect_status 0
    "$jq" -e --arg a "$name" '
        (.amps | map({out: .out.name, in: .in.name}) | sort_by(.out))
            == [{out: ($a + " Slow A In:in"), in: ($a + " Slow A Out:out")},
                {out: ($a + " Slow B In:in"), in: ($a + " Slow B Out:out")}]' "$work/slow.json" >/dev/null ||
        fail "detect on a slow line found: $(cat "$work/slow.json")"
    stop_extras
    ;;
portless)
    # No ports named: the one amp on the line takes the upload; with a second amp nothing is sent and
    # the user is told to name one (exit 2); with none, what to check (exit 1). A synth that answers
    # is never taken for an amp.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    start_extra "$name Synth" --maker 43
    upload "$work/fw.syx"
    expect_status 1
    expect "$result | .outcome == \"failed\" and (.error | contains(\"no amp answered\"))"
    start_sim --revision 02.80
    upload "$work/fw.syx"
    expect_status 0
    expect "$result | .outcome == \"completed\" and .way == \"handshake\""
    expect "any(.[]; .event == \"found\" and .out == \"$out_port:in\" and .in == \"$in_port:out\" and .version == \"02.80\")"
    expect_received "$work/fw.syx"
    "$flash" identify --json >"$work/id.json" 2>"$work/err.txt" || fail "identify: $(cat "$work/err.txt")"
    "$jq" -e '.version == "02.83"' "$work/id.json" >/dev/null || fail "identify read $(cat "$work/id.json")"
    start_extra "$name B" --revision 02.80
    headers_before="$(grep -c -- "<- header" "$work/sim.log")"
    upload "$work/fw.syx"
    expect_status 2
    expect "$result | .failure == \"usage\" and (.error | contains(\"2 amps answered\"))"
    stop_sim
    stop_extras
    [ "$(grep -c -- "<- header" "$work/sim.log")" -eq "$headers_before" ] || fail "an upload went to one of two amps"
    ! grep -q -- "<- header" "$work/$name B.log" || fail "an upload went to the second amp"
    ;;
blind)
    # A file of 01.59 or lower goes out blind even with an input port and a known amp version.
    "$make_fw" -o "$work/fw.syx" --version 01.59 --packets 2 --data-length 100
    start_sim --revision 01.02
    upload "$work/fw.syx" --out "$out_port" --in "$in_port"
    expect_status 0
    expect "$result | .outcome == \"completed\" and .way == \"blind\" and .packets == 2"
    expect 'any(.[]; .event == "amp" and .version == "01.02")'
    expect '[.[] | select(.event == "progress") | .packet] == [0, 1, 2]'
    # No USB offer for such an old file.
    expect 'all(.[]; .event != "question")'
    expect_received "$work/fw.syx"
    ;;
intermediate)
    # The carried 52,576-byte image as one System Exclusive block.
    "$write_intermediate" "$work/intermediate.syx" || fail "cannot write the carried image"
    start_sim
    upload --internal --out "$out_port"
    expect_status 0
    expect "$result | .outcome == \"completed\" and .way == \"single\""
    expect 'any(.[]; .event == "file" and .format == "single-block" and .size == 52576)'
    expect_received "$work/intermediate.syx"
    ;;
packet-errors)
    # 74 is counted and shown; the next packet follows and nothing is sent again. Errors on the first and
    # the last of three packets: an accepted packet between them, which must not count.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 3 --data-length 100
    start_sim --revision 02.80 --packet-error 0 --packet-error 2
    upload "$work/fw.syx" --out "$out_port" --in "$in_port"
    expect_status 0
    expect "$result | .outcome == \"completed\" and .way == \"handshake\" and .errors == 2"
    expect '[.[] | select(.event == "status" and .panel == 2) | .text]
            == ["Packet Error Count 1", "Packet Error Count 2"]'
    expect '(map(select(.event == "progress")) | last | .errors) == 2'
    expect_received "$work/fw.syx"
    stop_sim
    [ "$(packets_received)" -eq 3 ] || fail "the amp received $(packets_received) packets, not 3"
    ;;
silent-after-header)
    # The amp takes the header and says nothing: the wait for 7B times out and no packet follows.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 3 --data-length 100
    start_sim --revision 02.80 --silent-at header
    upload "$work/fw.syx" --out "$out_port" --in "$in_port"
    expect_status 1
    expect "$result | .outcome == \"failed\" and .failure == \"timed-out\" and .way == \"handshake\""
    expect '[.[] | select(.event == "message") | .text]
            == ["Error. Device not responding. Power cycle amp and try again.", "An Error occurred. Try again."]'
    expect '[.[] | select(.event == "status" and .panel == 3) | .text] | .[-2:]
            == ["Status -> Waiting for device ready to receive data.", "Status -> Failed: the amp did not answer in time."]'
    stop_sim
    grep -q -- "<- header" "$work/sim.log" || fail "the amp did not receive the header"
    [ "$(packets_received)" -eq 0 ] || fail "packets were sent to a silent amp"
    ;;
verify-failed)
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    start_sim --revision 02.80 --verify-fails
    upload "$work/fw.syx" --out "$out_port" --in "$in_port"
    expect_status 1
    expect "$result | .outcome == \"failed\" and .failure == \"verify-failed\""
    expect 'any(.[]; .event == "message" and (.text | contains("failed its verify check")))'
    expect 'all(.[]; .event != "message" or (.text | startswith("Looks good") | not))'
    ;;
independent-amp)
    # The same handshake upload against an amp written apart from ours (python-rtmidi's MIDI code).
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    "$(dirname "$0")/independent-amp.py" "$name" "$work/received.syx" >"$work/amp.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do
        grep -q "independent amp ready" "$work/amp.log" && break
        sleep 0.1
    done
    upload "$work/fw.syx" --out "$out_port" --in "$in_port"
    expect_status 0
    expect "$result | .outcome == \"completed\" and .way == \"handshake\" and .errors == 0 and .packets == 2"
    waited "$sim_pid" 15 "the simulated amp, at the end of its run,"
    sim_pid=""
    expect_received "$work/fw.syx"
    ;;
unplugged)
    # The amp's ports gone in the middle of a handshake upload (on receiving packet 3 of 12): the
    # upload ends as failed because its output went away, saying so, and sends nothing more; not as
    # an amp that stopped answering, after its reply time. With --all too, where every amp's engine
    # hears of it through the one device watch of the run.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 12 --data-length 100
    for all in "" --all; do
        start_sim --revision 02.80 --vanish-at-packet 2
        if [ -n "$all" ]; then upload "$work/fw.syx" --all --yes; else upload "$work/fw.syx" --out "$out_port" --in "$in_port"; fi
        expect_status 1
        expect "$result | .outcome == \"failed\" and .failure == \"port-gone\" and .exit == 1"
        expect 'any(.[]; .event == "message" and (.text | startswith("The amp'"'"'s MIDI port went away")))'
        stop_sim
        [ "$(packets_received)" -eq 3 ] || fail "${all:-one amp}: the amp took $(packets_received) packets, not 3"
    done
    ;;
ctrl-c)
    # Ctrl-C (SIGINT) mid-upload: the packet in flight finishes, nothing more is sent, exit 3.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 12 --data-length 100
    start_sim --revision 02.80
    "$flash" upload "$work/fw.syx" --out "$out_port" --in "$in_port" --json >"$work/out.json" 2>"$work/err.txt" \
        </dev/null &
    flash_pid=$!
    for _ in $(seq 300); do
        grep -q '"event":"progress","packet":2,' "$work/out.json" && break
        sleep 0.05
    done
    kill -INT "$flash_pid"
    waited "$flash_pid" 45 "kaldo-flash, after Ctrl-C,"
    status=$?
    expect_status 3
    expect "$result | .outcome == \"terminated\" and .failure == \"user-cancel\" and .exit == 3"
    expect 'any(.[]; .event == "message" and .text == "User terminated code upload. Power cycle amp.")'
    expect 'any(.[]; .event == "status" and .text == "Status -> Upload Terminated.")'
    sent="$("$jq" -s '[.[] | select(.event == "progress") | .packet] | last' "$work/out.json")"
    stop_sim
    [ "$sent" -ge 2 ] && [ "$sent" -lt 12 ] || fail "stopped after packet $sent"
    [ "$(packets_received)" -eq "$sent" ] || fail "the amp received $(packets_received) packets, the upload sent $sent"
    ;;
all)
    # upload --all: three amps and a synth on the line. Each amp gets the upload its own revision asks
    # for; the synth hears nothing but the Identity Request. No keyboard, no --yes: the amp that already
    # runs the file's revision declines, alone, and the run exits 4. With --yes every amp takes it.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    start_extra "$name A" --revision 02.80 --write-image "$work/a.syx"
    start_extra "$name B" --revision 01.60 --write-image "$work/b.syx"
    start_extra "$name C" --revision 02.83 --write-image "$work/c.syx"
    start_extra "$name Synth" --maker 43
    upload "$work/fw.syx" --all
    expect_status 4
    # Every event is an amp's, but the run's own notes (such as the sleep inhibitor's).
    expect "all(.[] | select(.event != \"note\"); has(\"amp\"))"
    expect "[.[] | select(.event == \"result\") | {amp, outcome}] | sort_by(.amp)
            == [{amp: \"$name A In:in\", outcome: \"completed\"}, {amp: \"$name B In:in\", outcome: \"completed\"},
                {amp: \"$name C In:in\", outcome: \"declined\"}]"
    expect "[.[] | select(.event == \"start\") | .way] == [\"handshake\", \"handshake\", \"handshake\"]"
    cmp -s "$work/fw.syx" "$work/a.syx" || fail "amp A did not receive the file byte for byte"
    cmp -s "$work/fw.syx" "$work/b.syx" || fail "amp B did not receive the file byte for byte"
    [ ! -e "$work/c.syx" ] || fail "amp C, which declined, was sent an image"
    # Now all three run 02.83: with --yes each takes it again, in human form with the table at the end.
    rm -f "$work/a.syx" "$work/b.syx"
    "$flash" upload "$work/fw.syx" --all --yes >"$work/out.txt" 2>"$work/err.txt" </dev/null
    status=$?
    expect_status 0
    for amp in A B C; do
        cmp -s "$work/fw.syx" "$work/$(tr 'A-C' 'a-c' <<<"$amp").syx" ||
            fail "amp $amp did not receive the file with --yes"
        grep -q "^$name $amp In:in: Status -> Complete\.$" "$work/out.txt" ||
            fail "no line prefixed with amp $amp's name: $(cat "$work/out.txt")"
        grep -Eq "^$name $amp In:in +02\.83 -> 02\.83 +completed +0 +[0-9.]+ s$" "$work/out.txt" ||
            fail "no table row for amp $amp: $(cat "$work/out.txt")"
    done
    stop_extras
    ! grep -- "<- " "$work/$name Synth.log" | grep -vq "identity request" ||
        fail "the synth was sent more than Identity Requests: $(cat "$work/$name Synth.log")"
    ;;
all-failed)
    # One amp fails its verify: the others complete, the run exits 1, one result line per amp.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    start_extra "$name A" --revision 02.80 --verify-fails
    start_extra "$name B" --revision 02.80 --write-image "$work/b.syx"
    start_extra "$name C" --revision 02.80 --write-image "$work/c.syx"
    upload "$work/fw.syx" --all
    expect_status 1
    expect "[.[] | select(.event == \"result\") | {amp, outcome, exit}] | sort_by(.amp)
            == [{amp: \"$name A In:in\", outcome: \"failed\", exit: 1}, {amp: \"$name B In:in\", outcome: \"completed\", exit: 0},
                {amp: \"$name C In:in\", outcome: \"completed\", exit: 0}]"
    expect "any(.[]; .amp == \"$name A In:in\" and .event == \"message\" and (.text | contains(\"failed its verify check\")))"
    cmp -s "$work/fw.syx" "$work/b.syx" || fail "amp B did not receive the file byte for byte"
    cmp -s "$work/fw.syx" "$work/c.syx" || fail "amp C did not receive the file byte for byte"
    ;;
all-ctrl-c)
    # Ctrl-C mid-run stops every amp after its packet in flight: each holds exactly the packets
    # reported for it, and the run exits 3.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 12 --data-length 100
    for amp in A B C; do start_extra "$name $amp" --revision 02.80; done
    "$flash" upload "$work/fw.syx" --all --json >"$work/out.json" 2>"$work/err.txt" </dev/null &
    flash_pid=$!
    for _ in $(seq 300); do
        [ "$(grep -c '"event":"progress","packet":2,' "$work/out.json")" -ge 3 ] && break
        sleep 0.05
    done
    kill -INT "$flash_pid"
    waited "$flash_pid" 45 "kaldo-flash, after Ctrl-C,"
    status=$?
    expect_status 3
    expect "[.[] | select(.event == \"result\") | .outcome] == [\"terminated\", \"terminated\", \"terminated\"]"
    stop_extras
    for amp in A B C; do
        sent="$("$jq" -s --arg a "$name $amp In:in" \
            '[.[] | select(.event == "progress" and .amp == $a) | .packet] | last' "$work/out.json")"
        received="$(grep -c -- "<- packet" "$work/$name $amp.log")"
        [ "$sent" -ge 2 ] && [ "$sent" -lt 12 ] || fail "amp $amp stopped after packet $sent"
        [ "$received" -eq "$sent" ] || fail "amp $amp received $received packets, the upload reported $sent"
    done
    ;;
all-limits)
    # --all names no ports (exit 2); with no amp on the line, exit 1 and nothing sent.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 3 --data-length 100
    upload "$work/fw.syx" --all --out "$out_port"
    expect_status 2
    start_extra "$name Synth" --maker 43
    upload "$work/fw.syx" --all
    expect_status 1
    expect "$result | .outcome == \"failed\" and (.error | contains(\"no amp answered\"))"
    ;;
declined)
    # Same revision, no keyboard, no --yes: the question answers Cancel and nothing is sent.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 2 --data-length 100
    start_sim --revision 02.83
    upload "$work/fw.syx" --out "$out_port" --in "$in_port"
    expect_status 4
    expect "$result | .outcome == \"declined\" and .exit == 4"
    expect '[.[] | select(.event == "question")] | length == 1 and .[0].answer == "cancel"
            and .[0].text == "You are trying to load code that is the same as the current revision, Continue?"'
    # An older file with --yes goes ahead.
    "$make_fw" -o "$work/old.syx" --version 02.81 --packets 2 --data-length 100
    upload "$work/old.syx" --out "$out_port" --in "$in_port" --yes
    expect_status 0
    expect 'any(.[]; .event == "question" and .answer == "ok" and (.text | contains("older")))'
    stop_sim
    [ "$(grep -c -- "<- header" "$work/sim.log")" -eq 1 ] || fail "the declined upload sent its header"
    ;;
usage)
    # Forced modes stay honest; bad files and unknown devices are refused before anything is sent.
    "$make_fw" -o "$work/fw.syx" --version 02.83 --packets 3 --data-length 100
    "$make_fw" -o "$work/v159.syx" --version 01.59 --packets 3 --data-length 100
    "$make_fw" -o "$work/single.syx" --format single-block --length 3000
    "$make_fw" -o "$work/broken.syx" --packets 3 --data-length 100 --set 4:13
    start_sim
    refused() {
        local why="$1"
        shift
        upload "$@"
        expect_status 2
        expect "$result | .outcome == \"failed\" and .failure == \"usage\" and (.error | contains(\"$why\"))"
    }
    refused "needs --in" "$work/fw.syx" --out "$out_port" --mode handshake
    refused "blind mode only" "$work/v159.syx" --out "$out_port" --in "$in_port" --mode handshake
    refused "leave out --in" "$work/fw.syx" --out "$out_port" --in "$in_port" --mode blind
    refused "single-block files" "$work/fw.syx" --out "$out_port" --mode single
    refused "packet files" "$work/single.syx" --out "$out_port" --mode blind
    refused "needs --in" "$work/fw.syx" --out "$out_port" --confirm
    refused "no device name contains" "$work/fw.syx" --out "no such amp"
    refused "not a firmware file" "$work/broken.syx" --out "$out_port"
    expect 'any(.[]; .event == "message" and .text == "Not a valid KALDO code file")'
    stop_sim
    ! grep -q -- "<- " "$work/sim.log" || fail "a refused upload sent something: $(grep -- "<- " "$work/sim.log")"
    ;;
*)
    fail "no such case"
    ;;
esac

[ "$failures" -eq 0 ] || exit 1
echo "upload-test $case_name: ok"
