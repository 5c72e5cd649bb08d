#!/bin/sh
# jalv.gtk3 with the plug-in's UI, under the X server that cmake/xvfb-run.sh gives this
# script and a private JACK server: a 1 kHz sine at 0.5 in both inputs, the mode control
# on the log view, the analysis control at its default (fine, on jalv's worker). A
# screenshot of the plug-in's window must show the peak on the 1 kHz grid line, with the
# grid, frame and labels equal to vexhost's render of the same view and size, and the
# status line saying the fine analysis. Then a click on the window shows the scope: the UI moves the mode control, the
# DSP sends scope frames, and the window shows the sine's scope trace as vexhost draws it.
#   jalv_gtk_test.sh BUILD_DIR SINE_CLIENT VEXHOST SCREENSHOT_CHECK X_SEND OUTPUT.png
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"
start_jack
start_ui vexui -c mode=2
start_sine sine "$2" 1000 0.5 vexui:signal_a vexui:signal_b
poll 400 find_window || fail "no window of the plug-in's UI"

# shows VIEW [--scope]: a screenshot now passes the check against vexhost's render of VIEW
# at its size (frames take a moment to come through the host).
vexhost=$3
check=$4
shows() {
    view=$1
    shift
    bounded import -window "$window" "$work/shot.png" 2>>"$work/import.log" || return 1
    shot_size=$(identify -format '%wx%h' "$work/shot.png") || return 1
    render="$work/render-$view-$shot_size.png"
    if [ ! -f "$render" ]; then
        bounded "$vexhost" render -q sine:1k@0.5+sine:1k@0.5 --view "$view" --size "$shot_size" \
            -o "$render" >/dev/null || fail "vexhost could not render"
    fi
    bounded "$check" "$@" "$work/shot.png" "$render" >"$work/check.log" 2>&1
}
poll 100 shows log --status "fine analysis" ||
    fail "the window does not show the sine's log spectrum of the fine analysis"
cat "$work/check.log"
mkdir -p "$(dirname "$6")" && cp "$work/shot.png" "$6"

bounded "$5" "$window" click 100 100 || fail "cannot click the window"
poll 100 shows scope --scope || fail "after a click the window does not show the sine's scope"
cat "$work/check.log"
