#!/bin/sh
# Ardour's Lua session tool with three tracks in group 1 (see ardour_group_session.lua);
# while it runs, vexhost live --group 1 watches the group and its picture (kept as
# OUTPUT.png when given) must show three members.
#   ardour_group_test.sh BUILD_DIR VEXHOST [OUTPUT.png]
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"
XDG_CONFIG_HOME="$work/config"
XDG_CACHE_HOME="$work/cache"
SDL_VIDEODRIVER=offscreen
SDL_AUDIODRIVER=dummy
VEX_GROUP_SCOPE="$test_name-$$"
export XDG_CONFIG_HOME XDG_CACHE_HOME SDL_VIDEODRIVER SDL_AUDIODRIVER VEX_GROUP_SCOPE
trap 'cleanup; rm -f "/dev/shm/vex-analyzer-$(id -u)-group-1-$VEX_GROUP_SCOPE"' EXIT

ardour7-lua "$(dirname "$0")/ardour_group_session.lua" "$work/session" "$work/ready" \
    "$work/done" >"$work/ardour.log" 2>&1 &
ardour=$!
started_pid $ardour
ready_or_over() {
    [ -f "$work/ready" ] || ! running "$ardour"
}
poll 2400 ready_or_over || fail "the session did not get ready"
if [ -f "$work/ready" ]; then
    "$2" live --group 1 --view log --no-peak-hold --screenshot "$work/group.png" --after 1 \
        >"$work/watch.log" 2>&1 || fail "vexhost live --group 1 failed"
    : >"$work/done"
    cat "$work/watch.log"
    grep -q '^group 1: 3 members' "$work/watch.log" || fail "vexhost did not see three members"
fi
wait $ardour
started="" # ended and reaped: its id may belong to another process now
grep '^ardour: members' "$work/ardour.log"
grep -q '^ardour: ok' "$work/ardour.log" || fail "Ardour's session did not pass"
[ -z "${3:-}" ] || { mkdir -p "$(dirname "$3")" && cp "$work/group.png" "$3"; }
