#!/usr/bin/env bash
# What Orvane costs while it runs without a display device: CPU time per minute of steady state and peak RSS,
# with its window shown on a private Xvfb display and its real sensor server beside it.
# Usage: bench/idle_cost.sh [BUILD_DIR] [SECONDS]   (defaults: build, 60)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/procstat.sh"
build="$(cd "${1:-$here/../build}" && pwd)"
seconds="${2:-60}"
warmup=10

work="$(mktemp -d)"
mkdir -p "$work/runtime" "$work/config" "$work/tmp"
chmod 700 "$work/runtime"
cleanup() {
    [ -n "${ORVANE_PID:-}" ] && kill -TERM "$ORVANE_PID" 2>/dev/null && wait "$ORVANE_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

start_xvfb
cd "$work"
XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" QT_QPA_PLATFORM=xcb \
    "$build/orvane" 2>/dev/null &
ORVANE_PID=$!

sleep "$warmup"
hz="$(getconf CLK_TCK)"
start="$(cpu_ticks "$ORVANE_PID")"
sleep "$seconds"
end="$(cpu_ticks "$ORVANE_PID")"
peak="$(peak_rss_kb "$ORVANE_PID")"

awk -v d="$((end - start))" -v hz="$hz" -v s="$seconds" -v peak="$peak" 'BEGIN {
    cpu = d / hz
    printf "orvane without a device, %d s of steady state after %d s of warm-up\n", s, '"$warmup"'
    printf "  CPU time per minute : %.3f s (%.3f %% of one core)\n", cpu * 60 / s, 100 * cpu / s
    printf "  peak RSS            : %.1f MB\n", peak / 1024
}'
