#!/usr/bin/env bash
# bleepforge-standalone with a full list (10,000 sounds, the most it keeps):
# it opens, one generator press adds one sound and lets only the oldest
# unstarred one go, and a stop request ends it with the list kept.
# Usage: standalone_long_list_e2e.sh APP CLI   (exit 77: a server cannot start here)
app=$1 cli=$2
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_servers.sh"
logs+=(app.log)
need Xvfb xdotool python3
start_x 250 1366x768
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data GSETTINGS_BACKEND=memory
sounds=$XDG_DATA_HOME/bleepforge/sounds.txt
mkdir -p "$XDG_DATA_HOME/bleepforge"
"$cli" generate random --count 40 --seed 1 --state-out "$work/s-%02d.state" -o "$work/s-%02d.wav" \
    >/dev/null 2>&1 || fail "the sounds for the list could not be made"
for state in "$work"/s-*.state; do "$cli" share "$state"; done >"$work/codes.txt"
# The first three starred: they stay however full the list is.
python3 "$(dirname "${BASH_SOURCE[0]}")/sound_list.py" "$work/codes.txt" 10000 "$sounds" 3

started=$(date +%s%N)
"$app" >"$work/app.log" 2>&1 &
app_pid=$!
pids+=($app_pid)
window=""
for _ in $(seq 1200); do
    window=$(xdotool search --onlyvisible --name '^Bleepforge$' 2>/dev/null | head -1) && [[ -n $window ]] && break
    kill -0 "$app_pid" 2>/dev/null || fail "the app ended before its window appeared"
    sleep 0.1
done
[[ -n $window ]] || fail "no window appeared"
shown=$(($(date +%s%N) - started))
sleep 1
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key 1
sleep 3 # made, settled and looked at again by the slots' timer, many times over
asked=$(date +%s%N)
kill -TERM "$app_pid"
for _ in $(seq 300); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$app_pid" 2>/dev/null || fail "asked to stop, the app went on"
wait "$app_pid" || fail "asked to stop, the app did not end cleanly"
ended=$(($(date +%s%N) - asked))

names=$(grep '^bfs1:' "$sounds" | cut -f 5)
[[ $(wc -l <<<"$names") == 10000 ]] || fail "the list kept $(wc -l <<<"$names") sounds, not 10000"
[[ $(tail -1 <<<"$names") == "pickup 1" ]] || fail "the last sound is \"$(tail -1 <<<"$names")\", not the new pickup"
! grep -q '^saved' <<<"$names" || fail "one press added copies: $(grep -c '^saved' <<<"$names") \"saved\" sounds"
[[ $(head -4 <<<"$names" | tr '\n' '|') == "kept 1|kept 2|kept 3|kept 5|" ]] ||
    fail "the press let other sounds go than the oldest unstarred one: $(head -4 <<<"$names" | tr '\n' '|')"
echo "standalone with 10,000 sounds: one press, one new sound, the oldest unstarred one gone, as expected" \
    "(window after $((shown / 1000000)) ms, ended $((ended / 1000000)) ms after SIGTERM)"
