# Sourced by the test scripts. Real MIDI (over JACK, or through the kernel rig) shares the machine
# with whatever else runs, and only those tests may have a second try; the run names each that needed it.
# ctest_one_more_try WHO WHAT PRESET ARGS...: ctest --preset PRESET ARGS..., then once more for the
# tests that failed (WHAT names them in the messages); fails when one fails again.
ctest_one_more_try() {
    local who="$1" what="$2" preset="$3"
    shift 3
    ctest --preset "$preset" "$@" && return 0
    local retried
    retried="$(cut -d: -f2 "build/$preset/Testing/Temporary/LastTestsFailed.log" | tr '\n' ' ')"
    echo "$who: $what that failed on their first try, running once more: $retried"
    ctest --preset "$preset" "$@" --rerun-failed || return
    echo "$who: needed their second try: $retried"
}
