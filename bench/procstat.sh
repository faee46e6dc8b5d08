# Helpers for benchmarks that watch a running process through /proc. Sourced, not run.

# CPU time (user + system) of a process's main thread in nanoseconds, from the scheduler's own count.
cpu_ns() {
    awk '{ print $1 }' "/proc/$1/schedstat"
}

# CPU time of every thread of a process in nanoseconds: the sum of each thread's schedstat. A thread that ended is
# not in it any more; thread_count tells whether the set changed.
cpu_ns_all() {
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'
}

# Context switches of every thread of a process, voluntary and not: each one is the thread going to sleep or being
# put aside, so their rate is the rate of wake-ups.
ctx_switches_all() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ { s += $2 } END { printf "%.0f\n", s }'
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
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$fifo" 2>/dev/null &
    XVFB_PID=$!
    local number
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
}
