# Shared by the host tests (sourced): a private work folder, the processes a test starts
# (ended by their process ids when the test exits, also on failure), polling, a private
# JACK server, and the bundle installed into a prefix of the test's own.
#
# Every wait ends by one deadline, VEX_TEST_SECONDS (CMake sets it below the test's CTest
# timeout) after the test began. Why: CTest kills a test at its timeout without running
# its traps, which would leave the work folder, group segments and JACK's files behind;
# a test that fails by its deadline still cleans up (within ten seconds more).
deadline=$(($(date +%s) + ${VEX_TEST_SECONDS:-100}))

work=$(mktemp -d "${TMPDIR:-/tmp}/vex-lv2-test-XXXXXX") || exit 1
# Names the test's JACK server; a test that runs another test's script in a mode of its own
# adds the mode.
test_name=$(basename "$0" .sh)
started=""
ending=""

# running PID: the process exists and has not yet exited (a zombie has).
running() {
    [ -r "/proc/$1/stat" ] && [ "$(sed 's/.*) //' "/proc/$1/stat" | cut -d' ' -f1)" != Z ]
}

# seconds_left: whole seconds to the deadline, at least 1.
seconds_left() {
    left=$((deadline - $(date +%s)))
    echo $((left > 0 ? left : 1))
}

# bounded COMMAND...: COMMAND, ended when the deadline passes, so that a program that hangs
# fails the test with its logs instead of running into CTest's timeout.
bounded() {
    timeout -k 2 "$(seconds_left)" "$@"
}

# Ends what the test started, last started first (the hosts before their server): each is
# asked to terminate, given what is left of ten seconds for all, then killed.
cleanup() {
    for pid in $started; do
        ending="$pid $ending"
    done
    tries=200
    for pid in ${ending:-}; do
        kill "$pid" 2>/dev/null
        while running "$pid" && [ "$tries" -gt 0 ]; do
            sleep 0.05
            tries=$((tries - 1))
        done
        running "$pid" && echo "killing $pid ($(tr "\0" " " </proc/$pid/cmdline 2>/dev/null)): it did not end when asked" >&2
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    [ -z "${group_segment:-}" ] || rm -f "$group_segment"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# fail MESSAGE: reports, shows the end of every log of the test, and exits.
fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*.log; do
        [ -f "$log" ] || continue
        echo "== $(basename "$log")" >&2
        tail -n 40 "$log" >&2
    done
    exit 1
}

# started_pid PID: ends PID when the test exits.
started_pid() {
    started="$started $1"
}

# poll TRIES COMMAND...: runs COMMAND every 50 ms until it succeeds; fails after TRIES or
# at the deadline.
# Why local: a command may poll in its turn.
poll() {
    local tries=$1
    shift
    while ! "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] && [ "$(date +%s)" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# wait_for PID: waits (until the deadline) for PID, started by the test, to end; fails
# when it is still running.
ended() {
    ! running "$1"
}
wait_for() {
    poll 1000000 ended "$1" || fail "process $1 did not end by the test's deadline"
    wait "$1" 2>/dev/null
}

# private_group GROUP: the group segments are this test's own (VEX_GROUP_SCOPE), and
# GROUP's is removed when the test ends.
private_group() {
    VEX_GROUP_SCOPE="$test_name-$$"
    export VEX_GROUP_SCOPE
    group_segment="/dev/shm/vex-analyzer-$(id -u)-group-$1-$VEX_GROUP_SCOPE"
}

# install_bundle BUILD_DIR: cmake --install into the test's prefix; sets LV2_PATH to it
# and to the system's LV2 folder (the core vocabulary bundles lv2_validate reads).
install_bundle() {
    bounded cmake --install "$1" --prefix "$work/prefix" --component lv2 \
        >"$work/install.log" 2>&1 ||
        fail "cmake --install failed"
    bundle="$work/prefix/lib/lv2/vex-analyzer.lv2"
    [ -f "$bundle/manifest.ttl" ] || fail "no bundle at $bundle"
    LV2_PATH="$work/prefix/lib/lv2:/usr/lib/lv2"
    export LV2_PATH
    build_dir=$1
}

# bundle_from_deb BUILD_DIR DEB: the Debian package unpacked with dpkg-deb into the
# test's folder ($root); LV2_PATH names its LV2 folder alone.
bundle_from_deb() {
    build_dir=$1
    root="$work/root"
    dpkg-deb -x "$2" "$root" || fail "dpkg-deb -x $2 failed"
    bundle="$root/usr/lib/lv2/vex-analyzer.lv2"
    [ -f "$bundle/manifest.ttl" ] || fail "no bundle at $bundle"
    LV2_PATH="$root/usr/lib/lv2"
    export LV2_PATH
    test_name="$test_name-deb"
}

# bundle_in_home BUILD_DIR TARBALL: the tarball unpacked into the test's folder ($top is
# its one folder) and its bundle copied into the .lv2 of a HOME of the test's own, where
# hosts find it as a user's plug-in: LV2_PATH is unset.
bundle_in_home() {
    build_dir=$1
    mkdir "$work/unpacked" "$work/home" "$work/home/.lv2" || fail "cannot make folders"
    tar -xzf "$2" -C "$work/unpacked" || fail "cannot unpack $2"
    top="$work/unpacked/$(basename "$2" .tar.gz)"
    [ -d "$top" ] || fail "$2 does not hold one folder named after it"
    cp -R "$top/lib/lv2/vex-analyzer.lv2" "$work/home/.lv2/" || fail "no bundle in $2"
    bundle="$work/home/.lv2/vex-analyzer.lv2"
    HOME="$work/home"
    export HOME
    unset LV2_PATH
    test_name="$test_name-home"
}

# jack_up: a server answers under $JACK_DEFAULT_SERVER, and it is the one this test
# started: its listening socket (/dev/shm/jack_NAME_UID_0) is one of that process's. Why:
# a server of the same name left by a killed run answers too, while this one fails.
jack_up() {
    bounded jack_lsp >/dev/null 2>&1 || return 1
    socket="/dev/shm/jack_${JACK_DEFAULT_SERVER}_$(id -u)_0"
    for inode in $(awk -v path="$socket" '$8 == path && $4 == "00010000" { print $7 }' \
        /proc/net/unix); do
        ls -l "/proc/$jack_pid/fd" 2>/dev/null | grep -q "socket:\[$inode\]" && return 0
    done
    fail "the server answering as $JACK_DEFAULT_SERVER is not the one this test started" \
        "(process $jack_pid)"
}

# start_jack: a private JACK server on the dummy driver, 48 kHz, 256-sample periods;
# JACK clients of the test reach it (and only it) through JACK_DEFAULT_SERVER. Why
# synchronous with a client time-out of seconds: on a loaded machine an asynchronous
# server skips a late client's cycle, and the plug-in would then see less audio than the
# sine client played. Why one name per test and build folder: JACK keeps eight server
# slots per user and frees a killed server's slot only for a server of the same name.
# Private servers do not keep clients apart by name (see tests/lv2/CMakeLists.txt on
# the jack_clients lock that every test calling this takes).
start_jack() {
    JACK_DEFAULT_SERVER="vex-$test_name-$(echo "$build_dir" | cksum | cut -d' ' -f1)"
    JACK_NO_START_SERVER=1
    export JACK_DEFAULT_SERVER JACK_NO_START_SERVER
    jackd --no-realtime -S -t 3000 -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 \
        >"$work/jackd.log" 2>&1 &
    jack_pid=$!
    started_pid $jack_pid
    poll 200 jack_up || fail "the JACK server did not start"
}

# has_port NAME: the JACK port NAME exists.
has_port() {
    bounded jack_lsp 2>/dev/null | grep -qx "$1"
}

# start_sine NAME SINE_CLIENT FREQUENCY AMPLITUDE PORT...: a sine client, its log
# $work/NAME.log, its standard input kept open on the next free descriptor from 4 (a line
# there makes it print the samples it played; `played` asks the one named "sine").
sine_fd=4
start_sine() {
    name=$1
    client=$2
    shift 2
    mkfifo "$work/$name.in"
    "$client" "$@" <"$work/$name.in" >"$work/$name.log" 2>&1 &
    started_pid $!
    eval "exec $sine_fd>\"\$work/\$name.in\""
    [ "$name" = sine ] && played_fd=$sine_fd
    sine_fd=$((sine_fd + 1))
    poll 400 grep -q '^connected' "$work/$name.log" || fail "the $name client did not connect"
}

# played: the samples the sine client has played so far (the graph's audio time).
played() {
    before=$(grep -c '^played' "$work/sine.log")
    echo >&"$played_fd"
    poll 200 sh -c "[ \$(grep -c '^played' '$work/sine.log') -gt $before ]" ||
        fail "the sine client did not answer"
    grep '^played' "$work/sine.log" | tail -n 1 | cut -d' ' -f2
}

# start_ui NAME CONTROL...: jalv.gtk3 running the plug-in with its UI as JACK client NAME
# (log $work/NAME.log), each CONTROL an option such as "-c mode=2"; waits for its ports.
start_ui() {
    name=$1
    shift
    NO_AT_BRIDGE=1
    export NO_AT_BRIDGE
    jalv.gtk3 -n "$name" "$@" urn:vex:analyzer >"$work/$name.log" 2>&1 &
    started_pid $!
    poll 400 has_port "$name:signal_b" || fail "jalv.gtk3 did not start the plug-in as $name"
}

# find_window: sets $window to the plug-in's window, named by the UI, in the X server's
# tree.
find_window() {
    window=$(bounded xwininfo -root -tree 2>/dev/null | grep '"VEX analyzer"' |
        awk '{ print $1 }' | head -n 1)
    [ -n "$window" ]
}

# painted: the window $window has been drawn (its picture holds more than a few colours).
# Why wait for it: the UI places the strip's buttons at its first draw and ignores clicks
# on them before.
painted() {
    bounded import -window "$window" "$work/painted.png" 2>>"$work/import.log" &&
        [ "$(identify -format '%k' "$work/painted.png")" -gt 8 ]
}

# ardour_quiet_about_us LOG: fails when Ardour's log holds an error or warning about the
# plug-in. Its log names it (LV2<VEX Analyzer>, its URIs), and its warnings of patch
# messages name neither.
ardour_quiet_about_us() {
    if grep -iE 'error|warning' "$1" | grep -iE 'VEX Analyzer|urn:vex|patch:|property'; then
        fail "Ardour reported an error or warning about the plug-in"
    fi
}
