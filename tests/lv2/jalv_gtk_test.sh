#!/bin/sh
# jalv.gtk3 with the plug-in's UI, under the X server xvfb-run gives this script, and a
# private JACK server: a 1 kHz sine at 0.5 in both inputs, the mode control on the log
# view. A screenshot of the plug-in's window must show the peak on the 1 kHz grid line,
# with the grid, frame and labels equal to vexhost's render of the same view and size.
#   jalv_gtk_test.sh BUILD_DIR SINE_CLIENT VEXHOST SCREENSHOT_CHECK OUTPUT.png
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"
start_jack
NO_AT_BRIDGE=1
export NO_AT_BRIDGE

jalv.gtk3 -n vexui -c mode=2 urn:vex:analyzer >"$work/jalv.log" 2>&1 &
started_pid $!
poll 400 has_port vexui:signal_b || fail "jalv.gtk3 did not start the plug-in"
start_sine "$2" 1000 0.5 vexui:signal_a vexui:signal_b

# find_window: the plug-in's window, named by the UI, in the X server's tree.
find_window() {
    window=$(xwininfo -root -tree 2>/dev/null | grep '"VEX analyzer"' | awk '{ print $1 }' |
        head -n 1)
    [ -n "$window" ]
}
poll 400 find_window || fail "no window of the plug-in's UI"

# shows_the_sine: a screenshot now passes the check against vexhost's render at its size
# (the first frames take a moment to come through the host).
size=""
shows_the_sine() {
    import -window "$window" "$work/shot.png" 2>>"$work/import.log" || return 1
    shot_size=$(identify -format '%wx%h' "$work/shot.png") || return 1
    if [ "$shot_size" != "$size" ]; then
        "$3" render -q sine:1k@0.5+sine:1k@0.5 --view log --size "$shot_size" \
            -o "$work/render.png" >/dev/null || fail "vexhost could not render $shot_size"
        size=$shot_size
    fi
    "$4" "$work/shot.png" "$work/render.png" >"$work/check.log" 2>&1
}
poll 100 shows_the_sine "$@" || fail "the window does not show the sine's log spectrum"
cat "$work/check.log"
mkdir -p "$(dirname "$5")" && cp "$work/shot.png" "$5"
