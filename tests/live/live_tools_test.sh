#!/bin/sh
# vexhost live with the tools set by its options, headless (SDL's offscreen video driver):
# a reference made by `vexhost reference` from a 1 kHz sine, drawn with a 3 dB/oct tilt over
# the same sine with peak hold and the readout under a pointer, checked where the display's
# own arithmetic puts each level; the reference saved on quitting equals the one loaded.
# Then bad reference files (truncated, of another format, of another version, holding a
# NaN level) each end the run with status 2 and a message saying what is wrong. Last, the
# spectrogram of a 1 kHz sine (with the pointer over it): the tone's row where its axis says.
#   live_tools_test.sh VEXHOST CHECK SPECTROGRAM_CHECK
set -u
. "$(dirname "$0")/../lv2/host_test_lib.sh"
vexhost=$1
check=$2
SDL_VIDEODRIVER=offscreen
SDL_AUDIODRIVER=dummy
export SDL_VIDEODRIVER SDL_AUDIODRIVER

signal=sine:1k@0.5+sine:1k@0.5
bounded "$vexhost" reference -q "$signal" --view log --at 1 -o "$work/ref.vxrf" >"$work/ref.log" 2>&1 ||
    fail "vexhost reference: $(cat "$work/ref.log")"
bounded "$vexhost" live "$signal" --reference "$work/ref.vxrf" --tilt 3 --mouse 200,150 \
    --save-reference "$work/saved.vxrf" --screenshot "$work/shot.png" --after 1.5 \
    >"$work/live.log" 2>&1 || fail "vexhost live: $(cat "$work/live.log")"
grep -q '(tilted 3)' "$work/live.log" || fail "the readout does not say it is tilted: $(cat "$work/live.log")"
bounded "$check" "$work/shot.png" "$work/ref.vxrf" --tilt 3 --pointer 200,150 ||
    fail "the screenshot does not show the tools where the display puts them"
cmp -s "$work/ref.vxrf" "$work/saved.vxrf" || fail "the saved reference differs from the loaded one"

# bad NAME EXPECTED: the reference file $work/NAME ends live with status 2 naming EXPECTED.
bad() {
    bounded "$vexhost" live "$signal" --reference "$work/$1" --screenshot "$work/bad.png" --after 0.1 \
        >"$work/bad.log" 2>&1
    status=$?
    [ "$status" -eq 2 ] || fail "$1: status $status, not 2"
    grep -q -- "--reference: $work/$1: $2" "$work/bad.log" ||
        fail "$1: no message about '$2': $(cat "$work/bad.log")"
    [ ! -e "$work/bad.png" ] || fail "$1: the run went on"
}
head -c 1000 "$work/ref.vxrf" >"$work/truncated.vxrf"
bad truncated.vxrf "truncated: 1000 of 4248 bytes"
cp "$work/shot.png" "$work/other.vxrf"
bad other.vxrf "not a reference file"
{ head -c 4 "$work/ref.vxrf"; printf '\002\000'; tail -c +7 "$work/ref.vxrf"; } >"$work/version.vxrf"
bad version.vxrf "version 2 of the format"
# A NaN (0x7FC00000, little-endian) as signal A's level of point 10, at byte 24 + 8 * 10.
{ head -c 104 "$work/ref.vxrf"; printf '\000\000\300\177'; tail -c +109 "$work/ref.vxrf"; } \
    >"$work/nan.vxrf"
bad nan.vxrf "signal A point 10 is not a finite value"

bounded "$vexhost" live sine:1k@0.5 --spectrogram --mouse 581,250 --screenshot "$work/gram.png" \
    --after 2 >"$work/gram.log" 2>&1 || fail "vexhost live --spectrogram: $(cat "$work/gram.log")"
grep -q 'cursor: .* s ago  .* Hz' "$work/gram.log" ||
    fail "no spectrogram readout: $(cat "$work/gram.log")"
bounded "$3" "$work/gram.png" 1000 || fail "the spectrogram's tone row is not where its axis says"
echo "tools in vexhost live: checked"
