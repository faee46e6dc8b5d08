#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What a huge sensor document costs Orvane: peak resident memory and CPU while a stand-in sensor server answers
# every request with it, against a normal document first, and whether the memory is handed back once the
# documents are normal again. Runs offscreen, with the display simulated.
# Usage: bench/large_reply.sh [BUILD_DIR] [MiB] [SECONDS]   (defaults: build, 16, 20)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/procstat.sh"
source "$here/../scripts/contract.sh"
build="$(cd "${1:-$here/../build}" && pwd)"
mib="${2:-16}"
seconds="${3:-20}"

work="$(mktemp -d /tmp/orvane-large.XXXXXX)"
mkdir -p "$work/runtime" "$work/app" && chmod 700 "$work/runtime"
cleanup() {
    [ -n "${ORVANE_PID:-}" ] && kill -TERM "$ORVANE_PID" 2>/dev/null && wait "$ORVANE_PID" 2>/dev/null
    [ -n "${SERVER_PID:-}" ] && kill "$SERVER_PID" 2>/dev/null
    [ -n "${SIM_PID:-}" ] && kill "$SIM_PID" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# CPU time of every thread of a process, in ns: utime + stime of /proc/PID/stat.
cpu_ns_all() {
    awk -v hz="$(getconf CLK_TCK)" '{ printf "%d", ($14 + $15) * 1e9 / hz }' "/proc/$1/stat"
}

# The program alone in a folder, so that it starts no server of its own: the stand-in is the server.
cp "$build/orvane" "$work/app/orvane"
echo normal >"$work/which"
python3 - "$work/runtime/$ORVANE_SENSOR_SERVER_NAME" "$work/which" "$mib" "$ORVANE_READ_REQUEST" <<'PY' &
import socket, sys
path, which, mib, read_request = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4].encode()
head = (b'<?xml version="1.0"?><Computer><Hardware Name="Board" HardwareType="Motherboard"><SubHardware Name="Fans">'
        b'<Sensor Name="CPU Fan" SensorType="Fan" Value="1020"/></SubHardware></Hardware>'
        b'<Hardware Name="Intel Core i9" HardwareType="Cpu"><Sensor Name="CPU Package" SensorType="Temperature" '
        b'Value="48"/><Sensor Name="CPU Total" SensorType="Load" Value="7"/>')
tail = b'</Hardware></Computer>'
filler = b'<Sensor Name="Core Load" SensorType="Load" Value="1"/>'
normal = head + filler * 20 + tail
huge = head + filler * ((mib * 1024 * 1024 - len(head) - len(tail)) // len(filler)) + tail
server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
server.bind(path)
server.listen(8)
while True:
    conn, _ = server.accept()
    try:
        if conn.recv(16) == read_request:
            conn.sendall(huge if open(which).read().strip() == "huge" else normal)
    except OSError:
        pass
    conn.close()
PY
SERVER_PID=$!
"$build/devsim/orvane-devsim" --socket "$work/sim.sock" </dev/null >/dev/null 2>&1 &
SIM_PID=$!
sleep 1
XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen LD_PRELOAD="$build/devsim/libhidapi_sim.so" \
    ORVANE_DEVSIM_SOCKET="$work/sim.sock" "$work/app/orvane" 2>/dev/null &
ORVANE_PID=$!

sleep 10
steady="$(peak_rss_kb "$ORVANE_PID")"
resident="$(awk '/^VmRSS:/ { print $2 }' "/proc/$ORVANE_PID/status")"
echo huge >"$work/which"
c0="$(cpu_ns_all "$ORVANE_PID")"
t0="$(date +%s%N)"
sleep "$seconds"
c1="$(cpu_ns_all "$ORVANE_PID")"
t1="$(date +%s%N)"
peak="$(peak_rss_kb "$ORVANE_PID")"
echo normal >"$work/which"
sleep 10
after="$(awk '/^VmRSS:/ { print $2 }' "/proc/$ORVANE_PID/status")"
size="$(python3 -c "print($mib * 1024 * 1024)")"
awk -v steady="$steady" -v peak="$peak" -v after="$after" -v resident="$resident" -v c="$((c1 - c0))" -v t="$((t1 - t0))" -v s="$seconds" -v mib="$mib" 'BEGIN {
    printf "orvane, %d s of replies of %d MiB (one a reading), after 10 s of a 2 kB one\n", s, mib
    printf "  peak RSS before : %.1f MB\n", steady / 1024
    printf "  peak RSS after  : %.1f MB (%+.1f MB)\n", peak / 1024, (peak - steady) / 1024
    printf "  CPU meanwhile   : %.2f %% of one core\n", 100 * c / t
    printf "  RSS before      : %.1f MB\n", resident / 1024
    printf "  RSS 10 s later  : %.1f MB (%+.1f MB), the 2 kB reply again\n", after / 1024, (after - resident) / 1024
}'
