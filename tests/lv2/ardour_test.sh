#!/bin/sh
# Ardour's Lua session tool with the installed bundle (see ardour_session.lua), its
# configuration kept in the test's own folder.
#   ardour_test.sh BUILD_DIR
set -u
. "$(dirname "$0")/host_test_lib.sh"
install_bundle "$1"
XDG_CONFIG_HOME="$work/config"
XDG_CACHE_HOME="$work/cache"
export XDG_CONFIG_HOME XDG_CACHE_HOME

ardour7-lua "$(dirname "$0")/ardour_session.lua" "$work/session" >"$work/ardour.log" 2>&1 &
ardour=$!
started_pid $ardour
wait_for $ardour
started="" # ended and reaped: its id may belong to another process now
grep '^ardour: meter' "$work/ardour.log"
grep -q '^ardour: ok' "$work/ardour.log" || fail "Ardour's session did not pass"
ardour_quiet_about_us "$work/ardour.log"
