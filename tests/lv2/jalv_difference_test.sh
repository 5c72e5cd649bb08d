#!/bin/sh
# The difference in the plug-in's window, in jalv.gtk3 under the X server that
# cmake/xvfb-run.sh gives this script and a private JACK server: white noise into signal A
# and the same noise through a peaking filter (+9 dB at 1 kHz, Q 1) into signal B, the log
# view. The difference is off until the key d turns it on; a screenshot must then show its
# curve where its scale puts the filter's gain around 1 kHz (the averages take a few
# seconds to settle).
#   jalv_difference_test.sh BUILD_DIR NOISE_CLIENT X_SEND DIFFERENCE_CHECK [OUTPUT.png]
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"
x_send=$3
check=$4
output=${5:-}
start_jack
start_ui vexdiff -c mode=2
start_sine noise "$2" 9 1000 1 vexdiff:signal_a vexdiff:signal_b
poll 400 find_window || fail "no window of the plug-in's UI"
poll 200 painted || fail "the window was never drawn"
# Off until d: the first picture drawn shows no difference.
bounded "$check" "$work/painted.png" 9 1000 1 >"$work/before.log" 2>&1 &&
    fail "the window shows a difference before d"
bounded "$x_send" "$window" keys d || fail "cannot press d in the window"

shows() {
    bounded import -window "$window" "$work/shot.png" 2>>"$work/import.log" &&
        bounded "$check" "$work/shot.png" 9 1000 1 >"$work/check.log" 2>&1
}
poll 600 shows || { cat "$work/check.log"; fail "the difference is not where the filter's gain is"; }
tail -n 1 "$work/check.log"
[ -z "$output" ] || { mkdir -p "$(dirname "$output")" && cp "$work/shot.png" "$output"; }
