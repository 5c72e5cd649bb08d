#!/bin/sh
# The tools in the plug-in's window, in jalv.gtk3 under the X server that cmake/xvfb-run.sh
# gives this script and a private JACK server: a 1 kHz sine at 0.5 in both inputs, the log
# view. Once the window has been drawn, the pointer enters it (the strip shows, the
# readout follows it); clicks on the strip turn peak hold on, set a 3 dB/oct tilt and keep
# the reference. A screenshot must then show the reference, the peak hold, the crosshair
# and the readout where the display's geometry puts them for the sine's levels (made by
# vexhost from the same sine, with the module's analysis, which the analysis control
# chooses here), but for the points under the status line and on the strip's rows.
#   jalv_tools_test.sh BUILD_DIR SINE_CLIENT VEXHOST TOOLS_CHECK X_SEND
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"
start_jack
bounded "$3" reference -q sine:1k@0.5+sine:1k@0.5 --view log --at 1 -o "$work/ref.vxrf" \
    >"$work/reference.log" 2>&1 || fail "vexhost could not make the reference"
start_ui vextools -c mode=2 -c analysis=0
start_sine sine "$2" 1000 0.5 vextools:signal_a vextools:signal_b
poll 400 find_window || fail "no window of the plug-in's UI"
# The window's height, for the strip: buttons of 46 x 16 pixels, 2 apart, from x = 24,
# their bottom 8 pixels above the window's; peak hold is the first, tilt the third, the
# reference the sixth.
height=$(bounded xwininfo -id "$window" | awk '/Height:/ { print $2 }')
[ -n "$height" ] || fail "no height of the window"
strip_y=$((height - 8 - 8))

# shows: after a click that keeps the reference (again: until a frame has come, there is
# none to keep), a screenshot passes the check (frames take a moment to come through the
# host, and the peak hold of the sine's onset a moment to fall).
shows() {
    bounded "$5" "$window" click $((24 + 5 * 48 + 23)) "$strip_y" || return 1
    bounded import -window "$window" "$work/shot.png" 2>>"$work/import.log" || return 1
    bounded "$4" "$work/shot.png" "$work/ref.vxrf" --tilt 3 --pointer 200,150 --strip \
        --status "module analysis  tilt 3 dB/oct  reference log 48000 Hz" >"$work/check.log" 2>&1
}
played >/dev/null
poll 200 painted || fail "the window was never drawn"
bounded "$5" "$window" enter 200 150 || fail "cannot move the pointer into the window"
bounded "$5" "$window" click $((24 + 0 * 48 + 23)) "$strip_y" || fail "cannot click the peak button"
bounded "$5" "$window" click $((24 + 2 * 48 + 23)) "$strip_y" || fail "cannot click the tilt button"
poll 200 shows "$@" || fail "the window does not show the tools where the display puts them"
cat "$work/check.log"

# gram: a screenshot of the spectrogram passes its check (its columns take a moment to fill).
gram() {
    bounded import -window "$window" "$work/gram.png" 2>>"$work/import.log" || return 1
    bounded "$6" "$work/gram.png" 1000 >"$work/gram.log" 2>&1
}
bounded "$5" "$window" keys w || fail "cannot type w"
poll 200 gram "$@" || fail "the spectrogram's tone row is not where its axis says: $(cat "$work/gram.log")"
cat "$work/gram.log"
