#!/bin/sh
# The installed bundle: lv2_validate finds no error, and lv2info lists the plug-in as an
# analyser with every port its description states, and its maker.
#   validate_test.sh BUILD_DIR
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"

lv2_validate "$bundle"/*.ttl >"$work/validate.log" 2>&1
grep -q 'Found 0 errors' "$work/validate.log" || fail "lv2_validate reported errors"
grep -v 'Found 0 errors' "$work/validate.log" | grep -qi 'error' && fail "lv2_validate reported errors"

lv2info urn:vex:analyzer >"$work/lv2info.log" 2>&1 || fail "lv2info failed"
grep -q 'Class: *Analyser Plugin' "$work/lv2info.log" || fail "not listed as an analyser"
grep -q 'X11UI' "$work/lv2info.log" || fail "no X11 UI listed"
grep -q 'Author: *VEX$' "$work/lv2info.log" || fail "no maker listed"
# The ports as the bundle's description states them, "index symbol" a line (the port
# table's test checks the description against the plug-in's table).
sordi "$bundle/vex-analyzer.ttl" "file://$bundle/" | awk '
    $2 == "<http://lv2plug.in/ns/lv2core#index>" { split($3, v, "\""); index_of[$1] = v[2] }
    $2 == "<http://lv2plug.in/ns/lv2core#symbol>" { split($3, v, "\""); symbol_of[$1] = v[2] }
    END { for (node in index_of) if (node in symbol_of) print index_of[node], symbol_of[node] }
' | sort -n >"$work/ports.txt"
[ -s "$work/ports.txt" ] || fail "no ports read from the description"
index=0
while read -r stated symbol; do
    [ "$stated" -eq "$index" ] || fail "the description has no port $index"
    # Each port's block, from its index to the next port's, lists its symbol.
    awk -v port="Port $index:" '$0 ~ /^\tPort [0-9]+:/ { inside = ($1 " " $2 == port) } inside' \
        "$work/lv2info.log" | grep -q "Symbol: *$symbol\$" ||
        fail "port $index is not listed as $symbol"
    index=$((index + 1))
done <"$work/ports.txt"
grep -q "Port $index:" "$work/lv2info.log" && fail "more ports than expected"
for label in '"Scope"' '"Freq (Linear)"' '"Freq (Log)"' '"5 frames/s"' '"40 frames/s"'; do
    grep -qF "$label" "$work/lv2info.log" || fail "no scale point $label"
done
echo "validated; $index ports listed"
