#!/bin/sh
# Renders the native-vs-wine comparison scene with the native vexhost, when it is built:
# native_scene.sh VEXHOST OUT.png ARGS... (exit 77, skipped, without a native build).
vexhost="$1"
out="$2"
shift 2
rm -f "$out"
[ -x "$vexhost" ] || { echo "no native vexhost at $vexhost"; exit 77; }
mkdir -p "$(dirname "$out")"
exec "$vexhost" "$@" --quiet -o "$out"
