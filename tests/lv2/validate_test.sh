#!/bin/sh
# The installed bundle: lv2_validate finds no error, and lv2info lists the plug-in as an
# analyser with every port.
#   validate_test.sh BUILD_DIR
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"

bounded lv2_validate "$bundle"/*.ttl >"$work/validate.log" 2>&1
grep -q 'Found 0 errors' "$work/validate.log" || fail "lv2_validate reported errors"
grep -v 'Found 0 errors' "$work/validate.log" | grep -qi 'error' && fail "lv2_validate reported errors"

bounded lv2info urn:vex:analyzer >"$work/lv2info.log" 2>&1 || fail "lv2info failed"
grep -q 'Class: *Analyser Plugin' "$work/lv2info.log" || fail "not listed as an analyser"
grep -q 'X11UI' "$work/lv2info.log" || fail "no X11 UI listed"
index=0
for symbol in signal_a signal_b out_a out_b control notify mode rate enable always \
    frames_sent frames_dropped peak_a peak_b group members slot; do
    # Each port's block, from its index to the next port's, lists its symbol.
    awk -v port="Port $index:" '$0 ~ /^\tPort [0-9]+:/ { inside = ($1 " " $2 == port) } inside' \
        "$work/lv2info.log" | grep -q "Symbol: *$symbol\$" ||
        fail "port $index is not listed as $symbol"
    index=$((index + 1))
done
grep -q "Port $index:" "$work/lv2info.log" && fail "more ports than expected"
for label in '"Scope"' '"Freq (Linear)"' '"Freq (Log)"' '"5 frames/s"' '"40 frames/s"'; do
    grep -qF "$label" "$work/lv2info.log" || fail "no scale point $label"
done
echo "validated; $index ports listed"
