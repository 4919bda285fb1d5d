#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the installed LV2 bundle
# with the LV2 tools: no errors or warnings from lv2_validate, and the ports
# lv2info reports are the instrument's.
set -euo pipefail
build=$1
prefix=$(mktemp -d /tmp/bleepforge-lv2-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT

# The bundle alone: a tree may have built only what the LV2 plug-in needs.
cmake --install "$build" --prefix "$prefix" --component lv2 >/dev/null
bundle=$prefix/lib/lv2/Bleepforge.lv2
for file in manifest.ttl bleepforge.ttl presets.ttl bleepforge.so bleepforge_ui.so Resources/Background.png; do
    [[ -e $bundle/$file ]] || { echo "installed bundle lacks $file"; exit 1; }
done

report=$(lv2_validate "$bundle"/*.ttl 2>&1)
echo "$report" | grep -q "Found 0 errors" || { echo "$report"; exit 1; }
if echo "$report" | grep -qi "warn"; then echo "$report"; exit 1; fi

# Hosts restore a preset's values by port symbol: each must be the plug-in's.
symbols() { grep -o 'lv2:symbol "[^"]*"' "$1" | sort -u; }
unknown=$(comm -23 <(symbols "$bundle/presets.ttl") <(symbols "$bundle/bleepforge.ttl"))
[[ -z $unknown ]] || { echo "the factory presets name ports the plug-in lacks: $unknown"; exit 1; }

info=$(LV2_PATH=$prefix/lib/lv2:/usr/lib/lv2 lv2info urn:vantrell:bleepforge)
count() { echo "$info" | grep -c "$1" || true; }
# One record per port: its type lines joined.
controls_in=$(echo "$info" | awk '/^\tPort [0-9]+:/{if(t ~ /InputPort/ && t ~ /ControlPort/) n++; t=""} /#/{t=t $0} END{if(t ~ /InputPort/ && t ~ /ControlPort/) n++; print n+0}')
[[ $controls_in -eq 60 ]] || { echo "lv2info lists $controls_in input controls, not 60"; exit 1; }
[[ $(count 'atom#AtomPort') -eq 1 ]] || { echo "lv2info lists no single MIDI input"; exit 1; }
[[ $(count 'lv2core#AudioPort') -eq 2 ]] || { echo "lv2info lists not two audio outputs"; exit 1; }
echo "$info" | grep -q "Class: *Instrument Plugin" || { echo "not an instrument"; exit 1; }

# The DSP binary loads into hosts without a toolkit.
if ldd "$bundle/bleepforge.so" | grep -Eiq 'libX11|gtk|gdk|cairo|glib'; then
    ldd "$bundle/bleepforge.so"; exit 1
fi
echo "lv2 bundle valid"
