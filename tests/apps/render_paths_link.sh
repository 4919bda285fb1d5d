#!/usr/bin/env bash
# The binaries that only render link no editor library: no PNG, zlib, font,
# toolkit or X library for the LV2 plug-in's DSP binary; no PNG, font,
# toolkit or X library for the hosts (their sound files may compress).
# Usage: render_paths_link.sh LV2-DSP-BINARY HOST-BINARY...
set -euo pipefail
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
refuse() {
    local binary=$1 pattern=$2 found
    found=$(needed "$binary" | grep -E "$pattern" || true)
    if [[ -n $found ]]; then
        echo "$binary links $(echo $found)"
        exit 1
    fi
    needed "$binary" | grep -q . || { echo "$binary: no libraries read"; exit 1; }
}
drawing='^lib(png|freetype|fontconfig|gtk|gdk|cairo|pango|glib|gobject|X11|Xext|xcb)'
refuse "$1" "$drawing|^libz\\."
shift
for host in "$@"; do
    refuse "$host" "$drawing"
done
echo "render paths link no editor library"
