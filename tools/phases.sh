# Sourced by the run scripts: `phase NAME` ends the phase before and starts the next; `phase_report`
# prints how long each took, so that a slow run shows where its time went (call it from the EXIT trap:
# a run that fails still tells how far it got and how long that took).
phase_names=()
phase_micros=()
phase_started=""

phase_end() {
    [ -n "$phase_started" ] || return 0
    phase_micros+=($((${EPOCHREALTIME//[!0-9]/} - phase_started)))
    phase_started=""
}

phase() {
    phase_end
    phase_names+=("$1")
    phase_started=${EPOCHREALTIME//[!0-9]/}
}

phase_report() {
    phase_end
    [ ${#phase_names[@]} -gt 0 ] || return 0
    local i total=0
    echo "== time by phase ($1)"
    for i in "${!phase_names[@]}"; do
        printf '  %-18s %7s s\n' "${phase_names[$i]}" "$(to_seconds "${phase_micros[$i]}")"
        total=$((total + phase_micros[i]))
    done
    printf '  %-18s %7s s\n' total "$(to_seconds "$total")"
}

to_seconds() { printf '%d.%01d' $(($1 / 1000000)) $(($1 % 1000000 / 100000)); }
