#!/usr/bin/env bash
# bleepforge-standalone on a laptop's 1366x768 screen: the window fits with
# the strip and the list in view, the editor is drawn pixel for pixel, the
# wheel scrolls it where no control is and turns a knob where one is, and
# the list keeps its chosen sound in view.
# Usage: standalone_fit_e2e.sh APP CLI   (exit 77: a server cannot start here)
app=$1 cli=$2
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_servers.sh"
logs+=(app.log)
need Xvfb xdotool import compare convert
start_x 200 1366x768
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data GSETTINGS_BACKEND=memory

"$app" >"$work/app.log" 2>&1 &
app_pid=$!
pids+=($app_pid)
window=""
for _ in $(seq 300); do
    window=$(xdotool search --name '^Bleepforge$' 2>/dev/null | head -1) && [[ -n $window ]] && break
    sleep 0.1
done
[[ -n $window ]] || fail "no window appeared"
# Found in a screenshot: where PATCH is within the screen's CROP, once the
# screen has settled ("" if it never shows there).
find_on_screen() { # CROP PATCH
    local found=""
    for _ in $(seq 40); do
        import -window root "$work/screen.png"
        convert "$work/screen.png" -crop "$1" +repage "$work/area.png"
        found=$(compare -metric AE -subimage-search "$work/area.png" "$2" null: 2>&1 || true)
        [[ $found == "0 @ "* ]] && echo "${found#0 @ }" && return
        sleep 0.25
    done
}
"$cli" snapshot -o "$work/default.png" >/dev/null
convert "$work/default.png" -crop 150x120+0+0 +repage "$work/patch.png"
offset=$(find_on_screen 200x200+0+0 "$work/patch.png")
[[ -n $offset ]] || fail "the editor's corner is not on screen as the snapshot draws it"
ox=${offset%,*} oy=${offset#*,}
eval "$(xdotool getwindowgeometry --shell "$window")"
((X >= 0 && Y >= 0 && X + WIDTH <= 1366 && Y + HEIGHT <= 768)) ||
    fail "the window (${WIDTH}x$HEIGHT at $X,$Y) does not fit a 1366x768 screen"
size="${WIDTH}x$HEIGHT"

import -window root "$work/screen.png"

# What shows of the editor is the snapshot, pixel for pixel, down to the
# generators; the meters show sound, not settings.
shown=$((Y + HEIGHT - oy - 8))
((shown >= 700)) || fail "only $shown rows of the editor show: the generators are cut off"
meters=(-fill black -draw "rectangle 755,95 825,245")
convert "$work/screen.png" -crop "846x$shown+$ox+$oy" +repage "${meters[@]}" "$work/editor.png"
convert "$work/default.png" -crop "846x$shown+0+0" +repage "${meters[@]}" "$work/expected.png"
differing=$(compare -metric AE "$work/editor.png" "$work/expected.png" null: 2>&1 || true)
[[ $differing == 0 ]] || fail "the editor differs from the snapshot in $differing pixels"

# The strip and the list beside it are on screen: the strip draws the
# sound's wave in green, the list says where sounds will appear.
panel_x=$((ox + 850))
((panel_x + 200 <= X + WIDTH)) || fail "no room beside the editor for the list (window ${WIDTH} wide)"
for _ in $(seq 40); do # its first render may still be on its way
    green=$(convert "$work/screen.png" -crop "$((X + WIDTH - 10 - panel_x))x68+$panel_x+$((oy + 2))" +repage \
        -fx '(g > 0.5 && r < 0.6 && b < 0.7) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:)
    ((green > 50)) && break
    sleep 0.25
    import -window root "$work/screen.png"
done
((green > 50)) || fail "the strip beside the editor shows no wave ($green green pixels)"

# The wheel at the editor's left edge, where no control is, scrolls it to
# its foot: the keyboard's last rows come into view.
xdotool mousemove --sync $((ox + 20)) $((oy + 650))
for _ in $(seq 10); do xdotool click 5; sleep 0.05; done
convert "$work/default.png" -crop 120x24+140+744 +repage "$work/keys.png"
[[ -n $(find_on_screen "300x$((Y + HEIGHT - oy - 500))+$((ox + 60))+$((oy + 500))" "$work/keys.png") ]] ||
    fail "the wheel does not scroll the editor to the keyboard"

# Over a knob the wheel turns it and the editor stays: Osc3 Phase, back at
# the top, changes its picture.
for _ in $(seq 10); do xdotool click 4; sleep 0.05; done
[[ $(find_on_screen 200x200+0+0 "$work/patch.png") == "$ox,$oy" ]] ||
    fail "the wheel does not scroll the editor back to its top"
knob="60x60+$((ox + 475))+$((oy + 210))"
convert "$work/screen.png" -crop "$knob" +repage "$work/knob-before.png"
xdotool mousemove --sync $((ox + 505)) $((oy + 237))
for _ in $(seq 5); do xdotool click 4; sleep 0.05; done
changed=0
for _ in $(seq 40); do
    import -window root "$work/turned.png"
    convert "$work/turned.png" -crop "$knob" +repage "$work/knob-after.png"
    changed=$(compare -metric AE "$work/knob-before.png" "$work/knob-after.png" null: 2>&1 || true)
    ((changed > 20)) && break
    sleep 0.25
done
((changed > 20)) || fail "the wheel over Osc3 Phase does not turn it ($changed pixels changed)"
[[ $(find_on_screen 200x200+0+0 "$work/patch.png") == "$ox,$oy" ]] || fail "the wheel over a knob scrolled the editor"
# Sounds made past the list's height: the new one, chosen, comes into view.
xdotool mousemove --sync $((ox + 300)) $((oy + 385))
for _ in $(seq 20); do
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key 1
    sleep 0.1
done
lit=0
for _ in $(seq 40); do
    import -window root "$work/list.png"
    lit=$(convert "$work/list.png" -crop "$((X + WIDTH - 10 - panel_x))x$((Y + HEIGHT - oy - 100))+$panel_x+$((oy + 80))" \
        +repage -fx '(b > 0.5 && r < 0.2 && g > 0.25 && g < 0.45) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:)
    ((lit > 1000)) && break
    sleep 0.25
done
((lit > 1000)) || fail "the twentieth sound made is not in view in the list ($lit lit pixels)"
# A kind with a long name (a recipe's file name) is cut short in its row: the
# window keeps to the screen, the list's buttons in it.
long=an-explosion-with-a-name-that-goes-on-and-on-far-past-what-any-column-of-the-list-shows
mkdir -p "$XDG_CONFIG_HOME/bleepforge/kinds"
printf 'description = "long"\nstart = "hit"\n' >"$XDG_CONFIG_HOME/bleepforge/kinds/$long.toml"
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key alt+k
sleep 0.5
xdotool key Down Return
sleep 1.5
eval "$(xdotool getwindowgeometry --shell "$window")"
((X >= 0 && Y >= 0 && X + WIDTH <= 1366 && Y + HEIGHT <= 768)) ||
    fail "with a long kind in the list the window (${WIDTH}x$HEIGHT at $X,$Y) does not fit a 1366x768 screen"
# The Export dialog, file chooser and choices, fits the screen too; asked to
# stop while it is open, the app still ends.
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key ctrl+e
dialog=""
for _ in $(seq 100); do
    dialog=$(xdotool search --onlyvisible --name '^Export sound$' 2>/dev/null | head -1) && [[ -n $dialog ]] && break
    sleep 0.1
done
[[ -n $dialog ]] || fail "Ctrl+E shows no Export dialog"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$dialog")"
((X >= 0 && Y >= 0 && X + WIDTH <= 1366 && Y + HEIGHT <= 768)) ||
    fail "the Export dialog (${WIDTH}x$HEIGHT at $X,$Y) does not fit a 1366x768 screen"
kill -TERM "$app_pid"
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$app_pid" 2>/dev/null || fail "asked to stop with the Export dialog open, the app went on"
wait "$app_pid" || fail "asked to stop with the Export dialog open, the app did not end cleanly"
cut -f 3 "$XDG_DATA_HOME/bleepforge/sounds.txt" | grep -qx "$long" || fail "no sound of the long-named kind was made"
echo "standalone on 1366x768: the window ($size) fits, $shown editor rows exactly as drawn, strip and list beside it, the wheel scrolls and turns, the newest sound in view, a long kind name cut short, the Export dialog fits and a stop request ends the app, as expected"
