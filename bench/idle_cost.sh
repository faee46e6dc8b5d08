#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What Orvane costs as it runs all day, beside the floors of a 10 ms tick and of a program that does nothing. On a
# private Xvfb display with a real tray (trayer), for the window shown, for the window hidden in the tray
# (--bootstart) and for orvane --headless (no display, no session bus), each program is started alone, left 35 s to
# settle and then watched for SECONDS s:
#   orvane     of BUILD_DIR, with the display simulated (orvane-devsim, hidapi_sim preloaded: value frames go out as
#              with the cooler) and without a display device, its real sensor server beside it reading the recorded
#              machine NAME (tests/fixtures/sysfs; --machine, default amd-x570-k10temp);
#   baseline   orvane of a second build (--baseline DIR), the same way, to set an older version beside it (a
#              baseline without --headless is left out of the headless rows);
#   tick10ms   bench_tick10ms, a bare Qt program with a 10 ms timer and nothing else, beside the window;
#   floor      bench_floor, a bare QCoreApplication linking every library the window program links, and
#   core floor bench_floor_core, one linking only what a program of the feed needs (QtCore, QtNetwork, QtXml, QtDBus,
#              hidapi-hidraw, libudev), both beside orvane --headless (which runs orvane-headless).
# Then orvane --headless is started 5 times against the simulator: the time from its start to the first value frame
# there, median and range.
# Figures cover every thread of a process: CPU % of one core (schedstat of each thread), wake-ups per second
# (voluntary and involuntary context switches of each thread, and the voluntary ones alone: the thread waited for
# something, while an involuntary one was put aside by the scheduler), peak RSS (VmHWM), the shared libraries mapped
# (and how many of them are Qt Gui, Qt Widgets, GL, X11 or xcb) and, for headless rows, the voluntary wake-ups of each
# thread by name. The sensor server (VOViredo) is a process of its own and gets a table of its own; so does the
# interval between readings at the simulated display. --only headless measures only the headless rows; --repeat N
# measures each program's rows N times (the floors once) and adds a table of medians.
# Usage: bench/idle_cost.sh [--baseline DIR] [--device simulated|none|both] [--machine NAME] [--only shown|hidden|headless]
#        [--repeat N] [BUILD_DIR] [SECONDS]   (defaults: no baseline, both, amd-x570-k10temp, every window, 1, build, 60)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/procstat.sh"

usage() {
    sed -n 's/^# Usage: //p' "${BASH_SOURCE[0]}" >&2
    exit 2
}

baseline=""
devices="simulated none"
windows="shown hidden headless"
repeat=1
machine=amd-x570-k10temp
positional=()
while [ $# -gt 0 ]; do
    case "$1" in
    --baseline)
        [ $# -ge 2 ] || usage
        baseline="$(cd "$2" && pwd)"
        shift 2
        ;;
    --device)
        [ $# -ge 2 ] || usage
        case "$2" in
        simulated | none) devices="$2" ;;
        both) devices="simulated none" ;;
        *) usage ;;
        esac
        shift 2
        ;;
    --machine)
        [ $# -ge 2 ] || usage
        machine="$2"
        shift 2
        ;;
    --only)
        [ $# -ge 2 ] || usage
        case "$2" in
        shown | hidden | headless) windows="$2" ;;
        *) usage ;;
        esac
        shift 2
        ;;
    --repeat)
        [ $# -ge 2 ] || usage
        case "$2" in
        '' | *[!0-9]* | 0) usage ;;
        esac
        repeat="$2"
        shift 2
        ;;
    -h | --help) usage ;;
    -*) usage ;;
    *)
        positional+=("$1")
        shift
        ;;
    esac
done
[ ${#positional[@]} -le 2 ] || usage
build="$(cd "${positional[0]:-$here/../build}" && pwd)"
seconds="${positional[1]:-60}"
case "$seconds" in
'' | *[!0-9]* | 0) usage ;;
esac
# Qt's pool threads from the start-up expire after 30 s without work; the steady state begins after them.
warmup=35

machines="$here/../tests/fixtures/sysfs"
[ -d "$machines/$machine/sys" ] || {
    echo "idle_cost: no recorded machine '$machine' in $machines" >&2
    exit 2
}
tick10ms="$build/bench/bench_tick10ms"
floor="$build/bench/bench_floor"
floor_core="$build/bench/bench_floor_core"
for program in "$build/orvane" "$tick10ms" "$floor" "$floor_core" ${baseline:+"$baseline/orvane"}; do
    if [ ! -x "$program" ]; then
        echo "idle_cost: $program is missing; build it first" >&2
        exit 1
    fi
done

work="$(mktemp -d /tmp/orvane-idle.XXXXXX)"
# A session's runtime folder (/run/user/UID) is in memory; the program writes its copy of every reply there.
runtimes="$(mktemp -d /dev/shm/orvane-idle.XXXXXX 2>/dev/null || mktemp -d /tmp/orvane-idle-runtime.XXXXXX)"
cleanup() {
    [ -n "${PROGRAM_PID:-}" ] && kill -TERM "$PROGRAM_PID" 2>/dev/null && wait "$PROGRAM_PID" 2>/dev/null
    [ -n "${DEVSIM_PID:-}" ] && kill -TERM "$DEVSIM_PID" 2>/dev/null && wait "$DEVSIM_PID" 2>/dev/null
    [ -n "${TRAY_PID:-}" ] && kill "$TRAY_PID" 2>/dev/null
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
    rm -rf "$work" "$runtimes"
}
trap cleanup EXIT

# app_of BUILD: a copy of that build's orvane with a sensor server beside it that reads the recorded machine (the
# program looks for its server beside its own file); prints the copy's path.
app_of() {
    local dir="$1" app
    app="$work/app-$(echo "$dir" | md5sum | cut -c1-8)"
    if [ ! -x "$app/orvane" ]; then
        mkdir -p "$app/voviredo"
        cp "$dir/orvane" "$app/orvane"
        # orvane --headless runs orvane-headless beside itself, where the build has one.
        [ -x "$dir/orvane-headless" ] && cp "$dir/orvane-headless" "$app/orvane-headless"
        printf '#!/bin/sh\nexec "%s" --sysfs-root "%s" --proc-root "%s" --fan-names /dev/null "$@"\n' \
            "$dir/voviredo/VOViredo" "$machines/$machine/sys" "$machines/$machine/proc" >"$app/voviredo/VOViredo"
        chmod +x "$app/voviredo/VOViredo"
    fi
    echo "$app/orvane"
}

start_xvfb
trayer --edge top --align right --widthtype pixel --width 100 --height 24 >/dev/null 2>&1 &
TRAY_PID=$!
results="$work/results.tsv"
: >"$results"
runs=0

# The clock of the simulator's "t": CLOCK_MONOTONIC in ms.
monotonic_ms() {
    python3 -c 'import time; print(time.monotonic() * 1000)'
}

# start_devsim BUILD SOCKET FRAMES: that build's simulator listening on SOCKET, its frames as JSON lines in FRAMES;
# returns once it listens. DEVSIM_PID is its process.
start_devsim() {
    "$1/devsim/orvane-devsim" --socket "$2" --json </dev/null >"$3" 2>/dev/null &
    DEVSIM_PID=$!
    for _ in $(seq 50); do
        [ -S "$2" ] && break
        sleep 0.1
    done
}

# measure NAME PROGRAM BUILD_OF_ITS_SIMULATOR DEVICE WINDOW: one run, appended to the results.
measure() {
    local name="$1" program="$2" dir="$3" device="$4" window="$5"
    local run="$work/run$((++runs))" frames="$work/frames$runs.jsonl" runtime="$runtimes/run$runs"
    mkdir -p "$runtime" "$run/config" "$run/tmp"
    chmod 700 "$runtime"
    local env=(XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$run/config" TMPDIR="$run/tmp" QT_QPA_PLATFORM=xcb)
    local args=()
    [ "$window" = hidden ] && args+=(--bootstart)
    if [ "$window" = headless ]; then
        env=(-u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u QT_QPA_PLATFORM
            XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$run/config" TMPDIR="$run/tmp")
        case "$name" in floor*) ;; *) args+=(--headless) ;; esac
    fi
    : >"$frames"
    if [ "$device" = simulated ]; then
        start_devsim "$dir" "$runtime/devsim.sock" "$frames"
        env+=(LD_PRELOAD="$dir/devsim/libhidapi_sim.so" ORVANE_DEVSIM_SOCKET="$runtime/devsim.sock")
    fi
    (cd "$run" && exec env "${env[@]}" "$program" "${args[@]}") 2>/dev/null &
    PROGRAM_PID=$!
    sleep "$warmup"
    if ! kill -0 "$PROGRAM_PID" 2>/dev/null; then
        echo "idle_cost: $name ($device, $window) ended during the warm-up" >&2
        exit 1
    fi
    local server
    server="$(pgrep -P "$PROGRAM_PID" -x VOViredo | head -n 1 || true)"

    local t0 t1 m0 m1 n0 n1 peak speak=0 program_delta server_delta="" libraries by_thread
    m0="$(monotonic_ms)"
    t0="$(date +%s%N)"
    thread_counters "$PROGRAM_PID" >"$run/program0"
    n0="$(thread_count "$PROGRAM_PID")"
    [ -n "$server" ] && thread_counters "$server" >"$run/server0"
    sleep "$seconds"
    t1="$(date +%s%N)"
    m1="$(monotonic_ms)"
    thread_counters "$PROGRAM_PID" >"$run/program1"
    n1="$(thread_count "$PROGRAM_PID")"
    peak="$(peak_rss_kb "$PROGRAM_PID")"
    libraries="$(mapped_libraries "$PROGRAM_PID")"
    program_delta="$(counters_delta "$run/program0" "$run/program1")"
    by_thread="$(threads_delta "$run/program0" "$run/program1")"
    if [ -n "$server" ] && kill -0 "$server" 2>/dev/null; then
        thread_counters "$server" >"$run/server1"
        server_delta="$(counters_delta "$run/server0" "$run/server1")"
        speak="$(peak_rss_kb "$server")"
    fi

    kill -TERM "$PROGRAM_PID"
    wait "$PROGRAM_PID" 2>/dev/null || true
    PROGRAM_PID=
    if [ -n "${DEVSIM_PID:-}" ]; then
        kill -TERM "$DEVSIM_PID" 2>/dev/null || true
        wait "$DEVSIM_PID" 2>/dev/null || true
        DEVSIM_PID=
    fi
    local cpu wakeups voluntary scpu="" swakeups="" libs gui
    read -r cpu wakeups voluntary <<<"$program_delta"
    read -r libs gui <<<"$libraries"
    [ -n "$server_delta" ] && read -r scpu swakeups _ <<<"$server_delta"
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' \
        "$name" "$device" "$window" "$((t1 - t0))" "$cpu" "$wakeups" "$peak" "$n0" "$n1" \
        "$scpu" "$swakeups" "$speak" "$frames" "$m0" "$m1" "$voluntary" "$libs" "$gui" "$by_thread" >>"$results"
    rm -rf "$run" "$runtime"
}

echo "idle_cost: $seconds s per run after $warmup s of warm-up; this takes a while" >&2
echo "$(date '+%Y-%m-%d %H:%M'), $(nproc) x $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)," \
    "$(. /etc/os-release && echo "$PRETTY_NAME"), Qt $(qmake -query QT_VERSION 2>/dev/null || echo '?'), Xvfb and trayer," \
    "$seconds s of steady state after $warmup s"
echo
baseline_headless=""
[ -n "$baseline" ] && "$baseline/orvane" --help | grep -q -- --headless && baseline_headless=yes
for window in $windows; do
    for _ in $(seq "$repeat"); do
        for device in $devices; do
            measure orvane "$(app_of "$build")" "$build" "$device" "$window"
            if [ -n "$baseline" ] && { [ "$window" != headless ] || [ -n "$baseline_headless" ]; }; then
                measure baseline "$(app_of "$baseline")" "$baseline" "$device" "$window"
            fi
        done
    done
    # The floors once: they do nothing, so they vary little.
    if [ "$window" = headless ]; then
        measure floor "$floor" "$build" - "$window"
        measure floor_core "$floor_core" "$build" - "$window"
    else
        measure tick10ms "$tick10ms" "$build" - "$window"
    fi
done

# From the start of orvane --headless to the first value frame at the simulator, 5 starts.
firsts="$work/first-frames"
: >"$firsts"
for n in 1 2 3 4 5; do
    runtime="$runtimes/first$n"
    mkdir -p "$runtime" "$work/first$n/config" && chmod 700 "$runtime"
    frames="$work/first$n.jsonl"
    start_devsim "$build" "$runtime/devsim.sock" "$frames"
    started="$(monotonic_ms)"
    (cd "$work/first$n" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
        XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$work/first$n/config" \
        LD_PRELOAD="$build/devsim/libhidapi_sim.so" ORVANE_DEVSIM_SOCKET="$runtime/devsim.sock" \
        "$(app_of "$build")" --headless) 2>/dev/null &
    PROGRAM_PID=$!
    for _ in $(seq 100); do
        grep -q '"event":"value"' "$frames" && break
        sleep 0.05
    done
    python3 - "$frames" "$started" >>"$firsts" <<'PY'
import json, sys
for line in open(sys.argv[1]):
    if line.startswith("{") and json.loads(line).get("event") == "value":
        print(json.loads(line)["t"] - float(sys.argv[2]))
        break
PY
    kill -TERM "$PROGRAM_PID" 2>/dev/null || true
    wait "$PROGRAM_PID" 2>/dev/null || true
    PROGRAM_PID=
    kill -TERM "$DEVSIM_PID" 2>/dev/null || true
    wait "$DEVSIM_PID" 2>/dev/null || true
    DEVSIM_PID=
done

python3 - "$results" "$build" "$baseline" "$machine" "$firsts" <<'PY'
import json, statistics, sys

results, build, baseline, machine, firsts = sys.argv[1:]
rows = [line.rstrip("\n").split("\t") for line in open(results) if line.strip()]
names = {
    "orvane": f"orvane ({build})",
    "baseline": f"orvane, baseline ({baseline})",
    "tick10ms": "bare Qt program, 10 ms timer",
    "floor": "bare QCoreApplication, the window program's libraries",
    "floor_core": "bare QCoreApplication, QtCore/Network/Xml/DBus, hidapi, udev",
}
print(f"orvane's sensor server reads the recorded machine {machine}.")
print()
devices = {"simulated": "simulated display", "none": "no device", "-": "-"}

def fmt(ns, wall):
    return 100 * int(ns) / int(wall)

def per_second(count, wall):
    return int(count) / (int(wall) / 1e9)

print("| program | display | window | CPU (% of one core) | wake-ups per second | voluntary | peak RSS (MB) | threads "
      "| libraries mapped | of them GUI |")
print("|---|---|---|---|---|---|---|---|---|---|")
for name, device, window, wall, cpu, wakeups, peak, n0, n1, *rest in rows:
    threads = n0 if n0 == n1 else f"{n0} -> {n1}"
    voluntary, libs, gui = rest[6], rest[7], rest[8]
    print(f"| {names[name]} | {devices[device]} | {window} | {fmt(cpu, wall):.3f} | "
          f"{per_second(wakeups, wall):.2f} | {per_second(voluntary, wall):.2f} | {int(peak) / 1024:.1f} | {threads} "
          f"| {libs} | {gui} |")

headless = [r for r in rows if r[2] == "headless" and not r[0].startswith("floor")]
if headless:
    print()
    print("| headless, wake-ups per second by thread (voluntary / all) | display | threads |")
    print("|---|---|---|")
    for r in headless:
        wall = r[3]
        parts = []
        for word in sorted(r[18].split()):
            thread, counts = word.rsplit(":", 1)
            v, a = counts.split("/")
            if int(a):
                parts.append(f"{thread} {per_second(v, wall):.2f} / {per_second(a, wall):.2f}")
        print(f"| {names[r[0]]} | {devices[r[1]]} | {', '.join(parts)} |")

groups = {}
for r in rows:
    groups.setdefault((r[0], r[1], r[2]), []).append(r)
if any(len(g) > 1 for g in groups.values()):
    print()
    print("| median of runs: program | display | window | runs | wake-ups per second | voluntary (range) | peak RSS (MB) |")
    print("|---|---|---|---|---|---|---|")
    for (name, device, window), g in groups.items():
        wake = statistics.median(per_second(r[5], r[3]) for r in g)
        vols = [per_second(r[15], r[3]) for r in g]
        peak = statistics.median(int(r[6]) / 1024 for r in g)
        print(f"| {names[name]} | {devices[device]} | {window} | {len(g)} | {wake:.2f} | "
              f"{statistics.median(vols):.2f} ({min(vols):.2f} to {max(vols):.2f}) | {peak:.1f} |")

servers = [r for r in rows if r[9]]
if servers:
    print()
    print("| sensor server (VOViredo) under | display | window | CPU (% of one core) | wake-ups per second | peak RSS (MB) |")
    print("|---|---|---|---|---|---|")
    for name, device, window, wall, _, _, _, _, _, scpu, swake, speak, *_ in servers:
        print(f"| {names[name]} | {devices[device]} | {window} | {fmt(scpu, wall):.3f} | "
              f"{int(swake) / (int(wall) / 1e9):.2f} | {int(speak) / 1024:.1f} |")

intervals = []
for name, device, window, *rest in rows:
    frames, start, end = rest[9], float(rest[10]), float(rest[11])
    times = []
    for line in open(frames):
        if line.startswith("{"):
            event = json.loads(line)
            if event.get("event") == "value" and start <= event["t"] <= end:
                times.append(event["t"])
    if len(times) >= 3:
        gaps = [b - a for a, b in zip(times, times[1:])]
        intervals.append((name, window, len(times), (times[-1] - times[0]) / len(gaps), min(gaps), max(gaps)))
if intervals:
    print()
    print("| value frames at the simulated display (steady state), from | window | frames | mean interval (ms) | shortest | longest |")
    print("|---|---|---|---|---|---|")
    for name, window, count, mean, low, high in intervals:
        print(f"| {names[name]} | {window} | {count} | {mean:.2f} | {low:.2f} | {high:.2f} |")

starts = [float(line) for line in open(firsts) if line.strip()]
if starts:
    print()
    print(f"orvane --headless, start to the first value frame at the simulated display ({len(starts)} starts): "
          f"median {statistics.median(starts):.0f} ms, {min(starts):.0f} to {max(starts):.0f} ms")
PY
