#!/usr/bin/env bash
# A run that fails in its second phase still ends with the time of each phase it reached, the failing
# one included, and their total; and it exits with the failing command's status.
#   phases-test.sh PATH/TO/phases.sh
set -uo pipefail
fail() { echo "FAIL: $*"; exit 1; }
out="$(bash -c 'set -e; source "$1"; trap "phase_report demo" EXIT
    phase install; sleep 0.4; phase build; sleep 0.6; exit 7; phase never' _ "$1")"
status=$?
echo "$out"
[ "$status" -eq 7 ] || fail "the run exited $status, not 7"
[ "$(head -1 <<<"$out")" = "== time by phase (demo)" ] || fail "no heading"
# Each phase reached, then the total, each with its seconds; at least its sleep; the total their sum
# (each is cut to a tenth of a second).
awk 'NR > 1 && $2 ~ /^[0-9]+\.[0-9]$/ && $3 == "s" { names = names $1 " "; t[$1] = $2 }
     END { exit !(names == "install build total " && t["install"] >= 0.4 && t["build"] >= 0.6 &&
                  t["total"] - t["install"] - t["build"] > -0.05 && t["total"] - t["install"] - t["build"] < 0.25) }' \
    <<<"$out" || fail "the phases and their times are not as they went"
