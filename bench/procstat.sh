# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers for benchmarks that watch a running process through /proc. Sourced, not run.

# One line per thread of a process: its id, its CPU time in ns (the scheduler's count) and its context switches,
# voluntary and not (each is the thread going to sleep or being put aside, so their rate is the rate of wake-ups).
thread_counters() {
    local task cpu
    for task in /proc/"$1"/task/*; do
        read -r cpu _ 2>/dev/null <"$task/schedstat" || continue
        awk -v tid="${task##*/}" -v cpu="$cpu" '/^(voluntary|nonvoluntary)_ctxt_switches:/ { s += $2 }
            END { printf "%s %.0f %.0f\n", tid, cpu, s }' "$task/status" 2>/dev/null || true
    done
}

# CPU ns and context switches of a process between two thread_counters files, summed over its threads. A thread
# that started in between counts from 0; one that ended in between (an idle pool thread expiring) is left out,
# as the kernel keeps no count of it.
counters_delta() {
    awk 'NR == FNR { cpu[$1] = $2; sw[$1] = $3; next } { c += $2 - cpu[$1]; s += $3 - sw[$1] }
        END { printf "%.0f %.0f\n", c, s }' "$1" "$2"
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
