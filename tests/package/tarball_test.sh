#!/bin/sh
# The tarball: one folder named after it, holding the install tree. Its LV2 bundle stands
# alone in ~/.lv2: no search path into the build, every library its files need is one of
# Debian's own (dpkg-shlibdeps finds a package for each), and each library exports its
# entry point only.
#   tarball_test.sh BUILD_DIR TARBALL
set -u
. "$(dirname "$0")/../lv2/host_test_lib.sh"
bundle_in_home "$1" "$2"

[ -x "$top/bin/vexhost" ] || fail "no bin/vexhost in the tarball"
[ "$(ls "$work/unpacked")" = "$(basename "$top")" ] || fail "more than one folder"

# exports LIBRARY SYMBOL: the only symbol LIBRARY defines for others is SYMBOL.
exports() {
    defined=$(nm -D --defined-only "$bundle/$1" | awk '{ print $3 }')
    [ "$defined" = "$2" ] || fail "$1 exports:" $defined
}
exports vex_analyzer_dsp.so lv2_descriptor
exports vex_analyzer_ui.so lv2ui_descriptor
exports VEX_ANALYZER.sem MP_GetFactory

libraries="$bundle/vex_analyzer_dsp.so $bundle/vex_analyzer_ui.so $bundle/VEX_ANALYZER.sem"
for library in $libraries; do
    ! readelf -d "$library" | grep -q "(RPATH)\|(RUNPATH)" || fail "$library has a search path"
done
mkdir -p "$work/shlibs/debian" && : >"$work/shlibs/debian/control" || fail "no folder"
(cd "$work/shlibs" && dpkg-shlibdeps -O $libraries) >"$work/shlibdeps.log" 2>&1 ||
    fail "the bundle needs a library no Debian package provides"
echo "tarball test: $(sed -n 's/^shlibs:Depends=//p' "$work/shlibdeps.log")"
