#!/bin/sh
# Ardour's Lua session tool with three tracks in group 1 (see ardour_group_session.lua);
# while it runs, vexhost live --group 1 watches the group: it must see three members, and
# its picture (kept as OUTPUT.png when given) must show each track's sine where the view
# puts its frequency, the member in the lowest slot in the main colours and the others
# shaded.
#   ardour_group_test.sh BUILD_DIR VEXHOST PICTURE_CHECK [OUTPUT.png]
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"
private_group 1
XDG_CONFIG_HOME="$work/config"
XDG_CACHE_HOME="$work/cache"
SDL_VIDEODRIVER=offscreen
SDL_AUDIODRIVER=dummy
export XDG_CONFIG_HOME XDG_CACHE_HOME SDL_VIDEODRIVER SDL_AUDIODRIVER

ardour7-lua "$(dirname "$0")/ardour_group_session.lua" "$work/session" "$work/ready" \
    "$work/done" >"$work/ardour.log" 2>&1 &
ardour=$!
started_pid $ardour
ready_or_over() {
    [ -f "$work/ready" ] || ! running "$ardour"
}
poll 1000000 ready_or_over || fail "the session did not get ready"
if [ -f "$work/ready" ]; then
    bounded "$2" live --group 1 --view log --no-peak-hold --screenshot "$work/group.png" \
        --after 1 >"$work/watch.log" 2>&1 || fail "vexhost live --group 1 failed"
    : >"$work/done"
    cat "$work/watch.log"
    grep -q '^group 1: 3 members' "$work/watch.log" || fail "vexhost did not see three members"
    # The ready file: "HERTZ SLOT" a track. The lowest slot is highlighted.
    lines=$(sort -n -k 2 "$work/ready" | awk '{ print $1 ":" (NR == 1 ? "main" : "shaded") }')
    [ "$(echo "$lines" | wc -w)" -eq 3 ] || fail "the ready file does not name three slots"
    bounded "$3" "$work/group.png" $lines >"$work/check.log" 2>&1 ||
        fail "vexhost's picture does not show each track where its frequency lies"
    cat "$work/check.log"
fi
wait_for $ardour
started="" # ended and reaped: its id may belong to another process now
grep '^ardour: members' "$work/ardour.log"
grep -q '^ardour: ok' "$work/ardour.log" || fail "Ardour's session did not pass"
ardour_quiet_about_us "$work/ardour.log"
[ -z "${4:-}" ] || { mkdir -p "$(dirname "$4")" && cp "$work/group.png" "$4"; }
