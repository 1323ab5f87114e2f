#!/usr/bin/env bash
# A private system bus with a stand-in logind on it (python-dbusmock's logind template, see
# logind-mock-template.py), for tests of the sleep guard and of the programs that hold it.
#   logind-mock.sh start DIR [--no-logind]  starts the bus (and logind, unless --no-logind) in DIR, a
#                                           folder of the caller's (mktemp -d); prints the bus address
#   logind-mock.sh inhibitors DIR           prints the inhibitors held now, one a line:
#                                           WHAT<tab>WHO<tab>WHY<tab>MODE
#   logind-mock.sh stop DIR                 stops both
# A program finds the bus through DBUS_SYSTEM_BUS_ADDRESS (the address start printed, also in
# DIR/address). The socket lives in DIR: keep the path short (under 100 characters).
set -euo pipefail
action="$1" dir="$2"
here="$(cd "$(dirname "$0")" && pwd)"
# Debian's python3-dbusmock and python3-dbus belong to the system's Python, which another python3
# earlier on PATH would not see.
python=/usr/bin/python3

# Not a process we started any more: these are daemons, and once dead they wait as zombies for
# whoever adopted them.
running() { [ -e "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null; }

stop_pid() {
    local file="$1"
    if [ -f "$file" ]; then
        local pid
        pid="$(cat "$file")"
        if kill "$pid" 2>/dev/null; then
            for _ in $(seq 50); do running "$pid" || break; sleep 0.1; done
            kill -9 "$pid" 2>/dev/null || true
        fi
        rm -f "$file"
    fi
}

stop() {
    stop_pid "$dir/logind.pid"
    stop_pid "$dir/bus.pid"
}

logind_on_bus() {
    DBUS_SYSTEM_BUS_ADDRESS="$(cat "$dir/address")" "$python" - <<'PY'
import sys, dbus
sys.exit(0 if dbus.SystemBus().name_has_owner('org.freedesktop.login1') else 1)
PY
}

case "$action" in
start)
    stop  # whatever an interrupted run left in this folder
    cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <!-- everything allowed, as on a session bus -->
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
CONF
    # --fork: the bus leaves this script's output alone, so a test runner waiting for it is not kept
    { read -r address; read -r pid; } < <(dbus-daemon --config-file="$dir/bus.conf" --fork --print-address=1 --print-pid=1)
    echo "$pid" >"$dir/bus.pid"
    echo "$address" >"$dir/address"
    if [ "${3:-}" != "--no-logind" ]; then
        DBUS_SYSTEM_BUS_ADDRESS="$address" "$python" -m dbusmock --system --template "$here/logind-mock-template.py" \
            >"$dir/logind.log" 2>&1 &
        echo $! >"$dir/logind.pid"
        on_bus=""
        for _ in $(seq 100); do
            if logind_on_bus; then on_bus=1; break; fi
            running "$(cat "$dir/logind.pid")" || break
            sleep 0.1
        done
        if [ -z "$on_bus" ]; then
            echo "logind-mock: the stand-in logind did not come up:" >&2
            cat "$dir/logind.log" >&2
            stop
            exit 1
        fi
    fi
    echo "$address"
    ;;
inhibitors)
    DBUS_SYSTEM_BUS_ADDRESS="$(cat "$dir/address")" "$python" - <<'PY'
import dbus
logind = dbus.SystemBus().get_object('org.freedesktop.login1', '/org/freedesktop/login1')
for what, who, why, mode, _, _ in logind.ListInhibitors(dbus_interface='org.freedesktop.login1.Manager'):
    print(what, who, why, mode, sep='\t')
PY
    ;;
stop) stop ;;
*) echo "usage: $0 start DIR [--no-logind] | inhibitors DIR | stop DIR" >&2; exit 2 ;;
esac
