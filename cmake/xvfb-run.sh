#!/bin/sh
# Runs COMMAND under an X server of its own (Xvfb, one 1280x1024 screen of 24 bits) and ends
# the server by its process id when COMMAND ends. Why not xvfb-run -a: it takes the first
# display number without a lock file, and two runs started together may take the same one;
# here the server picks its number itself (-displayfd), holding that number's lock.
#   xvfb-run.sh COMMAND...
set -u
dir=$(mktemp -d "${TMPDIR:-/tmp}/vex-xvfb-XXXXXX") || exit 1
: >"$dir/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>>"$dir/display" >"$dir/xvfb.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$dir"' EXIT
trap 'exit 1' INT TERM HUP
# The server writes its display number and a newline once it takes connections.
tries=400
while [ "$(wc -l <"$dir/display")" -lt 1 ]; do
    tries=$((tries - 1))
    if [ "$tries" -le 0 ] || ! kill -0 "$server" 2>/dev/null; then
        echo "xvfb-run.sh: the X server did not start:" >&2
        cat "$dir/xvfb.log" >&2
        exit 1
    fi
    sleep 0.05
done
DISPLAY=":$(head -n 1 "$dir/display")"
export DISPLAY
"$@"
