#!/bin/sh
# jalv's console under a private JACK server: a 1 kHz sine at 0.5 from our sine client in
# both inputs; jalv's monitors show frames sent rising at the chosen rate and the peaks.
# The bundle is the one cmake --install puts into a prefix, or with "deb DEB" the one in
# the unpacked Debian package, or with "home TARBALL" the tarball's copied into ~/.lv2.
#   jalv_console_test.sh BUILD_DIR SINE_CLIENT [deb DEB | home TARBALL]
set -u
. "$(dirname "$0")/host_test_lib.sh"
case "${3:-}" in
deb) bundle_from_deb "$1" "$4" ;;
home) bundle_in_home "$1" "$4" ;;
*) install_bundle "$1" ;;
esac
start_jack

# jalv quits when its standard input closes: descriptor 3 keeps it open.
mkfifo "$work/jalv.in"
stdbuf -oL jalv -n vexa -c always=1 -c mode=0 -c rate=3 urn:vex:analyzer \
    <"$work/jalv.in" >"$work/jalv.log" 2>&1 &
jalv_pid=$!
started_pid $jalv_pid
exec 3>"$work/jalv.in"
poll 400 has_port vexa:signal_b || fail "jalv did not start the plug-in"
# The plug-in jalv runs is the bundle's, with the module inside it.
for library in vex_analyzer_dsp.so VEX_ANALYZER.sem; do
    grep -q " $(cd "$bundle" && pwd -P)/$library\$" "/proc/$jalv_pid/maps" ||
        fail "jalv has not loaded $bundle/$library"
done
start_sine sine "$2" 1000 0.5 vexa:signal_a vexa:signal_b

# monitor SYMBOL: the value jalv's monitors command shows now.
monitor() {
    before=$(grep -c "^> *frames_sent = \|^frames_sent = " "$work/jalv.log")
    echo monitors >&3
    poll 200 sh -c "[ \$(grep -c '^> *frames_sent = \|^frames_sent = ' '$work/jalv.log') -gt $before ] &&
        [ \$(grep -c '^peak_b = ' '$work/jalv.log') -gt $before ]" || fail "no answer to monitors"
    grep "^\(> *\)\?$1 = " "$work/jalv.log" | tail -n 1 | sed 's/.* = //'
}
sent_some() {
    [ "$(monitor frames_sent | cut -d. -f1)" -gt 2 ]
}
poll 200 sent_some || fail "frames sent does not rise"

# A reading of jalv's monitors is what the plug-in wrote at the end of its last run. The
# sine client and the plug-in run the same periods of the synchronous graph, at most one
# apart, so with a count of played samples taken before the reading and one taken after,
# the reading's audio time lies in [before - 256, after + 256] however long each step took
# on this machine.
t0a=$(played)
f0=$(monitor frames_sent)
t0b=$(played)
# Four seconds of audio time, however fast this machine runs the graph.
four_seconds() {
    [ "$(played)" -ge $((t0b + 192000)) ]
}
poll 600 four_seconds || fail "the graph did not play four seconds"
t1a=$(played)
f1=$(monitor frames_sent)
t1b=$(played)
peak_a=$(monitor peak_a)
peak_b=$(monitor peak_b)
dropped=$(monitor frames_dropped)

# Rate choice 3 in the scope view: a frame ends 200 captured samples after a rising edge;
# then a hold-off of 48000 / 20 = 2400 samples runs to the end of the 256-sample period in
# which it passes (2401 to 2656 samples), and the next rising edge of the 48-sample cycle
# comes 1 to 49 samples later: frames end 2602 to 2905 samples apart (16.5 to 18.5 a
# second), and every stretch of S samples holds at least S / 2905 of them and at most
# S / 2602 + 1.
span=$(echo "$t0a $t0b $t1a $t1b" | awk '{ print $3 - $2 - 512, $4 - $1 + 512 }')
expected=$(echo "$span" | awk '{ printf "%d %d", $1 / 2905, $2 / 2602 + 1 }')
sent=$(echo "$f0 $f1" | awk '{ printf "%d", $2 - $1 }')
echo "frames sent $f0 -> $f1: $sent over $span samples (from $t0a..$t0b to $t1a..$t1b), expected $expected; peaks $peak_a $peak_b; dropped $dropped"
echo "$sent $expected" | awk '{ exit !($1 >= $2 && $1 <= $3) }' ||
    fail "$sent frames sent over $span samples"
# 48 samples a cycle, starting at phase 0: the crest is sampled exactly.
for peak in "$peak_a" "$peak_b"; do
    echo "$peak" | awk '{ exit !($1 >= 0.4985 && $1 <= 0.5005) }' || fail "peak $peak, not 0.5"
done
[ "$dropped" = "0.000000" ] || fail "$dropped frames dropped"
