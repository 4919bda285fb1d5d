#!/usr/bin/env bash
# How long bleepforge-standalone takes with a long list of sounds: from start
# to its window on screen, and from SIGTERM to its end (the list kept), each
# run RUNS times on an X server of its own. Prints milliseconds, the median
# last. Compare two builds by running it on each, one after the other.
# Usage: standalone_start.sh APP CLI [SOUNDS [RUNS [APP-OPTION...]]]
#        (SOUNDS 10000 and RUNS 3 by default; exit 77: no X server here)
app=$1 cli=$2 count=${3:-10000} runs=${4:-3}
shift $(($# < 4 ? $# : 4))
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../tests/e2e_servers.sh"
logs+=(app.log)
need Xvfb xdotool python3
start_x 300 1366x768
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data GSETTINGS_BACKEND=memory
mkdir -p "$XDG_DATA_HOME/bleepforge"
"$cli" generate random --count 40 --seed 1 --state-out "$work/s-%02d.state" -o "$work/s-%02d.wav" \
    >/dev/null 2>&1 || fail "the sounds for the list could not be made"
for state in "$work"/s-*.state; do "$cli" share "$state"; done >"$work/codes.txt"
python3 "$here/../tests/apps/sound_list.py" "$work/codes.txt" "$count" "$work/sounds.txt"

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
shows=() ends=()
for run in $(seq "$runs"); do
    cp "$work/sounds.txt" "$XDG_DATA_HOME/bleepforge/sounds.txt"
    started=$(now)
    "$app" "$@" >"$work/app.log" 2>&1 &
    app_pid=$!
    pids+=($app_pid)
    until xdotool search --onlyvisible --name '^Bleepforge$' >/dev/null 2>&1; do
        kill -0 "$app_pid" 2>/dev/null || fail "the app ended before its window appeared"
        sleep 0.02
    done
    shows+=($((($(now) - started) / 1000000)))
    sleep 2 # settled: the list drawn, the first render done
    asked=$(now)
    kill -TERM "$app_pid"
    wait "$app_pid" || fail "the app did not end cleanly"
    ends+=($((($(now) - asked) / 1000000)))
    [[ $(grep -c '^bfs1:' "$XDG_DATA_HOME/bleepforge/sounds.txt") == "$count" ]] ||
        fail "the list was not kept whole"
    echo "run $run: window after ${shows[-1]} ms, ended ${ends[-1]} ms after SIGTERM"
done
echo "$count sounds, median of $runs: window after $(printf '%s\n' "${shows[@]}" | median) ms," \
    "ended $(printf '%s\n' "${ends[@]}" | median) ms after SIGTERM"
