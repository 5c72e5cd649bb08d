#!/bin/sh
# Two jalv processes in group 2 under a private JACK server and the X server that
# cmake/xvfb-run.sh gives this script: member A (jalv's console) hears a 1 kHz sine,
# member B (jalv.gtk3 with the plug-in's UI) a 5 kHz sine. Each member's members output
# reads 2; vexhost live --group 2, watching only, shows both peaks where the view puts
# their frequencies, A (the lowest slot) in the main colours and B shaded, and names the
# member whose trace is nearest its pointer; B's own window shows its own peak in the main
# colours and A's shaded. Then B's label, typed in its window, names B for the pointer on
# its peak.
#   jalv_group_test.sh BUILD_DIR SINE_CLIENT VEXHOST PICTURE_CHECK X_SEND [OUTPUT.png]
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"
start_jack
private_group 2
SDL_VIDEODRIVER=offscreen
SDL_AUDIODRIVER=dummy
export SDL_VIDEODRIVER SDL_AUDIODRIVER
vexhost=$3
check=$4
x_send=$5
output=${6:-}

# A first, so that it takes the lowest slot; jalv quits when its standard input closes.
mkfifo "$work/jalv.in"
stdbuf -oL jalv -n membera -c group=2 -c mode=2 urn:vex:analyzer \
    <"$work/jalv.in" >"$work/jalv.log" 2>&1 &
started_pid $!
exec 3>"$work/jalv.in"
poll 400 has_port membera:signal_b || fail "jalv did not start member A"

# monitor SYMBOL: the value of A's output control as jalv's monitors command shows it now.
monitor() {
    before=$(grep -c "^\(> *\)\?slot = " "$work/jalv.log")
    echo monitors >&3
    poll 200 sh -c "[ \$(grep -c '^\(> *\)\?slot = ' '$work/jalv.log') -gt $before ]" ||
        fail "no answer to monitors"
    grep "^\(> *\)\?$1 = " "$work/jalv.log" | tail -n 1 | sed 's/.* = //' | cut -d. -f1
}
a_in_slot_0() {
    [ "$(monitor slot)" = 0 ]
}
poll 200 a_in_slot_0 || fail "member A holds no slot"

start_ui memberb -c group=2 -c mode=2
start_sine tonea "$2" 1000 0.5 membera:signal_a membera:signal_b
start_sine toneb "$2" 5000 0.5 memberb:signal_a memberb:signal_b

two_members() {
    [ "$(monitor members)" = 2 ]
}
poll 200 two_members || fail "member A counts $(monitor members) members, not 2"

# The watching window: both peaks, A highlighted.
bounded "$vexhost" live --group 2 --view log --no-peak-hold --screenshot "$work/watch.png" --after 1 \
    >"$work/watch.log" 2>&1 || fail "vexhost live --group 2 failed"
grep -q '^group 2: 2 members' "$work/watch.log" || fail "vexhost did not see two members"
bounded "$check" "$work/watch.png" 1000:main 5000:shaded >"$work/check.log" 2>&1 ||
    fail "vexhost's picture does not show A in the main colours and B shaded"
cat "$work/check.log"

# names X NAME: vexhost's pointer at column X, on the level of the peaks, names NAME.
names() {
    bounded "$vexhost" live --group 2 --view log --mouse "$1,40" --screenshot "$work/pointer.png" \
        --after 0.5 >"$work/pointer.log" 2>&1 || fail "vexhost live --group 2 --mouse failed"
    grep -q "^nearest member: $2\$" "$work/pointer.log"
}
# The pointer on B's peak names B (slot 1: no label set, so its slot number), on A's A.
x5k=$(sed -n "s/^5000 Hz (x = \([0-9]*\),.*/\1/p" "$work/check.log")
x1k=$(sed -n "s/^1000 Hz (x = \([0-9]*\),.*/\1/p" "$work/check.log")
names "$x5k" 1 || fail "the pointer on B's peak names $(grep nearest "$work/pointer.log")"
names "$x1k" 0 || fail "the pointer on A's peak names $(grep nearest "$work/pointer.log")"

# B's own window: its peak in the main colours, A's shaded.
poll 400 find_window || fail "no window of member B's UI"
b_shows_group() {
    bounded import -window "$window" "$work/ui.png" 2>>"$work/import.log" &&
        bounded "$check" "$work/ui.png" 5000:main 1000:shaded >"$work/check.log" 2>&1
}
poll 100 b_shows_group || fail "member B's window does not show B in the main colours and A shaded"
cat "$work/check.log"

# B's label typed in its window (Return, the text, Return) goes through the host to B's
# DSP and into its slot, where vexhost reads it.
bounded "$x_send" "$window" keys Return l e a d Return || fail "cannot type in B's window"
b_is_lead() {
    names "$x5k" lead
}
poll 20 b_is_lead || fail "B's label did not reach its slot: $(grep nearest "$work/pointer.log")"
echo "B labelled from its window: $(grep nearest "$work/pointer.log")"
[ -z "$output" ] || { mkdir -p "$(dirname "$output")" && cp "$work/ui.png" "$output"; }
