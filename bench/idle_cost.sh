#!/usr/bin/env bash
# What Orvane costs while it runs without a display device: CPU time per minute of steady state and peak RSS,
# on a private Xvfb display with a tray (trayer), its real sensor server beside it. Two runs: the window shown,
# and started with --bootstart, hidden in the tray as it runs day to day.
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
    [ -n "${TRAY_PID:-}" ] && kill "$TRAY_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

start_xvfb
trayer --edge top --align right --widthtype pixel --width 100 --height 24 >/dev/null 2>&1 &
TRAY_PID=$!
cd "$work"

measure() {
    local label="$1"
    shift
    XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" QT_QPA_PLATFORM=xcb \
        "$build/orvane" "$@" 2>/dev/null &
    ORVANE_PID=$!
    sleep "$warmup"
    local start end peak
    start="$(cpu_ns "$ORVANE_PID")"
    sleep "$seconds"
    end="$(cpu_ns "$ORVANE_PID")"
    peak="$(peak_rss_kb "$ORVANE_PID")"
    kill -TERM "$ORVANE_PID"
    wait "$ORVANE_PID" 2>/dev/null || true
    ORVANE_PID=
    awk -v d="$((end - start))" -v s="$seconds" -v peak="$peak" -v label="$label" 'BEGIN {
        cpu = d / 1e9
        printf "orvane without a device, %s: %d s of steady state after '"$warmup"' s of warm-up\n", label, s
        printf "  CPU time per minute : %.3f s (%.3f %% of one core)\n", cpu * 60 / s, 100 * cpu / s
        printf "  peak RSS            : %.1f MB\n", peak / 1024
    }'
}

measure "window shown"
measure "hidden in the tray (--bootstart)" --bootstart
