#!/bin/sh
# Unpacks the Windows download into a private folder, checks that it holds exactly the
# plug-in and its README in one folder named after the version, then loads the plug-in from
# there with vexhost under wine: the factory answers, and both objects render a picture.
# Arguments: ZIP VERSION VEXHOST_EXE WINE_RUN_SCRIPT WINE_PREFIX
set -u
zip="$1"
version="$2"
vexhost="$3"
wine_run="$4"
prefix="$5"

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
fail() {
    echo "package test: $*" >&2
    exit 1
}

cd "$work" || exit 1
cmake -E tar xf "$zip" || fail "cannot unpack $zip"
folder="VEX_ANALYZER-$version-win32"
listing=$(find . -type f | sort)
expected="./$folder/README.txt
./$folder/VEX_ANALYZER.sem"
[ "$listing" = "$expected" ] || fail "the zip holds:
$listing"
grep -q "VEX_ANALYZER.sem" "$folder/README.txt" || fail "README.txt does not name the file"

module="Z:$work/$folder/VEX_ANALYZER.sem"
info=$(sh "$wine_run" "$prefix" "$vexhost" info --module "$module" 2>&1) ||
    fail "vexhost info failed: $info"
echo "$info"
echo "$info" | grep -q "^framework version: 30400" || fail "no build information"

sh "$wine_run" "$prefix" "$vexhost" render sine:440 --view log --size 200x100 -q \
    --module "$module" -o "Z:$work/log.png" || fail "vexhost render failed"
signature=$(od -An -tx1 -N8 "$work/log.png" | tr -d ' \n')
[ "$signature" = "89504e470d0a1a0a" ] || fail "no PNG picture written (starts $signature)"
echo "package test: $folder loads from the zip and renders"
