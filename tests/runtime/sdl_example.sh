#!/usr/bin/env bash
# The SDL example, headless: three key presses, played through SDL's disk
# audio driver, which writes what it played to a file. That file must hold
# the three coins back to back, each the very samples `bleepforge render`
# makes of the play the example names, with silence around them; and no
# coin may be the one before it.
# Usage: sdl_example.sh COINS BLEEPFORGE_CLI
set -euo pipefail
coins=$1 cli=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/played.raw" "$coins" --seed 11 --presses 3 >"$work/plays.txt"
[[ $(wc -l <"$work/plays.txt") -eq 3 ]] || { echo "expected three plays:"; cat "$work/plays.txt"; exit 1; }
[[ $(sort -u "$work/plays.txt" | wc -l) -eq 3 ]] || { echo "a coin repeated:"; cat "$work/plays.txt"; exit 1; }

: >"$work/expected.raw"
while read -r code seed key velocity duration; do
    "$cli" render --state "$code" --seed "$seed" --note "$key:$velocity:0:$duration" --format float \
        --channels 1 -o - >>"$work/expected.raw" 2>/dev/null
done <"$work/plays.txt"

# The device writes silence while it waits, paused, for the presses: the
# coins start at the first sound, and silence follows them.
python3 - "$work/expected.raw" "$work/played.raw" <<'PY'
import sys
expected, played = (open(path, "rb").read() for path in sys.argv[1:])
def first_sound(data):
    return next((i for i in range(0, len(data), 4) if data[i:i + 4] != bytes(4)), len(data))
offset = first_sound(played) - first_sound(expected)
if offset < 0 or played[offset:offset + len(expected)] != expected:
    sys.exit("what the device played is not the coins bleepforge render makes")
if played[offset + len(expected):].strip(b"\0"):
    sys.exit("the device played more than the coins after them")
PY
echo "the device played the three coins bleepforge render makes, then silence"
