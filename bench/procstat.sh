# Helpers for benchmarks that watch a running process through /proc. Sourced, not run.

# CPU time (user + system) of a process in nanoseconds, from the scheduler's own count.
cpu_ns() {
    awk '{ print $1 }' "/proc/$1/schedstat"
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
