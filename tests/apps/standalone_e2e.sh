#!/usr/bin/env bash
# bleepforge-standalone from the outside: on an X server and a JACK dummy
# server of its own, driven with xdotool, its sound recorded with jack_capture.
# Usage: standalone_e2e.sh APP CLI   (exit 77: a server cannot start here)
app=$1 cli=$2
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_servers.sh"
logs+=(app.log)
need Xvfb xdotool jackd jack_wait jack_capture import compare sox soxi
start_x 150
# Blocks of 512 frames: more than the app asks for, which it follows.
start_jack bleepforge-e2e 512

# The dialogs' recent files and settings stay in the work folder.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data GSETTINGS_BACKEND=memory
# Export choices as a user left them last time: mono, 24-bit, normalised.
mkdir -p "$XDG_CONFIG_HOME/bleepforge"
printf '[bleepforge]\nexport-channels=1\nexport-format=pcm24\nexport-normalise=true\n' \
    >"$XDG_CONFIG_HOME/bleepforge/settings.ini"
start_app() {
    "$app" >"$work/app.log" 2>&1 &
    app_pid=$!
    pids+=($app_pid)
    local window=""
    for _ in $(seq 100); do
        window=$(xdotool search --name '^Bleepforge$' 2>/dev/null | head -1) && [[ -n $window ]] && break
        kill -0 "$app_pid" 2>/dev/null || fail "the app ended before its window appeared"
        sleep 0.1
    done
    [[ -n $window ]] || fail "no window appeared"
    app_window=$window
    sleep 1
}
# Keys go to the focused window; a server without a window manager gives
# focus to nobody until asked.
keys() {
    xdotool windowfocus --sync "$app_window" 2>/dev/null || true
    xdotool key "$@"
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
# The header bar above the editor is dark, as the editor is.
header=$(convert "$work/screen.png" -crop "300x$((oy - 10))+$((ox + 450))+5" -colorspace gray -format '%[fx:mean]' info:)
awk -v m="$header" 'BEGIN { exit !(m < 0.3) }' || fail "the header bar is light beside the dark editor (mean $header)"
# The strip stands at the top of the panel beside the editor, as wide as it.
strip_area() {
    eval "$(xdotool getwindowgeometry --shell "$app_window")"
    echo "$((X + WIDTH - 10 - (ox + 850)))x68+$((ox + 850))+$((oy + 2))"
}
# --sync waits for the pointer to move, which it never does when it is there
# already (closing the app twice in a row clicks the same spot).
pointer_to() {
    local at
    at=$(xdotool getmouselocation --shell)
    [[ $at == "X=$1"$'\n'"Y=$2"$'\n'* ]] || xdotool mousemove --sync "$1" "$2"
}
click() {
    pointer_to $((ox + $1)) $((oy + $2))
    xdotool click 1
}

# Value fields: a double takes "0.5"; an integer refuses the "." of "3.9".
click 67 462
sleep 0.3
xdotool type --delay 50 "0.5"
xdotool key Return
click 283 90
sleep 0.3
xdotool type --delay 50 "3.9"
xdotool key Return
# Text that is not a number keeps the value: Return leaves the field open,
# and leaving it changes nothing.
click 67 462
sleep 0.3
xdotool key ctrl+a
xdotool type --delay 50 "1.2.3"
xdotool key Return
sleep 0.3
click 300 385
xdotool mousemove --sync 1270 890 # off the window: no tooltip
sleep 1
# Each typed value plays the sound, so the meters are masked: they show sound,
# not settings.
"$cli" snapshot --set "Amp Env Attack=0.5" --set "Osc1 Octave=6" -o "$work/expected.png" >/dev/null
import -window root "$work/screen.png"
size=$(identify -format '%wx%h' "$work/expected.png")
meters=(-fill black -draw "rectangle 755,95 825,245")
convert "$work/screen.png" -crop "$size+$ox+$oy" +repage "${meters[@]}" "$work/editor.png"
convert "$work/expected.png" "${meters[@]}" "$work/expected-masked.png"
differing=$(compare -metric AE "$work/editor.png" "$work/expected-masked.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "the window differs from the snapshot in $differing pixels"

# Pickup is heard at once, with no key pressed: the app auditions every change.
record() { # FILE SECONDS, in the background; sets capture
    jack_capture --daemon -d "$2" --port 'Bleepforge:*' "$1" &
    capture=$!
    capture_started
}
# A loaded machine starts jack_capture late: what is played before it takes
# the app's output is not in the recording.
capture_started() {
    for _ in $(seq 100); do
        jack_lsp -c 'Bleepforge:outport 0' 2>/dev/null | grep -q '^ *jack_capture' && break
        sleep 0.1
    done
    sleep 0.3
}
peak_of() { sox "$1" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}'; }
audible() { awk -v p="$1" 'BEGIN { exit !(p > 0.01) }'; }
record "$work/audition.wav" 3
click 315 578
wait "$capture" || fail "jack_capture failed"
audition_peak=$(peak_of "$work/audition.wav")
audible "$audition_peak" || fail "a generator click plays nothing (peak $audition_peak)"

# Undo brings back the sound before Pickup, pixels and all; redo returns to it.
xdotool mousemove --sync 1270 890
keys ctrl+z
sleep 1
import -window root "$work/screen.png"
# The generator buttons too: the one clicked keeps its hover frame.
buttons=(-draw "rectangle 150,555 695,655")
convert "$work/screen.png" -crop "$size+$ox+$oy" +repage "${meters[@]}" "${buttons[@]}" "$work/undone.png"
convert "$work/expected.png" "${meters[@]}" "${buttons[@]}" "$work/expected-unbuttoned.png"
differing=$(compare -metric AE "$work/undone.png" "$work/expected-unbuttoned.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "after undo the window differs from the earlier sound in $differing pixels"
keys ctrl+shift+z
sleep 0.5

# The editor once two looks half a second apart agree (meters and buttons
# masked), so that a window slow to redraw under load is not taken for a
# wrong one; after ten looks the last is taken as it is.
settled_editor() { # FILE
    local previous="$work/settling.png"
    rm -f "$previous"
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        sleep 0.5
        import -window root "$work/screen.png"
        convert "$work/screen.png" -crop "$size+$ox+$oy" +repage "${meters[@]}" "${buttons[@]}" "$1"
        if [[ -f $previous ]] &&
            [[ $(compare -metric AE "$1" "$previous" null: 2>&1 || true) == 0 ]]; then
            return
        fi
        cp "$1" "$previous"
    done
}

# A knob dragged slowly, pausing between moves, is one step: one undo brings
# back the sound before the drag.
xdotool mousemove --sync 1270 890
settled_editor "$work/before-drag.png"
xdotool mousemove --sync $((ox + 772)) $((oy + 50)) mousedown 1
for _ in 1 2 3 4; do
    xdotool mousemove_relative --sync 0 10
    sleep 0.2
done
xdotool mouseup 1
sleep 0.5
xdotool mousemove --sync 1270 890
settled_editor "$work/dragged.png"
differing=$(compare -metric AE "$work/dragged.png" "$work/before-drag.png" null: 2>&1 || true)
[[ $differing != 0 ]] || fail "dragging the output gain knob changed nothing on screen"
keys ctrl+z
settled_editor "$work/drag-undone.png"
differing=$(compare -metric AE "$work/drag-undone.png" "$work/before-drag.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "one undo after a drag differs from the sound before it in $differing pixels"
keys ctrl+shift+z
sleep 0.5

# The sound plays on the on-screen keyboard and on the computer's keys.
record "$work/take.wav" 3
xdotool mousemove --sync $((ox + 395)) $((oy + 739)) mousedown 1
sleep 0.6
xdotool mouseup 1
wait "$capture" || fail "jack_capture failed"
peak=$(peak_of "$work/take.wav")
audible "$peak" || fail "the recording is silent (peak $peak)"
record "$work/typed.wav" 3
xdotool windowfocus --sync "$app_window" 2>/dev/null || true
keyboard_shot() {
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop "560x60+$((ox + 135))+$((oy + 705))" +repage "$1"
}
xdotool keydown a
sleep 0.6
keyboard_shot "$work/key-held.png"
xdotool keyup a
sleep 0.5
keyboard_shot "$work/key-released.png"
differing=$(compare -metric AE "$work/key-held.png" "$work/key-released.png" null: 2>&1 || true)
[[ $differing != 0 ]] || fail "a note typed on the computer keyboard does not show on the on-screen keys"
wait "$capture" || fail "jack_capture failed"
typed_peak=$(peak_of "$work/typed.wav")
audible "$typed_peak" || fail "musical typing plays nothing (peak $typed_peak)"

# The app is one JACK client, its audio outputs and its MIDI input together.
app_clients=$(jack_lsp | sed -n 's/^\(Bleepforge[^:]*\):.*/\1/p' | sort -u)
[[ $app_clients == Bleepforge ]] || fail "the app shows as the JACK clients: $(echo $app_clients)"
for port in 'outport 0' 'outport 1' 'MIDI in'; do
    jack_lsp | grep -qx "Bleepforge:$port" || fail "the app's client has no port \"$port\": $(jack_lsp)"
done
jack_lsp -t 'Bleepforge:MIDI in' | grep -q 'midi$' || fail "the app's MIDI input takes no MIDI"

# A note from a MIDI sequencer on the app's own JACK MIDI port sounds too.
midi_in='Bleepforge:MIDI in'
jack_capture --daemon -d 2 --port 'Bleepforge:*' "$work/midi.wav" &
capture=$!
jack_midiseq bleepforge-seq 24000 0 60 12000 >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do jack_connect bleepforge-seq:out "$midi_in" 2>/dev/null && break; sleep 0.1; done
devices=$("$app" --list-devices)
grep -q $'^  [0-9]*\tbleepforge-seq:out$' <<<"$devices" || fail "--list-devices does not list JACK's MIDI ports: $devices"
wait "$capture" || fail "jack_capture failed"
midi_peak=$(sox "$work/midi.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
awk -v p="$midi_peak" 'BEGIN { exit !(p > 0.01) }' || fail "MIDI notes are silent (peak $midi_peak)"
kill "${pids[-1]}"

# The meters, the generator buttons and the keyboard are masked: they are not
# part of the sound. A note the killed sequencer left on keeps a key lit, and a
# button keeps its hover frame until the pointer passes over it again.
editor_shot() {
    pointer_to $((ox + 300)) $((oy + 385)) # a bare spot: no tooltip
    sleep 0.3
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop "$size+$ox+$oy" +repage -fill black \
        -draw "rectangle 755,95 825,245" -draw "rectangle 150,555 695,655" -draw "rectangle 130,700 720,768" "$1"
}
# The sound's pixels without the slot box: the number of the sound in the list.
unslotted() { convert "$1" -fill black -draw "rectangle 548,240 603,270" "$2"; }
close_app() {
    keys ctrl+q
    for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
    wait "$app_pid" || fail "the app did not end cleanly"
}

# The header bar's buttons (above the editor) and their file dialogs.
choose_file() { # SHORTCUT TITLE PATH
    keys "$1"
    local dialog=""
    for _ in $(seq 50); do
        dialog=$(xdotool search --onlyvisible --name "^$2\$" 2>/dev/null | head -1) && [[ -n $dialog ]] && break
        sleep 0.1
    done
    [[ -n $dialog ]] || fail "no \"$2\" dialog"
    # Keys can be lost while the dialog fills its list, so a try that leaves
    # it open types the path again. Returns go to the dialog itself, so one
    # sent as it closes never reaches the main window; the first Return may
    # only close the path completion. A dialog on its way out is never typed
    # into again: the keys would reach the main window.
    for _ in 1 2 3; do
        dialog_gone "$2" && return 0
        xdotool windowfocus --sync "$dialog" 2>/dev/null || true
        sleep 0.5
        xdotool key ctrl+l # the location field, in both kinds of dialog
        sleep 0.3
        xdotool key ctrl+a # over the suggested name
        xdotool type --delay 20 "$3"
        for _ in 1 2 3; do
            sleep 0.3
            xdotool key --window "$dialog" Return 2>/dev/null || true
            for _ in 1 2 3 4 5; do
                dialog_gone "$2" && return 0
                sleep 0.3
            done
        done
    done
    fail "the \"$2\" dialog did not close"
}
# The app writes a file after its dialog has gone, under a temporary name
# that it then renames: once it exists, it is whole.
wait_for_file() {
    for _ in $(seq 100); do
        [[ -e $1 ]] && return 0
        sleep 0.1
    done
    fail "$1 was not written"
}
# Gone means not found twice: a search can fail while other windows come and go.
dialog_gone() {
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return 1
    sleep 0.2
    ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1
}

# Save, export, reset and reopen: the sound comes back as it was.
sleep 1.5 # the meters fall back to silence
editor_shot "$work/made.png"
choose_file ctrl+s "Save sound" "$work/mine.bin"
wait_for_file "$work/mine.bin"
[[ $(stat -c %s "$work/mine.bin") == 484 ]] || fail "the saved sound is not a 484-byte state"
# The export takes the choices remembered from last time.
choose_file ctrl+e "Export sound" "$work/mine"
wait_for_file "$work/mine.wav"
[[ $(soxi -c "$work/mine.wav") == 1 && $(soxi -b "$work/mine.wav") == 24 ]] ||
    fail "the export is not mono 24-bit ($(soxi -c "$work/mine.wav") channels, $(soxi -b "$work/mine.wav") bits)"
export_peak=$(peak_of "$work/mine.wav")
awk -v p="$export_peak" 'BEGIN { d = 20 * log(p) / log(10); exit !(d > -1.1 && d < -0.9) }' ||
    fail "the export is not normalised to -1 dBFS (peak $export_peak)"
# The command line takes the exported file as a state too.
"$cli" render --state "$work/mine.wav" --note 60 -o "$work/again.wav" >/dev/null 2>&1 ||
    fail "bleepforge render --state does not take the exported WAV"
click 207 578 # Reset
choose_file ctrl+o "Open sound" "$work/mine.wav"
sleep 0.5
editor_shot "$work/reopened.png"
# The opened sound joins the list: a number of its own.
unslotted "$work/made.png" "$work/made-unslotted.png"
unslotted "$work/reopened.png" "$work/reopened.png"
differing=$(compare -metric AE "$work/reopened.png" "$work/made-unslotted.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "the sound opened from its WAV differs from the saved one in $differing pixels"

# Closing the window keeps the sound; the next start shows it again.
close_app
[[ -s $XDG_CONFIG_HOME/bleepforge/last-sound.aupreset ]] || fail "the sound was not kept on exit"
sounds=$XDG_DATA_HOME/bleepforge/sounds.txt
# The list's file: a line a sound, its code, star, kind, length and name.
sound_count() { grep -c '^bfs1:' "$sounds" || true; }
field() { # SOUND (from 0) FIELD
    awk -F'\t' -v n="$1" -v f="$2" '/^bfs1:/ { if (n == i++) print $f }' "$sounds"
}
# The first sound, changed by the typed values, joined the list when Pickup
# took its place; Pickup made one sound, which the drag tweaked and Reset
# left alone; the opened WAV joined them.
[[ $(sound_count) == 3 && $(field 0 5) == "reset 1" && $(field 1 5) == "pickup 1" && $(field 2 5) == mine ]] ||
    fail "the list kept is not the typed sound, Pickup's and the opened one: $(cut -f 2- "$sounds")"
typed=$("$cli" show "$(field 0 1)" | sed -n 's/^--set "Amp Env Attack=\(.*\)"$/\1/p')
awk -v a="$typed" 'BEGIN { exit !(a > 0.4999 && a < 0.5001) }' ||
    fail "the first sound joined the list without its typed values (attack $typed)"
cp "$sounds" "$work/sounds-before.txt"
start_app
sleep 0.5
editor_shot "$work/after-start.png"
unslotted "$work/after-start.png" "$work/after-start.png"
differing=$(compare -metric AE "$work/after-start.png" "$work/made-unslotted.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "the restored sound differs from the kept one in $differing pixels"
close_app
cmp -s "$sounds" "$work/sounds-before.txt" || fail "the list changed across a restart"

# A kept sound that cannot be read is moved aside, never overwritten.
kept=$XDG_CONFIG_HOME/bleepforge/last-sound.aupreset
echo damaged >"$kept"
start_app
close_app
[[ $(cat "$kept.unreadable") == damaged ]] || fail "the unreadable sound was not kept aside"
[[ -s $kept ]] || fail "no sound was kept after an unreadable one"

# A second unreadable sound gets a name of its own: the first one stays.
echo "damaged again" >"$kept"
start_app
close_app
[[ $(cat "$kept.unreadable") == damaged ]] || fail "the first unreadable sound was overwritten"
[[ $(cat "$kept.unreadable-2") == "damaged again" ]] || fail "the second unreadable sound was not kept aside"

# The core loop, as a sound designer's session: every generator pressed five
# times with "Play on change" on, then a loud sound tuned by ear and exported.
# Exports at the server's rate, so that what was heard can be set beside it.
printf '[bleepforge]\nexport-channels=1\nexport-format=float\nexport-rate=48000\nexport-normalise=true\n' \
    >"$XDG_CONFIG_HOME/bleepforge/settings.ini"
rm -f "$sounds" "$kept"
masked() { # EDITOR-IMAGE OUT [CROP...]: the sound's pixels only
    convert "$1" "${@:3}" -fill black -draw "rectangle 755,95 825,245" \
        -draw "rectangle 150,555 695,655" -draw "rectangle 130,700 720,768" "$2"
}
same_pixels() { [[ $(compare -metric AE "$1" "$2" null: 2>&1 || true) == 0 ]]; }
# The editor comes to show EXPECTED within a few seconds (a loaded machine
# settles a change late); its last look is left in FILE.
comes_to_show() { # FILE EXPECTED
    for _ in $(seq 20); do
        editor_shot "$1"
        same_pixels "$1" "$2" && return 0
        sleep 0.2
    done
    return 1
}
declare -A button=([reset]="207 578" [random]="207 628" [pickup]="315 578" [shoot]="315 628"
    [powerup]="423 578" [hit]="423 628" [jump]="531 578" [blip]="531 628" [slash]="639 578"
    [mutate]="639 628")
kinds=(reset random pickup shoot powerup hit jump blip slash mutate)
start_app
"$cli" snapshot -o "$work/defaults.png" >/dev/null
masked "$work/defaults.png" "$work/defaults-masked.png"
for kind in "${kinds[@]}"; do
    "$cli" generate "$kind" --seed 1 --state-out "$work/$kind-seed1.bin" -o "$work/$kind-seed1.wav" \
        >/dev/null 2>&1 || fail "bleepforge generate $kind --seed 1 failed"
    "$cli" snapshot --state "$work/$kind-seed1.bin" -o "$work/$kind-seed1.png" >/dev/null
    masked "$work/$kind-seed1.png" "$work/$kind-seed1-masked.png"
    for press in 1 2 3 4 5; do
        click ${button[$kind]}
        xdotool mousemove --sync 1270 890
        sleep 0.8 # heard, drawn and settled
        import -window root "$work/screen.png"
        masked "$work/screen.png" "$work/$kind-$press.png" -crop "$size+$ox+$oy" +repage
        if [[ $kind == reset ]]; then
            same_pixels "$work/$kind-$press.png" "$work/defaults-masked.png" ||
                fail "Reset press $press does not give the defaults"
        elif same_pixels "$work/$kind-$press.png" "$work/$kind-seed1-masked.png"; then
            fail "$kind press $press makes the sound of bleepforge generate $kind --seed 1"
        fi
    done
done
# Mutations go on from the last one: ten in a row from one sound.
for press in 6 7 8 9 10; do
    click ${button[mutate]}
    sleep 0.8
done
close_app
# The list: Reset adds none; then five a kind in the order pressed, and the
# five more mutations.
[[ $(sound_count) == 50 ]] || fail "the session did not keep 50 sounds"
code_of() { field "$1" 1; }
for k in $(seq 0 8); do
    kind=${kinds[$((k + 1))]}
    distinct=$(for n in 0 1 2 3 4; do code_of $((5 * k + n)); done | sort -u | wc -l)
    [[ $distinct == 5 ]] || fail "five presses of $kind made $distinct different sounds"
done
value_of() { # SOUND PARAMETER: the value of its --set argument
    [[ -s $work/show-$1.txt ]] || "$cli" show "$(field "$1" 1)" >"$work/show-$1.txt"
    sed -n "$(($2 + 1))s/.*=\(.*\)\"\$/\1/p" "$work/show-$1.txt"
}
# Before the first of the ten mutations is the fifth Slash (sound 39). Every
# mutation drawing the same numbers moved each envelope time the same way.
one_way=0
for parameter in 29 30 31 33 51 52 53 55; do
    ups=0 downs=0
    for n in $(seq 40 49); do
        change=$(awk -v a="$(value_of $((n - 1)) $parameter)" -v b="$(value_of $n $parameter)" \
            'BEGIN { print (b > a) ? "up" : (b < a) ? "down" : "same" }')
        [[ $change == up ]] && ups=$((ups + 1))
        [[ $change == down ]] && downs=$((downs + 1))
    done
    [[ $ups == 0 || $downs == 0 ]] && one_way=$((one_way + 1))
done
[[ $one_way -lt 8 ]] || fail "ten mutations moved every envelope time one way"

# A long triangle 12 dB up: heard at the gain Export applies, so the audition
# does not clip, and the export is what was heard.
"$cli" render --set "Output Gain=12" --set "Osc1 Type=Triangle" --set "Amp Env Attack=0.01" \
    --set "Amp Env Hold=1.5" --set "Amp Env Decay=0.5" --note 60 --state-out "$work/loud.bin" \
    -o "$work/loud-raw.wav" >/dev/null 2>&1 || fail "the loud triangle could not be made"
start_app
jack_capture --daemon -d 8 --port 'Bleepforge:*' "$work/heard.wav" &
capture=$!
capture_started
choose_file ctrl+o "Open sound" "$work/loud.bin"
wait "$capture" || fail "jack_capture failed"
xdotool mousemove --sync 1270 890
sleep 0.3
import -window root "$work/screen.png"
# The strip beside the editor: red marks and red text say where it clips.
convert "$work/screen.png" -crop "$(strip_area)" +repage "$work/strip.png"
strip_red=$(convert "$work/strip.png" -fx '(r > 0.8 && g < 0.45 && b < 0.45) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:)
choose_file ctrl+e "Export sound" "$work/loud"
wait_for_file "$work/loud.wav"
close_app
heard_peak=$(peak_of "$work/heard.wav")
loud_peak=$(peak_of "$work/loud.wav")
awk -v h="$heard_peak" -v e="$loud_peak" 'BEGIN { d = 20 * log(h / e) / log(10); exit !(d > -0.3 && d < 0.3) }' ||
    fail "the audition peaks at $heard_peak, the export at $loud_peak"
awk -v h="$heard_peak" 'BEGIN { exit !(h < 0.99) }' || fail "the audition clips (peak $heard_peak)"
[[ $strip_red == 0 ]] || fail "the strip shows clipping ($strip_red red pixels) in a sound that does not clip"

# The list stands beside the editor, under the strip (72 rows and a line).
# Rows are 23 pixels high from the top of the list, each with its star first.
list_x=$((ox + 847)) list_y=$((oy + 73)) row_h=23
row_y() { echo $((list_y + row_h / 2 + row_h * $1)); }
click_row() { # ROW [X IN THE ROW]
    pointer_to $((list_x + ${2:-150})) "$(row_y "$1")"
    xdotool click 1
    sleep 0.8
}

# What is heard of a sound is what Export writes: twenty sounds, fast attacks
# among them, each chosen in the list (and so heard) while the app's output is
# recorded. Each recording, found where its sound starts, is the export's
# samples rendered at the server's rate (the export's rate is set to it).
heard_kinds=(jump hit shoot blip pickup slash)
heard_files=()
for n in $(seq 0 19); do
    "$cli" generate "${heard_kinds[$((n % 6))]}" --seed $((n + 1)) --state-out "$work/heard-$n.state" \
        -o "$work/heard-$n.wav" >/dev/null 2>&1 || fail "sound $n to hear could not be made"
    "$cli" share "$work/heard-$n.state"
    heard_files+=("$work/heard-set/kept $((n + 1)).wav")
done >"$work/heard-codes.txt"
rm -f "$kept"
python3 "$(dirname "${BASH_SOURCE[0]}")/sound_list.py" "$work/heard-codes.txt" 20 "$sounds" 20
start_app
choose_file ctrl+shift+e "Export starred sounds" "$work/heard-set"
for _ in $(seq 100); do [[ $(ls "$work/heard-set" | wc -l) == 20 ]] && break; sleep 0.1; done
[[ $(ls "$work/heard-set" | wc -l) == 20 ]] || fail "the twenty sounds to hear were not exported"
# Recorded until the last has played (Ctrl+C ends a recording whole).
jack_capture --daemon -d 300 --port 'Bleepforge:outport*' "$work/heard-all.wav" &
capture=$!
capture_started
# Each is given time to render (twice, at the export's rate and the
# server's) and to play whole before the next cuts it, on a loaded machine too.
for n in $(seq 0 19); do
    click_row "$n"
    sleep "$(awk -v l="$(soxi -D "$work/heard-$n.wav")" 'BEGIN { print l + 1.5 }')"
done
sleep 1
kill -INT "$capture"
wait "$capture" || fail "jack_capture failed"
close_app
heard_check=$(python3 "$(dirname "${BASH_SOURCE[0]}")/heard_takes.py" "$work/heard-all.wav" "${heard_files[@]}" 2>&1) ||
    fail "what was heard is not what was exported: $heard_check"

# The list beside the editor, as a sound designer uses it: five coins, two
# starred, one tweaked; moving away and back keeps the tweak, and a restart
# brings back the list.
rm -f "$sounds" "$kept"
start_app
# The chosen row is masked: how it is lit depends on where the focus is.
list_shot() { # FILE CHOSEN-ROW
    pointer_to $((ox + 300)) $((oy + 385))
    sleep 0.3
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop "$((1280 - list_x))x$((row_h * 5))+$list_x+$list_y" +repage \
        -fill black -draw "rectangle 0,$((row_h * $2)) 500,$((row_h * $2 + row_h - 1))" "$1"
}
for press in 1 2 3 4 5; do
    click ${button[pickup]}
    sleep 0.8
done
click_row 1 27
click_row 3 27
click_row 2
click 67 462 # Amp Env Attack's value
sleep 0.3
xdotool type --delay 50 "0.5"
xdotool key Return
sleep 1
editor_shot "$work/tweaked.png"
click_row 4
click 360 253 # PREV twice, from the fifth sound to the third
sleep 0.8
click 360 253
sleep 0.8
comes_to_show "$work/back.png" "$work/tweaked.png" || fail "after NEXT and PREV the tweak is gone"
click_row 0
click_row 2
comes_to_show "$work/clicked-back.png" "$work/tweaked.png" || fail "after choosing another sound and back the tweak is gone"
list_shot "$work/list.png" 2
close_app
[[ $(sound_count) == 5 ]] || fail "the list kept $(sound_count) sounds, not five"
for n in 0 1 2 3 4; do
    [[ $(field $n 5) == "pickup $((n + 1))" ]] || fail "sound $n is called \"$(field $n 5)\""
    [[ $(field $n 2) == $([[ $n == 1 || $n == 3 ]] && echo '*' || echo -) ]] || fail "sound $n is starred wrongly"
done
attack=$("$cli" show "$(field 2 1)" | sed -n 's/^--set "Amp Env Attack=\(.*\)"$/\1/p')
awk -v a="$attack" 'BEGIN { exit !(a > 0.4999 && a < 0.5001) }' || fail "the tweak is not in the kept list (attack $attack)"
start_app
list_shot "$work/list-again.png" 2
same_pixels "$work/list-again.png" "$work/list.png" || fail "the list looks different after a restart"
editor_shot "$work/restarted.png"
same_pixels "$work/restarted.png" "$work/tweaked.png" || fail "the chosen sound is not back after a restart"

# Export starred: a file per starred sound into a folder, named from the list
# and numbered past a file already there, each the bytes a single Export of
# that sound writes. The tweaked sound is starred now, the fourth no more.
click_row 2 27
click_row 3 27
mkdir -p "$work/set"
echo mine >"$work/set/pickup 2.wav"
choose_file ctrl+shift+e "Export starred sounds" "$work/set"
for _ in $(seq 100); do [[ $(ls "$work/set" | wc -l) == 3 ]] && break; sleep 0.1; done
sleep 0.5
[[ $(ls "$work/set" | tr '\n' '|') == "pickup 2 (2).wav|pickup 2.wav|pickup 3.wav|" ]] ||
    fail "export starred wrote: $(ls "$work/set" | tr '\n' '|')"
[[ $(cat "$work/set/pickup 2.wav") == mine ]] || fail "export starred replaced a file"
attack=$("$cli" show "$work/set/pickup 3.wav" | sed -n 's/^--set "Amp Env Attack=\(.*\)"$/\1/p')
awk -v a="$attack" 'BEGIN { exit !(a > 0.4999 && a < 0.5001) }' || fail "the tweak is not in its export (attack $attack)"
for row in 1 2; do
    click_row $row
    choose_file ctrl+e "Export sound" "$work/single-$row"
    wait_for_file "$work/single-$row.wav"
done
cmp -s "$work/single-1.wav" "$work/set/pickup 2 (2).wav" || fail "an exported starred sound differs from its single export"
cmp -s "$work/single-2.wav" "$work/set/pickup 3.wav" || fail "the tweaked sound's export differs from its single export"
# A folder typed that is not there yet is made.
choose_file ctrl+shift+e "Export starred sounds" "$work/new set"
for _ in $(seq 100); do [[ $(ls "$work/new set" 2>/dev/null | wc -l) == 2 ]] && break; sleep 0.1; done
[[ $(ls "$work/new set" 2>/dev/null | tr '\n' '|') == "pickup 2.wav|pickup 3.wav|" ]] ||
    fail "export starred into a new folder wrote: $(ls "$work/new set" 2>&1 | tr '\n' '|')"
sleep 7 # the exports' messages clear before the status is looked at again

# The keys list (F1) lines up what the keys do: in each line, the text after
# the first wide gap starts where it does in the others.
keys F1
dialog_window() {
    local WINDOW X Y WIDTH HEIGHT SCREEN w
    for w in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
        [[ $w == "$app_window" ]] && continue
        eval "$(xdotool getwindowgeometry --shell "$w")"
        ((WIDTH > 100 && WIDTH < 1280)) && echo "$w" && return
    done
    return 0
}
keys_window=""
for _ in $(seq 50); do
    keys_window=$(dialog_window) && [[ -n $keys_window ]] && break
    sleep 0.1
done
[[ -n $keys_window ]] || fail "F1 shows no list of keys"
sleep 0.5
import -window "$keys_window" "$work/keys.png"
# Light text, dim or not, on the dark dialog.
columns=$(convert "$work/keys.png" -colorspace gray -threshold 45% txt:- | awk -F'[,: ]+' '
    /#FFFFFF|white/ { if ($2 > y + 1) line++; y = $2; on[line, $1] = 1; if ($1 > w) w = $1 }
    END {
        for (l = 1; l <= line; l++) {
            last = -1
            for (x = 0; x <= w; x++) if ((l, x) in on) { if (last >= 0 && x - last >= 14) { print x; break } last = x }
        }
    }' | sort -n)
[[ $(wc -l <<<"$columns") -ge 15 && $(($(tail -1 <<<"$columns") - $(head -1 <<<"$columns"))) -le 2 ]] ||
    fail "the keys list does not line up: its second column starts at $(echo $columns)"
xdotool windowfocus --sync "$keys_window" 2>/dev/null || true
xdotool key Escape
sleep 0.5

# Copy in one window, paste in another: the second app has the sound, in its list.
# What the status says of the copy clears after a while.
status_shot() {
    local WINDOW X Y WIDTH HEIGHT SCREEN
    import -window root "$work/screen.png"
    eval "$(xdotool getwindowgeometry --shell "$app_window")"
    convert "$work/screen.png" -crop "300x4+$((ox + 870))+$((Y + HEIGHT - 30))" +repage "$1"
}
# Nothing beside the status moves when it comes or goes: the list and its
# buttons stay where the pointer found them.
panel_shot() {
    local WINDOW X Y WIDTH HEIGHT SCREEN
    import -window root "$work/screen.png"
    eval "$(xdotool getwindowgeometry --shell "$app_window")"
    convert "$work/screen.png" -crop "$((X + WIDTH - list_x))x$((Y + HEIGHT - 78 - list_y))+$list_x+$list_y" +repage "$1"
}
status_shot "$work/no-status.png"
panel_shot "$work/panel-quiet.png"
keys ctrl+c
sleep 0.5
status_shot "$work/status.png"
! same_pixels "$work/status.png" "$work/no-status.png" || fail "copying says nothing"
panel_shot "$work/panel-told.png"
same_pixels "$work/panel-told.png" "$work/panel-quiet.png" || fail "the list or its buttons moved when a message came"
sleep 7
status_shot "$work/status-later.png"
same_pixels "$work/status-later.png" "$work/no-status.png" || fail "the status did not clear"
first_window=$app_window first_pid=$app_pid
"$app" >"$work/second.log" 2>&1 &
app_pid=$!
pids+=($app_pid)
logs+=(second.log)
app_window=""
for _ in $(seq 100); do
    app_window=$(xdotool search --name '^Bleepforge$' 2>/dev/null | grep -vx "$first_window" | head -1) &&
        [[ -n $app_window ]] && break
    sleep 0.1
done
[[ -n $app_window ]] || fail "no second window appeared"
sleep 1
keys ctrl+v
sleep 1
editor_shot "$work/pasted.png"
unslotted "$work/pasted.png" "$work/pasted.png"
unslotted "$work/tweaked.png" "$work/tweaked-unslotted.png"
same_pixels "$work/pasted.png" "$work/tweaked-unslotted.png" || fail "the sound pasted into a second app differs from the copied one"
# The second window keeps no list: closing it asks first, and Escape keeps it.
ask_to_close() {
    keys ctrl+q
    question=""
    for _ in $(seq 50); do
        question=$(xdotool search --onlyvisible --name '^Close this window\?$' 2>/dev/null | head -1) &&
            [[ -n $question ]] && break
        sleep 0.1
    done
    [[ -n $question ]] || fail "closing a window whose sounds are not kept asks nothing"
    xdotool windowfocus --sync "$question" 2>/dev/null || true
}
ask_to_close
xdotool key Escape
sleep 0.5
kill -0 "$app_pid" 2>/dev/null || fail "the second window closed though the question was cancelled"
ask_to_close
xdotool key alt+l
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid" || fail "the second app did not end cleanly"
app_window=$first_window app_pid=$first_pid
close_app
[[ $(sound_count) == 5 ]] || fail "the second app changed the first one's list"

# The list's buttons, clicked while a message shows: Rename takes the typed
# name, and a sound copied and pasted back with Paste keeps it.
start_app
click_row 2
keys ctrl+c
sleep 0.5
list_button() { # X IN THE PANEL
    local WINDOW X Y WIDTH HEIGHT SCREEN
    eval "$(xdotool getwindowgeometry --shell "$app_window")"
    pointer_to $((list_x + $1)) $((Y + HEIGHT - 95))
    xdotool click 1
}
list_button 207 # Rename
sleep 0.5
xdotool type --delay 50 "my coin"
xdotool key Return
sleep 0.5
keys ctrl+c
sleep 0.3
list_button 124 # Paste
sleep 1
close_app
[[ $(sound_count) == 6 && $(field 2 5) == "my coin" && $(field 5 5) == "my coin" && $(field 5 3) == pickup ]] ||
    fail "Rename and Paste did not give the sound its name twice: $(cut -f 3- "$sounds" | tr '\n' '|')"
[[ $(field 5 1) == $(field 2 1) ]] || fail "the pasted sound is not the copied one"

# Locks: "pitch", locked from a pitch knob's menu, keeps its values through
# five Pickups while the rest is drawn anew; V makes five variations of the
# last one, placed right after it.
rm -f "$sounds" "$kept"
sed -i '/^variations=/d' "$XDG_CONFIG_HOME/bleepforge/settings.ini"
echo 'variations=2' >>"$XDG_CONFIG_HOME/bleepforge/settings.ini"
start_app
xdotool windowfocus --sync "$app_window" 2>/dev/null || true
pointer_to $((ox + 356)) $((oy + 334)) # Pitch High Note
xdotool click 3
sleep 0.5
xdotool mousemove_relative --sync 60 42 click 1 # its second item: the group
sleep 0.3
grep -qx 'locks=pitch;' "$XDG_CONFIG_HOME/bleepforge/settings.ini" ||
    fail "the knob's menu did not lock pitch: $(grep locks "$XDG_CONFIG_HOME/bleepforge/settings.ini")"
for press in 1 2 3 4 5; do
    click ${button[pickup]}
    sleep 0.8
done
keys v
dialog=""
for _ in $(seq 50); do
    dialog=$(xdotool search --onlyvisible --name '^Variations$' 2>/dev/null | head -1) && [[ -n $dialog ]] && break
    sleep 0.1
done
[[ -n $dialog ]] || fail "V shows no Variations dialog"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
# The count remembered from last time is 2; 5 typed over it counts, though
# Make is pressed (Alt+M) without Enter first.
xdotool key --window "$dialog" ctrl+a
xdotool type --window "$dialog" --delay 50 "5"
xdotool key --window "$dialog" alt+m
sleep 1.5
close_app
[[ $(sound_count) == 10 ]] || fail "five Pickups and five variations made $(sound_count) sounds"
for n in 0 1 2 3 4 5 6 7 8 9; do
    "$cli" show "$(field $n 1)" >"$work/locked-$n.txt"
done
"$cli" render --state-out "$work/defaults.bin" -o "$work/defaults.wav" >/dev/null 2>&1 ||
    fail "the default sound could not be made"
"$cli" show "$work/defaults.bin" >"$work/locked-defaults.txt"
for n in 0 1 2 3 4 5 6 7 8 9; do
    diff <(grep '"Pitch ' "$work/locked-$n.txt") <(grep '"Pitch ' "$work/locked-defaults.txt") >/dev/null ||
        fail "sound $n changed a locked pitch value"
    ! diff <(grep -v '"Pitch ' "$work/locked-$n.txt") <(grep -v '"Pitch ' "$work/locked-defaults.txt") >/dev/null ||
        fail "sound $n is the defaults outside pitch"
done
[[ $(for n in 0 1 2 3 4 5 6 7 8 9; do field $n 1; done | sort -u | wc -l) == 10 ]] ||
    fail "the locked Pickups and their variations are not ten different sounds"
[[ $(field 5 5) == "pickup 5 v1" && $(field 9 5) == "pickup 5 v5" && $(field 4 5) == "pickup 5" ]] ||
    fail "the variations are not named after their sound, right after it: $(cut -f 5 "$sounds" | tr '\n' ,)"

# Reset keeps the locked values too, and its sound, once changed, is not lost
# when another is chosen: it joins the list.
start_app
click 787 462 # Pitch Jump Transpose's value, on the chosen variation
sleep 0.3
xdotool type --delay 50 "5"
xdotool key Return
sleep 1
click ${button[reset]}
sleep 1.5
close_app
grep -qx 'chosen -' "$sounds" || fail "Reset's sound took the place of the chosen one: $(sed -n 2p "$sounds")"
"$cli" show "$(field 5 1)" >"$work/variation.txt"
grep -q '^--set "Pitch Jump Transpose=5' "$work/variation.txt" && ! grep -q '^--set "Amp Env Attack=0.5' "$work/variation.txt" ||
    fail "Reset changed the sound chosen before it"
start_app
click 67 462 # Amp Env Attack's value
sleep 0.3
xdotool type --delay 50 "0.5"
xdotool key Return
sleep 1
click_row 0
close_app
[[ $(sound_count) == 11 && $(field 10 5) == "reset 1" ]] ||
    fail "Reset's changed sound did not join the list when another was chosen: $(cut -f 5 "$sounds" | tr '\n' ,)"
"$cli" show "$(field 10 1)" >"$work/reset-kept.txt"
grep -q '^--set "Pitch Jump Transpose=5' "$work/reset-kept.txt" || fail "Reset let go of a locked value"
attack=$(sed -n 's/^--set "Amp Env Attack=\(.*\)"$/\1/p' "$work/reset-kept.txt")
awk -v a="$attack" 'BEGIN { exit !(a > 0.4999 && a < 0.5001) }' || fail "Reset's sound lost its change (attack $attack)"
diff <(grep -v '"Pitch \|"Amp Env Attack=' "$work/reset-kept.txt") \
    <(grep -v '"Pitch \|"Amp Env Attack=' "$work/locked-defaults.txt") >/dev/null ||
    fail "Reset's sound is not the defaults outside the locks and the change"

# Recipe kinds: the Kinds menu (Alt+K) is read as it opens, so a recipe of
# the user's written while the app runs is there, before the program's
# explosion. Each makes a sound named by its kind, the locked pitch kept;
# the explosion is heard.
rm -f "$sounds" "$kept"
start_app
mkdir -p "$XDG_CONFIG_HOME/bleepforge/kinds"
printf 'description = "a short click"\nstart = "blip"\n[params]\n"Amp Env Decay" = { range = [0.01, 0.05] }\n' \
    >"$XDG_CONFIG_HOME/bleepforge/kinds/click.toml"
choose_kind() { # N: the menu's Nth kind
    keys alt+k
    sleep 0.5
    for _ in $(seq "$1"); do xdotool key Down; done
    xdotool key Return
    sleep 0.8
}
choose_kind 1
record "$work/explosion.wav" 3
choose_kind 2
wait "$capture" || fail "jack_capture failed"
explosion_peak=$(peak_of "$work/explosion.wav")
audible "$explosion_peak" || fail "the explosion plays nothing (peak $explosion_peak)"
keys alt+k
sleep 0.5
import -window root "$work/kinds-menu.png" # for a look when the test is kept
xdotool key Escape
close_app
[[ $(sound_count) == 2 && $(field 0 5) == "click 1" && $(field 1 5) == "explosion 1" && $(field 1 3) == explosion ]] ||
    fail "the Kinds menu did not make a click and an explosion: $(cut -f 3- "$sounds")"
for n in 0 1; do
    "$cli" show "$(field $n 1)" >"$work/kind-$n.txt"
    diff <(grep '"Pitch ' "$work/kind-$n.txt") <(grep '"Pitch ' "$work/locked-defaults.txt") >/dev/null ||
        fail "the kind of sound $n changed a locked pitch value"
done
white=$(sed -n 's/^--set "White Level=\(.*\)"$/\1/p' "$work/kind-1.txt")
awk -v w="$white" 'BEGIN { exit !(w >= -9 && w <= -3) }' || fail "the explosion's white noise is not its recipe's ($white dB)"

# A MIDI source already running when the app starts is connected to its input.
jack_midiseq bleepforge-early 24000 0 60 100 >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do jack_lsp | grep -qx 'bleepforge-early:out' && break; sleep 0.1; done
# When the JACK server goes away, the app says so: once its audio runs (on a
# loaded machine the window can come well before the stream).
start_app
for _ in $(seq 100); do jack_lsp 2>/dev/null | grep -q '^Bleepforge:' && break; sleep 0.1; done
early_connected() { jack_lsp -c 'Bleepforge:MIDI in' | grep -qx '   bleepforge-early:out'; }
for _ in $(seq 50); do early_connected && break; sleep 0.1; done
early_connected || fail "a MIDI source running before the app is not connected to it: $(jack_lsp -c)"
kill "$jack_pid"
for _ in $(seq 200); do grep -q "The audio device stopped" "$work/app.log" && break; sleep 0.1; done
grep -q "The audio device stopped" "$work/app.log" || fail "the app did not say that the audio device stopped"
close_app
# JACK's own messages of the server going away stay off the terminal: without
# --verbose the app's lines are its own (and the leak checker's summary).
jack_said=$(grep -v '^bleepforge-standalone: ' "$work/app.log" | grep -i 'jack\|socket\|server is not running' || true)
[[ -z $jack_said ]] || fail "JACK's own messages reached the terminal: $jack_said"
echo "standalone end to end: one JACK client, window, value fields, auditions (twenty heard as exported, sample for sample), undo, keyboard, typing and MIDI sound, save, export, open, autosave, restore, the core loop (generators, mutations, a loud sound heard as exported), the list (stars, a tweak kept, a restart, copy and paste between two apps, locks through Pickup and Reset, variations, a Reset sound kept), recipe kinds and a stopped server all as expected (peaks $audition_peak, $peak, $typed_peak, $midi_peak, $export_peak, explosion $explosion_peak, heard $heard_peak)"
