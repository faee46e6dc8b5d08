#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program as a user runs it: orvane with its window on a private Xvfb display, its sensor server VOViredo
# reading a recorded machine (tests/fixtures/sysfs/MACHINE), and the display simulator in place of the cooler.
# Prints one table: CPU % of orvane and of VOViredo (every thread) over SECONDS of steady state, peak RSS of each, the
# time from a reading's request (its arrival at the server) to its value frame reaching the display, and the parse time.
# Usage: bench/whole_program.sh [BUILD_DIR] [SECONDS] [MACHINE]   (defaults: build, 60, intel-z390-nct6798)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/procstat.sh"
source "$here/../scripts/contract.sh"
build="$(cd "${1:-$here/../build}" && pwd)"
seconds="${2:-60}"
machine="${3:-intel-z390-nct6798}"
fixture="$here/../tests/fixtures/sysfs/$machine"
warmup=10

work="$(mktemp -d /tmp/orvane-bench.XXXXXX)"
mkdir -p "$work/app/voviredo" "$work/runtime" "$work/config" "$work/tmp"
chmod 700 "$work/runtime"
cleanup() {
    [ -n "${ORVANE_PID:-}" ] && kill -TERM "$ORVANE_PID" 2>/dev/null && wait "$ORVANE_PID" 2>/dev/null
    [ -n "${DEVSIM_PID:-}" ] && kill -TERM "$DEVSIM_PID" 2>/dev/null && wait "$DEVSIM_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A copy of the program beside a sensor server that reads the recorded machine.
cp "$build/orvane" "$work/app/orvane"
cat >"$work/app/voviredo/VOViredo" <<WRAPPER
#!/bin/sh
exec "$build/voviredo/VOViredo" --sysfs-root "$fixture/sys" --proc-root "$fixture/proc" "\$@"
WRAPPER
chmod +x "$work/app/voviredo/VOViredo"

start_xvfb
"$build/devsim/orvane-devsim" --socket "$work/runtime/devsim.sock" --json </dev/null >"$work/devsim.jsonl" 2>/dev/null &
DEVSIM_PID=$!
cd "$work"
XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" QT_QPA_PLATFORM=xcb \
    LD_PRELOAD="$build/devsim/libhidapi_sim.so" ORVANE_DEVSIM_SOCKET="$work/runtime/devsim.sock" \
    ORVANE_SENSOR_TRACE="$work/requests.txt" "$work/app/orvane" 2>/dev/null &
ORVANE_PID=$!

sleep "$warmup"
SERVER_PID="$(pgrep -P "$ORVANE_PID" | head -n 1)"
if [ -z "$SERVER_PID" ]; then
    echo "whole_program: the sensor server did not start" >&2
    exit 1
fi
thread_counters "$ORVANE_PID" >"$work/orvane0"
thread_counters "$SERVER_PID" >"$work/server0"
t0="$(date +%s%N)"
sleep "$seconds"
thread_counters "$ORVANE_PID" >"$work/orvane1"
thread_counters "$SERVER_PID" >"$work/server1"
t1="$(date +%s%N)"
read -r orvane_ns _ < <(counters_delta "$work/orvane0" "$work/orvane1")
read -r server_ns _ < <(counters_delta "$work/server0" "$work/server1")
orvane_peak="$(peak_rss_kb "$ORVANE_PID")"
server_peak="$(peak_rss_kb "$SERVER_PID")"

parse_line="$("$build/bench/bench_sensorparse" 2>/dev/null | grep -m1 -iE 'parse' || true)"

python3 - "$work/requests.txt" "$work/devsim.jsonl" "$orvane_ns" "$server_ns" "$t0" "$t1" \
    "$orvane_peak" "$server_peak" "$seconds" "$machine" "$parse_line" "$ORVANE_READ_REQUEST" <<'PY'
import json, statistics, sys
(requests, frames, orvane_ns, server_ns, t0, t1, opeak, speak, seconds, machine, parse_line, read_request) = sys.argv[1:]
wall = (int(t1) - int(t0)) / 1e9
reqs = sorted(float(l.split()[0]) for l in open(requests) if l.split()[1:] == [read_request])
values = [json.loads(l) for l in open(frames) if l.startswith("{")]
values = [v for v in values if v.get("event") == "value"]
lat = []
for v in values:
    before = [r for r in reqs if r <= v["t"]]
    if before:
        lat.append(v["t"] - before[-1])
lat.sort()
def pct(p):
    return lat[min(len(lat) - 1, int(p * len(lat)))] if lat else float("nan")
print(f"Whole program, {seconds} s of steady state, sensor tree of '{machine}', display simulated")
print()
print("| measure | orvane | VOViredo |")
print("|---|---|---|")
print(f"| CPU (% of one core) | {100 * int(orvane_ns) / 1e9 / wall:.3f} | {100 * int(server_ns) / 1e9 / wall:.3f} |")
print(f"| peak RSS (MB) | {int(opeak) / 1024:.1f} | {int(speak) / 1024:.1f} |")
print()
print(f"| request to value frame at the display ({len(lat)} readings) | median | p95 | max |")
print("|---|---|---|---|")
print(f"| ms | {statistics.median(lat) if lat else float('nan'):.2f} | {pct(0.95):.2f} | {lat[-1] if lat else float('nan'):.2f} |")
print()
print(f"Parse time: {parse_line.strip() or 'bench_sensorparse not built'}")
PY
