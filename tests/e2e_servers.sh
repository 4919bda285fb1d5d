# Sourced by the end-to-end tests: a work folder, and an X server and a JACK
# dummy server of their own, stopped with whatever else the test started.
# After sourcing: work; pids (add what you start); logs (files in work that a
# failure prints); need TOOL...; skip and fail MESSAGE; start_x FIRST-DISPLAY [SIZE];
# start_jack NAME FRAMES (sets jack_pid). Exit 77: a server cannot start here.
set -Eeuo pipefail
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND"' ERR
work=$(mktemp -d)
pids=()
logs=(xvfb.log)
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [[ -n ${BLEEPFORGE_E2E_KEEP:-} ]] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
skip() { echo "SKIP: $*"; exit 77; }
fail() {
    echo "FAIL: $*"
    [[ -n ${DISPLAY:-} ]] && import -window root "$work/failed.png" 2>/dev/null || true
    for log in "${logs[@]}"; do cat "$work/$log" 2>/dev/null || true; done
    exit 1
}
need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
}
# -noreset: an X server that resets when its last client leaves drops a client
# that connects meanwhile, as a program started again does.
start_x() {
    local display=""
    for n in $(seq "$1" $(($1 + 49))); do
        [[ -e /tmp/.X11-unix/X$n ]] || { display=:$n; break; }
    done
    [[ -n $display ]] || skip "no free X display from :$1"
    Xvfb "$display" -screen 0 "${2:-1280x900}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.05; done
    [[ -e /tmp/.X11-unix/X${display#:} ]] || skip "Xvfb cannot start"
    export DISPLAY=$display
}
# A server name of our own, so a JACK server already running is never touched.
# A server that ended without its own clean-up (killed) keeps its place in
# JACK's table of servers, which holds eight; while no server runs at all,
# what the table holds is stale and goes.
start_jack() {
    if ! pgrep -x 'jackd|jackdbus' >/dev/null; then
        rm -f /dev/shm/jack-shm-registry /dev/shm/jack_sem.* /dev/shm/jack-[0-9]* /dev/shm/jack_db-[0-9]* \
            2>/dev/null || true
    fi
    export JACK_DEFAULT_SERVER=$1-$$
    jackd -d dummy -r 48000 -p "$2" >"$work/jack.log" 2>&1 &
    jack_pid=$!
    pids+=($jack_pid)
    jack_wait -w -t 10 >/dev/null 2>&1 || skip "jackd cannot start"
}
