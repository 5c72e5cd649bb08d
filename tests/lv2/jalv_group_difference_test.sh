#!/bin/sh
# The difference across a group: two jalv processes in group 3 under a private JACK server
# and the X server that cmake/xvfb-run.sh gives this script, the log view. Member dry
# (jalv's console) hears white noise, member wet (jalv.gtk3 with the plug-in's UI) the same
# noise through a peaking filter (+9 dB at 1 kHz, Q 1), both into signal A. Each opens a
# saved state (jalv -l): dry's labels it "dry"; wet's turns the difference on against the
# member labelled "dry". Wet's window must then show the difference's curve where its
# scale puts the filter's gain around 1 kHz.
#   jalv_group_difference_test.sh BUILD_DIR NOISE_CLIENT DIFFERENCE_CHECK [OUTPUT.png]
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"
check=$3
output=${4:-}
start_jack
private_group 3

# saved_state NAME PROPERTIES: a state folder $work/NAME as hosts save one, holding the
# plug-in's PROPERTIES (Turtle).
saved_state() {
    mkdir "$work/$1" || fail "cannot make $work/$1"
    cat >"$work/$1/manifest.ttl" <<END
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
<state.ttl> a pset:Preset ;
    lv2:appliesTo <urn:vex:analyzer> ;
    rdfs:seeAlso <state.ttl> .
END
    cat >"$work/$1/state.ttl" <<END
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .
@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .
<> a pset:Preset ;
    lv2:appliesTo <urn:vex:analyzer> ;
    state:state [ $2 ] .
END
}
saved_state dry '<urn:vex:analyzer#label> "dry"'
saved_state wet '<urn:vex:analyzer#label> "wet" ;
        <urn:vex:analyzer#difference> "1.0"^^xsd:float ;
        <urn:vex:analyzer#differenceReference> "dry"'

# Dry first; jalv quits when its standard input closes.
mkfifo "$work/jalv.in"
stdbuf -oL jalv -n dry -l "$work/dry" -c group=3 -c mode=2 urn:vex:analyzer \
    <"$work/jalv.in" >"$work/jalv.log" 2>&1 &
started_pid $!
exec 3>"$work/jalv.in"
poll 400 has_port dry:signal_b || fail "jalv did not start member dry"
start_ui wet -l "$work/wet" -c group=3 -c mode=2
start_sine noise "$2" 9 1000 1 dry:signal_a wet:signal_a
poll 400 find_window || fail "no window of member wet's UI"
poll 200 painted || fail "wet's window was never drawn"

shows() {
    bounded import -window "$window" "$work/shot.png" 2>>"$work/import.log" &&
        bounded "$check" "$work/shot.png" 9 1000 1 >"$work/check.log" 2>&1
}
poll 600 shows || { cat "$work/check.log"; fail "wet's difference against dry is not where the filter's gain is"; }
tail -n 1 "$work/check.log"
[ -z "$output" ] || { mkdir -p "$(dirname "$output")" && cp "$work/shot.png" "$output"; }
