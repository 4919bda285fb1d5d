#!/usr/bin/env bash
# The C library as installed by `cmake --install`: a C99 program built
# through pkg-config against the shared and against the static library
# renders the very float samples `bleepforge render` writes, for a kind's
# sound and for a player's play; the libraries export only bf_* names and
# link no editor, image, font or window library.
# Usage: installed_library.sh BUILD_DIR BLEEPFORGE_CLI C_COMPILER [FLAGS...]
set -euo pipefail
build=$1 cli=$2 cc=$3
shift 3
flags=("$@")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" --component library >/dev/null
export PKG_CONFIG_PATH=$work/prefix/lib/pkgconfig
lib=$work/prefix/lib

"$cc" -std=c99 -pedantic-errors -Wall -Wextra -Werror "${flags[@]}" "$here/RenderWithLibrary.c" \
    $(pkg-config --cflags --libs bleepforge) -Wl,-rpath,"$lib" -o "$work/shared"
# A static link names the archive itself, beside the shared library of the same name.
"$cc" -std=c99 -pedantic-errors -Wall -Wextra -Werror "${flags[@]}" "$here/RenderWithLibrary.c" \
    $(pkg-config --cflags bleepforge) \
    $(pkg-config --static --libs bleepforge | sed 's/-lbleepforge\b/-l:libbleepforge.a/') -o "$work/static"
if ldd "$work/static" | grep -q libbleepforge; then
    echo "the static program loads libbleepforge.so"; exit 1
fi
ldd "$work/shared" | grep -q "$lib/libbleepforge.so" || { echo "the shared program does not load the installed library"; exit 1; }

foreign=$(nm -D --defined-only "$lib/libbleepforge.so" | awk '$3 !~ /^bf_/ {print $3}')
[[ -z $foreign ]] || { echo "libbleepforge.so exports: $foreign"; exit 1; }
# Names the toolchain makes unique process-wide (inline variables, "u") cannot be made local.
foreign=$(nm -g --defined-only "$lib/libbleepforge.a" | awk 'NF == 3 && $2 != "u" && $3 !~ /^bf_/ {print $3}')
[[ -z $foreign ]] || { echo "libbleepforge.a defines: $foreign"; exit 1; }
# The static library offers a game the names the shared one exports, no more
# (the maths routines are bf_ too, and must not meet a game's own).
shared_names=$(nm -D --defined-only "$lib/libbleepforge.so" | awk '{print $3}' | sort)
static_names=$(nm -g --defined-only "$lib/libbleepforge.a" | awk 'NF == 3 && $2 != "u" {print $3}' | sort)
[[ $shared_names == "$static_names" ]] || {
    echo "libbleepforge.a and libbleepforge.so define other names:"; diff <(echo "$shared_names") <(echo "$static_names"); exit 1; }
# No editor, image or font library, nor what only layered codes and loudness
# need (zlib, libebur128).
needed=$(objdump -p "$lib/libbleepforge.so" | awk '$1 == "NEEDED" {print $2}')
if grep -Eq 'png|freetype|fontconfig|gtk|gdk|cairo|pango|X11|xcb|glib|libz\.|ebur128' <<<"$needed"; then
    echo "libbleepforge.so links: $needed"; exit 1
fi

same() { # what, file, file
    if ! cmp -s "$2" "$3"; then
        echo "$1: the library's samples differ from bleepforge render's ($(stat -c %s "$2") and $(stat -c %s "$3") bytes)"
        exit 1
    fi
}

for program in shared static; do
    for case in "pickup 7" "slash 123" "random 4000000000"; do
        set -- $case
        code=$("$work/$program" sound "$1" "$2" "$work/lib.raw")
        "$cli" generate "$1" --seed "$2" --state-out "$work/made.state" -o "$work/made.wav" 2>/dev/null
        [[ $code == "$("$cli" share "$work/made.state")" ]] || { echo "$program $case: not generate's sound"; exit 1; }
        "$cli" render --state "$code" --seed "$2" --format float --channels 1 -o - >"$work/cli.raw" 2>/dev/null
        same "$program sound $case" "$work/lib.raw" "$work/cli.raw"
    done
    read -r code seed key velocity duration < <("$work/$program" play hit 5 3 "$work/lib.raw")
    "$cli" render --state "$code" --seed "$seed" --note "$key:$velocity:0:$duration" --format float \
        --channels 1 -o - >"$work/cli.raw" 2>/dev/null
    same "$program play 3" "$work/lib.raw" "$work/cli.raw"
done
echo "the installed libraries render bleepforge render's samples"
