#!/bin/sh
# Runs one Windows test program under wine with a virtual X display of its own (see
# xvfb-run.sh), in the given prefix, and waits for wine's server to go so that CTest does
# not wait on it.
prefix="$1"
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
sh "$(dirname "$0")/xvfb-run.sh" wine "$@" </dev/null
status=$?
wineserver -w
exit $status
