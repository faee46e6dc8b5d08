#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of the dashboard for the docs and reviews, on a private Xvfb display: the program fed by a stand-in
# sensor server with fixed figures, driving the display simulator.
# Usage: tools/screenshots.sh [BUILD_DIR] [OUT_DIR]   (defaults: build, screenshots)
# Writes dashboard-45c-1500rpm-12pct.png, dashboard-full-load.png and dialog-version.png; at scale 2
# (QT_SCALE_FACTOR=2) dashboard-45c-1500rpm-12pct-scale2.png and dialog-version-scale2.png; and, with the real sensor
# server on the recorded AMD X570 machine, selector-temperature-open.png, selector-fan-open.png and selector-load-open.png.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../bench/procstat.sh"
source "$here/../scripts/contract.sh"
build="$(cd "${1:-$here/../build}" && pwd)"
out="$(mkdir -p "${2:-screenshots}" && cd "${2:-screenshots}" && pwd)"
work="$(mktemp -d /tmp/orvane-shots.XXXXXX)"
mkdir -p "$work/runtime" "$work/tmp" "$work/config" && chmod 700 "$work/runtime"
pids=()
cleanup() {
    # Xvfb too before the wait, which waits for every child.
    for pid in "${pids[@]}" ${XVFB_PID:-}; do kill -TERM "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# One reading: temperature, load, fan speed.
echo "45.4 12.6 1500.2" >"$work/figures"
python3 - "$work/runtime/$ORVANE_SENSOR_SERVER_NAME" "$work/figures" "$ORVANE_READ_REQUEST" "$ORVANE_STOP_REQUEST" \
    <<'PY' &
import os, socket, sys
path, figures, read_request, stop_request = sys.argv[1:]
server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
server.bind(path)
server.listen(4)
while True:
    conn, _ = server.accept()
    request = conn.recv(16)
    temp, load, fan = open(figures).read().split()
    if request == read_request.encode():
        conn.sendall(('<?xml version="1.0" encoding="utf-8"?><Computer>'
                      '<Hardware Name="Board" HardwareType="Mainboard"><SubHardware Name="Fans">'
                      f'<Sensor Name="CPU Fan" SensorType="Fan" Value="{fan}"/></SubHardware></Hardware>'
                      '<Hardware Name="Intel Core i7-9700K" HardwareType="Cpu">'
                      f'<Sensor Name="CPU Package" SensorType="Temperature" Value="{temp}"/>'
                      f'<Sensor Name="CPU Total" SensorType="Load" Value="{load}"/></Hardware></Computer>').encode())
    elif request == stop_request.encode():
        conn.sendall(b"bye")
    conn.close()
PY
pids+=("$!")

# Room for the window at scale 2.
start_xvfb 1800x1200
"$build/devsim/orvane-devsim" --socket "$work/runtime/devsim.sock" </dev/null >/dev/null 2>&1 &
pids+=("$!")
sleep 1
cd "$work"
start_orvane() {
    XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" QT_QPA_PLATFORM=xcb \
        LD_PRELOAD="$build/devsim/libhidapi_sim.so" ORVANE_DEVSIM_SOCKET="$work/runtime/devsim.sock" \
        "$@" 2>/dev/null &
    pids+=("$!")
    window="$(xdotool search --sync --onlyvisible --name '^Orvane v1\.0\.0\.1$' | head -n 1)"
}
shot() { import -window root -crop "${2:-860x525}+0+0" +repage "$out/$1"; }

QT_SCALE_FACTOR=2 start_orvane "$build/orvane"
sleep 5
shot dashboard-45c-1500rpm-12pct-scale2.png 1720x1050
xdotool mousemove --window "$window" 1518 48 click 1
sleep 1
xdotool key Down Return
sleep 1
shot dialog-version-scale2.png 1720x1050
xdotool key Escape
kill -TERM "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
unset 'pids[-1]'

start_orvane "$build/orvane"
sleep 5
shot dashboard-45c-1500rpm-12pct.png
echo "99 100 2400" >"$work/figures"
sleep 3
shot dashboard-full-load.png

# Settings gear, then "Device Version".
xdotool mousemove --window "$window" 759 24 click 1
sleep 1
xdotool key Down Return
sleep 1
shot dialog-version.png
xdotool key Escape

# The selectors open, with every sensor of a recorded machine: the program in a folder of its own, with a server
# beside it that reads the machine.
# The stand-in server and the program go; the real server takes the socket's name.
kill -TERM "${pids[-1]}" "${pids[0]}"
wait "${pids[-1]}" "${pids[0]}" 2>/dev/null || true
rm -f "$work/runtime/$ORVANE_SENSOR_SERVER_NAME"
machine="$here/../tests/fixtures/sysfs/amd-x570-k10temp"
mkdir -p "$work/app/voviredo"
cp "$build/orvane" "$work/app/orvane"
printf '#!/bin/sh\nexec "%s" --sysfs-root "%s" --proc-root "%s" --fan-names /dev/null "$@"\n' \
    "$build/voviredo/VOViredo" "$machine/sys" "$machine/proc" >"$work/app/voviredo/VOViredo"
chmod +x "$work/app/voviredo/VOViredo"
start_orvane "$work/app/orvane"
sleep 5
wide() { import -window root -crop 1000x620+0+0 +repage "$out/$1"; }
xdotool mousemove --window "$window" 680 289 click 1
sleep 1
wide selector-temperature-open.png
xdotool key Escape
xdotool mousemove --window "$window" 680 342 click 1
sleep 1
wide selector-fan-open.png
xdotool key Escape
xdotool mousemove --window "$window" 680 395 click 1
sleep 1
wide selector-load-open.png
xdotool key Escape
echo "screenshots in $out"
