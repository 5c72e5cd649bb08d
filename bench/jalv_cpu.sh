#!/bin/sh
# CPU of the plug-in in fine analysis under jalv against a peer spectrum analyzer under the
# same jalv, one after the other in one run: a private JACK server (dummy driver, 48 kHz),
# our sine client playing 1 kHz at 0.5 into the plug-in's inputs for 20 s of audio, and the
# processor time (user + system, all of jalv's threads: the worker's transforms included)
# jalv used meanwhile. Ours sends 25 frames a second of the log view with no UI open
# (always=1); the peer runs with its defaults. With --ui (under an X server, e.g.
# cmake/xvfb-run.sh) each runs in jalv.gtk3 with its window open instead, the windows'
# painting counted too.
#   jalv_cpu.sh [--ui] BUILD_DIR SINE_CLIENT [PEER_URI]
set -u
jalv=jalv
if [ "${1:-}" = --ui ]; then
    jalv=jalv.gtk3
    NO_AT_BRIDGE=1
    export NO_AT_BRIDGE
    shift
fi
VEX_TEST_SECONDS=${VEX_TEST_SECONDS:-170}
. "$(dirname "$0")/../tests/lv2/host_test_lib.sh"
install_bundle "$1"
start_jack
peer=${3:-http://lsp-plug.in/plugins/lv2/spectrum_analyzer_x2}

# ticks PID: the process's user + system time in clock ticks.
ticks() {
    awk '{ print $14 + $15 }' "/proc/$1/stat"
}

# start_jalv NAME LAST_INPUT URI CONTROL...: jalv's console running URI as client NAME; its
# process id in $pid_NAME.
fd=5
start_jalv() {
    name=$1 last=$2 uri=$3
    shift 3
    mkfifo "$work/$name.in"
    "$jalv" -n "$name" "$@" "$uri" <"$work/$name.in" >"$work/$name.log" 2>&1 &
    started_pid $!
    eval "pid_$name=$!"
    eval "exec $fd>\"\$work/\$name.in\""
    fd=$((fd + 1))
    poll 400 has_port "$name:$last" || fail "jalv did not start $uri"
}
start_jalv vexfine signal_b urn:vex:analyzer -c always=1 -c mode=2 -c rate=4 -c analysis=1
start_jalv vexmodule signal_b urn:vex:analyzer -c always=1 -c mode=2 -c rate=4 -c analysis=0
start_jalv peer in1 "$peer"
start_sine sine "$2" 1000 0.5 vexfine:signal_a vexfine:signal_b vexmodule:signal_a \
    vexmodule:signal_b peer:in0 peer:in1
sleep 2 # the first transforms, and the plans made
t0=$(played)
c0="$(ticks $pid_vexfine) $(ticks $pid_vexmodule) $(ticks $pid_peer)"
twenty() { [ "$(played)" -ge $((t0 + 960000)) ]; }
poll 3000 twenty || fail "the graph did not play 20 s"
c1="$(ticks $pid_vexfine) $(ticks $pid_vexmodule) $(ticks $pid_peer)"
t1=$(played)
echo "$c0 $c1 $t0 $t1 $(getconf CLK_TCK)" | awk '{
    seconds = ($8 - $7) / 48000
    fine = ($4 - $1) / $9 / seconds * 100
    module = ($5 - $2) / $9 / seconds * 100
    peer = ($6 - $3) / $9 / seconds * 100
    printf "percent of one core over %.1f s of audio: fine %.1f, module %.1f, peer %.1f; fine / peer %.2f\n",
        seconds, fine, module, peer, (peer > 0 ? fine / peer : 0)
}'
