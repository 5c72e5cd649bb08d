#!/bin/sh
# jalv.gtk3 with the plug-in's UI, under the X server xvfb-run gives this script, and a
# private JACK server: a 1 kHz sine at 0.5 in both inputs, the mode control on the log
# view. A screenshot of the plug-in's window must show the peak on the 1 kHz grid line,
# with the grid, frame and labels equal to vexhost's render of the same view and size.
# Then a click on the window shows the scope: the UI moves the mode control, the DSP sends
# scope frames, and the window shows the sine's scope trace as vexhost draws it.
#   jalv_gtk_test.sh BUILD_DIR SINE_CLIENT VEXHOST SCREENSHOT_CHECK X_CLICK OUTPUT.png
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

# shows VIEW [--scope]: a screenshot now passes the check against vexhost's render of VIEW
# at its size (frames take a moment to come through the host).
vexhost=$3
check=$4
shows() {
    view=$1
    shift
    import -window "$window" "$work/shot.png" 2>>"$work/import.log" || return 1
    shot_size=$(identify -format '%wx%h' "$work/shot.png") || return 1
    render="$work/render-$view-$shot_size.png"
    if [ ! -f "$render" ]; then
        "$vexhost" render -q sine:1k@0.5+sine:1k@0.5 --view "$view" --size "$shot_size" \
            -o "$render" >/dev/null || fail "vexhost could not render"
    fi
    "$check" "$@" "$work/shot.png" "$render" >"$work/check.log" 2>&1
}
poll 100 shows log || fail "the window does not show the sine's log spectrum"
cat "$work/check.log"
mkdir -p "$(dirname "$6")" && cp "$work/shot.png" "$6"

"$5" "$window" 100 100 || fail "cannot click the window"
poll 100 shows scope --scope || fail "after a click the window does not show the sine's scope"
cat "$work/check.log"
