#!/usr/bin/env bash
# The LV2 plug-in in jalv.gtk3, a host we did not write: on an X server and a
# JACK dummy server of its own, its editor inside jalv's window, driven with
# xdotool, its sound recorded with jack_capture, its state saved and reloaded
# through jalv's own menu; a state-only preset played as bleepforge renders it.
# Usage: lv2_jalv_e2e.sh LV2-FOLDER CLI   (exit 77: a server cannot start here)
lv2=$(cd "$1" && pwd) cli=$2
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_servers.sh"
logs+=(jalv.log)
need Xvfb xdotool xwininfo jackd jack_wait jack_capture jack_midiseq jack_connect jalv.gtk3 import compare sox
start_x 200
start_jack bleepforge-lv2-e2e 256
export LV2_PATH=$lv2 XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data GSETTINGS_BACKEND=memory

# Starts jalv.gtk3 with the given options; sets editor to the plug-in's own
# X11 window, the one of the editor's size inside jalv's.
start_jalv() {
    jalv.gtk3 --jack-name Bleepforge "$@" urn:vantrell:bleepforge >"$work/jalv.log" 2>&1 &
    jalv_pid=$!
    pids+=($jalv_pid)
    editor=""
    for _ in $(seq 150); do
        editor=$(xwininfo -root -tree 2>/dev/null | awk '/\(has no name\): \(\)  846x768/{print $1; exit}')
        [[ -n $editor ]] && break
        kill -0 "$jalv_pid" 2>/dev/null || fail "jalv ended before the editor appeared"
        sleep 0.1
    done
    [[ -n $editor ]] || fail "no editor appeared inside jalv"
    # jalv names its window a moment after the editor shows inside it.
    main=""
    for _ in $(seq 100); do
        main=$(xdotool search --name '^Bleepforge$' 2>/dev/null | head -1) && [[ -n $main ]] && break
        sleep 0.1
    done
    [[ -n $main ]] || fail "jalv's window has no title 'Bleepforge'"
    sleep 1.5
}
stop_jalv() {
    kill "$jalv_pid"
    wait "$jalv_pid" 2>/dev/null || true
}
# Through jalv's File > Save, into a new folder.
save_state() {
    xdotool mousemove --window "$main" 19 12 click 1
    sleep 0.7
    xdotool mousemove --window "$main" 45 38 click 1
    local dialog=""
    for _ in $(seq 50); do
        dialog=$(xdotool search --name '^Save State$' 2>/dev/null | head -1) && [[ -n $dialog ]] && break
        sleep 0.1
    done
    [[ -n $dialog ]] || fail "jalv's Save State dialog did not open"
    xdotool windowfocus --sync "$dialog" 2>/dev/null || true
    xdotool type --delay 10 "$1"
    sleep 0.3
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    xdotool mousemove --window "$dialog" $((WIDTH - 48)) $((HEIGHT - 24)) click 1
    for _ in $(seq 50); do [[ -s $1/state.ttl && -s $1/manifest.ttl ]] && break; sleep 0.1; done
    [[ -s $1/state.ttl ]] || fail "jalv saved no state into $1"
    sleep 0.5 # written whole
}
# The plug-in's own part of a saved state: the ports and its property.
sound_of() { sed -n '/lv2:port/,$p' "$1/state.ttl"; }
play_and_record() {
    rm -f "$1"
    jack_capture -d 2 -p Bleepforge:out_left -p Bleepforge:out_right "$1" >/dev/null 2>&1 &
    local capture=$!
    sleep 0.4
    jack_midiseq seq 48000 0 60 12000 >/dev/null 2>&1 &
    local seq=$!
    for _ in $(seq 50); do jack_connect seq:out Bleepforge:midi_in 2>/dev/null && break; sleep 0.1; done
    wait "$capture" || true
    kill "$seq" 2>/dev/null || true
    peak=$(sox "$1" -n stat 2>&1 | awk '/Maximum amplitude/{print $3}')
}

start_jalv
# The editor in jalv is the editor bleepforge snapshot draws.
"$cli" snapshot -o "$work/default.png" >/dev/null
import -window "$editor" "$work/shown.png"
differing=$(compare -metric AE "$work/shown.png" "$work/default.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "the editor in jalv differs from the snapshot in $differing pixels"

# A pointer resting on a knob shows its tooltip, drawn by the editor; moving on hides it.
xdotool mousemove --window "$editor" 560 340
sleep 0.1
xdotool mousemove --window "$editor" 562 342
sleep 1.2
import -window "$editor" "$work/tooltip.png"
differing=$(compare -metric AE "$work/tooltip.png" "$work/default.png" null: 2>&1 || true)
[[ $differing -gt 500 ]] || fail "no tooltip appeared ($differing pixels differ)"
xdotool mousemove --window "$editor" 100 740
sleep 0.5
import -window "$editor" "$work/untooltip.png"
differing=$(compare -metric AE "$work/untooltip.png" "$work/default.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "the tooltip stayed ($differing pixels differ)"

# PICKUP makes a sound in the editor, which reaches jalv's controls.
save_state "$work/before"
xdotool mousemove --window "$editor" 313 578 click 1
xdotool mousemove --window "$editor" 100 740 # off every control: no tooltip in the picture
sleep 1
import -window "$editor" "$work/pickup.png"
save_state "$work/after"
[[ "$(sound_of "$work/before")" != "$(sound_of "$work/after")" ]] || fail "PICKUP changed no control jalv keeps"
attack=$(awk '/"amp_env_attack"/{getline; print $2}' "$work/after/state.ttl")
[[ $attack != 0.01 && -n $attack ]] || fail "the attack jalv holds is still the default ($attack)"

# A MIDI note from a JACK sequencer into jalv's MIDI port plays it.
play_and_record "$work/played.wav"
awk -v p="$peak" 'BEGIN{exit !(p > 0.01)}' || fail "the note played silence (peak $peak)"

# A key held on the editor's keyboard reaches the DSP as MIDI through jalv.
jack_capture -d 2 -p Bleepforge:out_left -p Bleepforge:out_right "$work/key.wav" >/dev/null 2>&1 &
capture=$!
sleep 0.4
xdotool mousemove --window "$editor" 300 740 mousedown 1
sleep 0.8
xdotool mouseup 1
xdotool mousemove --window "$editor" 100 740
wait "$capture" || true
peak=$(sox "$work/key.wav" -n stat 2>&1 | awk '/Maximum amplitude/{print $3}')
awk -v p="$peak" 'BEGIN{exit !(p > 0.01)}' || fail "the editor's key played silence (peak $peak)"
stop_jalv

# jalv's own reload brings the same sound back: the same editor, the same state.
start_jalv -l "$work/after"
xdotool mousemove --window "$editor" 100 740
sleep 0.3
import -window "$editor" "$work/reloaded.png"
# The button clicked last keeps its pressed look, as in every host.
unbutton() { convert "$1" -fill black -draw "rectangle 258,552 370,608" "$2"; }
unbutton "$work/reloaded.png" "$work/reloaded-masked.png"
unbutton "$work/pickup.png" "$work/pickup-masked.png"
differing=$(compare -metric AE "$work/reloaded-masked.png" "$work/pickup-masked.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "the reloaded editor differs from the saved one in $differing pixels"
save_state "$work/again"
[[ "$(sound_of "$work/again")" == "$(sound_of "$work/after")" ]] || fail "the reloaded state is not the saved one"
play_and_record "$work/replayed.wav"
awk -v p="$peak" 'BEGIN{exit !(p > 0.01)}' || fail "the reloaded sound played silence (peak $peak)"

# The editor's own value field and menu, drawn in its bitmap, and the wheel:
# a typed attack, a waveform picked from the menu and turned cents reach
# jalv's controls.
value_of() { awk -v s="\"$2\"" '$2 == s {getline; print $2}' "$1/state.ttl"; }
xdotool mousemove --window "$editor" 67 462 click 1
sleep 0.5
xdotool type --delay 30 "0.5"
xdotool key Return
sleep 0.5
xdotool mousemove --window "$editor" 68 90 click 1
sleep 0.7
xdotool mousemove --window "$editor" 60 175 click 1 # Square
sleep 0.7
xdotool mousemove --window "$editor" 427 50 click 4 click 4 click 4 # Osc1 Cents, three notches up
sleep 0.7
save_state "$work/edited"
[[ $(value_of "$work/edited" amp_env_attack) =~ ^0\.50*$ ]] ||
    fail "the typed attack is not jalv's ($(value_of "$work/edited" amp_env_attack))"
[[ $(value_of "$work/edited" osc1_type) =~ ^3(\.0*)?$ ]] ||
    fail "the waveform picked from the menu is not jalv's ($(value_of "$work/edited" osc1_type))"
[[ $(value_of "$work/edited" osc1_cents) =~ ^6(\.0*)?$ ]] ||
    fail "the wheel's cents are not jalv's ($(value_of "$work/edited" osc1_cents))"
stop_jalv

# A state with no port values, as another host or a user writes a preset:
# jalv plays its own sound, the one bleepforge render makes of it, not the
# defaults jalv's ports still hold.
"$cli" generate jump --seed 5 --state-out "$work/jump.state" -o "$work/jump.wav" >/dev/null
mkdir -p "$work/state-only"
{
    printf '@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n'
    printf '@prefix state: <http://lv2plug.in/ns/ext/state#> .\n@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n'
    printf '<>\n    a pset:Preset ;\n    lv2:appliesTo <urn:vantrell:bleepforge> ;\n'
    printf '    state:state [ <urn:vantrell:bleepforge#state> "%s"^^xsd:base64Binary ] .\n' \
        "$(base64 -w0 "$work/jump.state")"
} >"$work/state-only/state.ttl"
start_jalv -l "$work/state-only"
play_and_record "$work/state-only.wav"
stop_jalv
# The first 0.2 s from the note on, mono. jack_midiseq plays velocity 64; the
# render's note comes after a second of silence, as jalv's does, so that the
# output gain has settled in both.
sound_from_note() { od -An -v -tf4 -w4 | awk 'n < 9600 && ($1 != 0 || n) {print $1; n++}'; }
sox "$work/state-only.wav" -t f32 - remix 1 2>/dev/null | sound_from_note >"$work/played.txt"
"$cli" render --state "$work/jump.state" --rate 48000 --note 60:64:1:0.25 --channels 1 --format float -o - |
    sound_from_note >"$work/rendered.txt"
difference=$(paste "$work/played.txt" "$work/rendered.txt" |
    awk '{d = $1 - $2; if (d < 0) d = -d; if (d > m) m = d} END{print NR == 9600 ? m : 1}')
awk -v d="$difference" 'BEGIN{exit !(d < 1e-5)}' ||
    fail "the state-only preset played another sound than its own (differing by up to $difference)"
echo "lv2 jalv end to end: passed"
