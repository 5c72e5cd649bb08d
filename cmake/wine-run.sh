#!/bin/sh
# Runs one Windows test program under wine with a virtual X display, in the given prefix,
# and waits for wine's server to go so that CTest does not wait on it.
prefix="$1"
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb-run -a wine "$@" </dev/null
status=$?
wineserver -w
exit $status
