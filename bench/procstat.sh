# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers for benchmarks that watch a running process through /proc. Sourced, not run.

# One line per thread of a process: its id, its CPU time in ns (the scheduler's count), its context switches,
# voluntary and not (each is the thread going to sleep or being put aside, so their rate is the rate of wake-ups), the
# voluntary ones alone (the thread waited for something), and its name.
thread_counters() {
    local task cpu name
    for task in /proc/"$1"/task/*; do
        read -r cpu _ 2>/dev/null <"$task/schedstat" || continue
        name="$(tr -c '[:alnum:]_.:\n-' '_' <"$task/comm" 2>/dev/null)" || continue
        awk -v tid="${task##*/}" -v cpu="$cpu" -v name="$name" '/^voluntary_ctxt_switches:/ { v = $2; s += $2 }
            /^nonvoluntary_ctxt_switches:/ { s += $2 }
            END { printf "%s %.0f %.0f %.0f %s\n", tid, cpu, s, v, name }' "$task/status" 2>/dev/null || true
    done
}

# CPU ns, context switches and voluntary ones of a process between two thread_counters files, summed over its
# threads. A thread that started in between counts from 0; one that ended in between (an idle pool thread expiring)
# is left out, as the kernel keeps no count of it.
counters_delta() {
    awk 'NR == FNR { cpu[$1] = $2; sw[$1] = $3; vol[$1] = $4; next }
        { c += $2 - cpu[$1]; s += $3 - sw[$1]; v += $4 - vol[$1] }
        END { printf "%.0f %.0f %.0f\n", c, s, v }' "$1" "$2"
}

# The voluntary and all context switches of each thread between two thread_counters files, by thread name, as
# "name:voluntary/all" words; threads of the same name are added up.
threads_delta() {
    awk 'NR == FNR { sw[$1] = $3; vol[$1] = $4; next }
        { v[$5] += $4 - vol[$1]; s[$5] += $3 - sw[$1] }
        END { for (n in v) printf "%s:%d/%d ", n, v[n], s[n] }' "$1" "$2"
}

# The shared libraries a process has mapped: their number, then how many of them are GUI libraries (Qt Gui, Qt
# Widgets, GL, X11, xcb).
mapped_libraries() {
    awk '$6 ~ /\.so/ { print $6 }' "/proc/$1/maps" | sort -u |
        awk '{ n++ } /libQt5Gui|libQt5Widgets|libGL|libEGL|libX11|libxcb/ { g++ } END { printf "%d %d\n", n, g }'
}

thread_count() {
    awk '/^Threads:/ { print $2 }' "/proc/$1/status"
}

# Peak resident set of a process in kB.
peak_rss_kb() {
    awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"
}

# Starts Xvfb on a free display and sets DISPLAY; XVFB_PID is its process.
start_xvfb() {
    local fifo
    fifo="$(mktemp -u)"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 "${1:-1280x1024}x24" 3>"$fifo" 2>/dev/null &
    XVFB_PID=$!
    local number
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
}
