#!/usr/bin/env bash
# bleepforge-standalone from the outside: on an X server and a JACK dummy
# server of its own, driven with xdotool, its sound recorded with jack_capture.
# Usage: standalone_e2e.sh APP CLI   (exit 77: a server cannot start here)
set -euo pipefail
app=$1 cli=$2
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [[ -n ${BLEEPFORGE_E2E_KEEP:-} ]] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; cat "$work/app.log" 2>/dev/null || true; exit 1; }
for tool in Xvfb xdotool jackd jack_wait jack_capture import compare sox; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done

for n in $(seq 150 199); do
    [[ -e /tmp/.X11-unix/X$n ]] || { display=:$n; break; }
done
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.05; done
[[ -e /tmp/.X11-unix/X${display#:} ]] || skip "Xvfb cannot start"
export DISPLAY=$display

# A server name of our own, so a JACK server already running is never touched.
export JACK_DEFAULT_SERVER=bleepforge-e2e-$$
jackd -d dummy -r 48000 -p 256 >"$work/jack.log" 2>&1 &
pids+=($!)
jack_wait -w -t 10 >/dev/null 2>&1 || skip "jackd cannot start"

export XDG_CONFIG_HOME=$work/config
start_app() {
    "$app" >"$work/app.log" 2>&1 &
    app_pid=$!
    pids+=($app_pid)
    local window=""
    for _ in $(seq 100); do
        window=$(xdotool search --name '^Bleepforge$' 2>/dev/null | head -1) && [[ -n $window ]] && break
        sleep 0.1
    done
    [[ -n $window ]] || fail "no window appeared"
    sleep 1
}
start_app

# Where the editor sits on the screen: its top-left corner found in a screenshot.
"$cli" snapshot -o "$work/default.png" >/dev/null
import -window root "$work/screen.png"
convert "$work/screen.png" -crop 200x200+0+0 +repage "$work/corner.png"
convert "$work/default.png" -crop 150x120+0+0 +repage "$work/patch.png"
found=$(compare -metric AE -subimage-search "$work/corner.png" "$work/patch.png" null: 2>&1 || true)
[[ $found == "0 @ "* ]] || fail "the editor is not on screen as the snapshot draws it ($found)"
offset=${found#0 @ }
ox=${offset%,*} oy=${offset#*,}
click() { xdotool mousemove --sync $((ox + $1)) $((oy + $2)) click 1; }

# Value fields: a double takes "0.5"; an integer refuses the "." of "3.9".
click 67 462
sleep 0.3
xdotool type --delay 50 "0.5"
xdotool key Return
click 283 90
sleep 0.3
xdotool type --delay 50 "3.9"
xdotool key Return
xdotool mousemove --sync 1270 890 # off the window: no tooltip
sleep 1
"$cli" snapshot --set "Amp Env Attack=0.5" --set "Osc1 Octave=6" -o "$work/expected.png" >/dev/null
import -window root "$work/screen.png"
size=$(identify -format '%wx%h' "$work/expected.png")
convert "$work/screen.png" -crop "$size+$ox+$oy" +repage "$work/editor.png"
differing=$(compare -metric AE "$work/editor.png" "$work/expected.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "the window differs from the snapshot in $differing pixels"

# A Pickup sound, played on the on-screen keyboard, comes out of JACK.
click 315 578
jack_capture --daemon -d 3 --port 'Bleepforge:*' "$work/take.wav" &
capture=$!
sleep 1
xdotool mousemove --sync $((ox + 395)) $((oy + 739)) mousedown 1
sleep 0.6
xdotool mouseup 1
wait "$capture" || fail "jack_capture failed"
peak=$(sox "$work/take.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
awk -v p="$peak" 'BEGIN { exit !(p > 0.01) }' || fail "the recording is silent (peak $peak)"

# A note from a MIDI sequencer on the app's own JACK MIDI port sounds too.
midi_in=$(jack_lsp | grep -m1 ':MIDI in$') || fail "the app has no JACK MIDI input"
jack_capture --daemon -d 2 --port 'Bleepforge:*' "$work/midi.wav" &
capture=$!
jack_midiseq bleepforge-seq 24000 0 60 12000 >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do jack_connect bleepforge-seq:out "$midi_in" 2>/dev/null && break; sleep 0.1; done
wait "$capture" || fail "jack_capture failed"
midi_peak=$(sox "$work/midi.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
awk -v p="$midi_peak" 'BEGIN { exit !(p > 0.01) }' || fail "MIDI notes are silent (peak $midi_peak)"
kill "${pids[-1]}"

# The meters and the keyboard are masked: a note the killed sequencer left on
# keeps a key lit, and that is not part of the sound.
editor_shot() {
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop "$size+$ox+$oy" +repage -fill black \
        -draw "rectangle 755,95 825,245" -draw "rectangle 130,700 720,768" "$1"
}
close_app() {
    click 823 -25 # the title bar's close button
    for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    wait "$app_pid" || fail "the app did not end cleanly"
}

# Closing the window keeps the sound; the next start shows it again.
sleep 1.5 # the meters fall back to silence
editor_shot "$work/before-close.png"
close_app
[[ -s $XDG_CONFIG_HOME/bleepforge/last-sound.aupreset ]] || fail "the sound was not kept on exit"
start_app
sleep 0.5
editor_shot "$work/after-start.png"
differing=$(compare -metric AE "$work/after-start.png" "$work/before-close.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "the restored sound differs from the kept one in $differing pixels"
close_app

# A kept sound that cannot be read is moved aside, never overwritten.
kept=$XDG_CONFIG_HOME/bleepforge/last-sound.aupreset
echo damaged >"$kept"
start_app
close_app
[[ $(cat "$kept.unreadable") == damaged ]] || fail "the unreadable sound was not kept aside"
[[ -s $kept ]] || fail "no sound was kept after an unreadable one"
echo "standalone end to end: window, value fields, keyboard and MIDI sound, autosave and restore all as expected (peaks $peak, $midi_peak)"
