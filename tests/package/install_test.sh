#!/bin/sh
# cmake --install into a prefix of the test's own and into DESTDIR staging under the
# configured prefix give the same files, byte for byte, and nothing outside the prefix;
# the installed vexhost finds the installed module from its own folder.
#   install_test.sh BUILD_DIR
set -u
. "$(dirname "$0")/../lv2/host_test_lib.sh"
build=$1
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
lv2_dir=$(sed -n 's/^VEX_LV2_DIR:STRING=//p' "$build/CMakeCache.txt")
[ -n "$prefix" ] && [ -n "$lv2_dir" ] || fail "no install folders in $build/CMakeCache.txt"

cmake --install "$build" --prefix "$work/prefix" >"$work/prefix.log" 2>&1 ||
    fail "cmake --install --prefix failed"
DESTDIR="$work/stage" cmake --install "$build" >"$work/stage.log" 2>&1 ||
    fail "DESTDIR=... cmake --install failed"

# listing FOLDER: every file and link under FOLDER, relative to it.
listing() {
    (cd "$1" && find . ! -type d | sort)
}
[ -n "$(listing "$work/prefix")" ] || fail "nothing installed"
[ "$(listing "$work/stage")" = "$(listing "$work/stage$prefix" | sed "s|^\.|.$prefix|")" ] ||
    fail "DESTDIR staging put files outside $prefix"
[ "$(listing "$work/prefix")" = "$(listing "$work/stage$prefix")" ] ||
    fail "the two installs hold different files"
diff -r "$work/prefix" "$work/stage$prefix" >"$work/diff.log" 2>&1 ||
    fail "the two installs differ"

for root in "$work/prefix" "$work/stage$prefix"; do
    "$root/bin/vexhost" info >"$work/info.log" 2>&1 || fail "$root/bin/vexhost info failed"
    grep -qx "module: $(cd "$root" && pwd -P)/$lv2_dir/vex-analyzer.lv2/VEX_ANALYZER.sem" \
        "$work/info.log" || fail "$root/bin/vexhost did not load the installed module"
done
echo "install test: $(listing "$work/prefix" | wc -l) files the same under --prefix and DESTDIR"
