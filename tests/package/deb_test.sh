#!/bin/sh
# The Debian package unpacked with dpkg-deb into the test's own folder: its name, version
# and dependencies (exactly what dpkg-shlibdeps finds its binaries need), the README's
# pictures beside it; vexhost from there prints the version, finds its module from its own
# folder and writes the demo pictures; lv2ls finds the plug-in in its LV2 folder.
#   deb_test.sh BUILD_DIR DEB VERSION
set -u
. "$(dirname "$0")/../lv2/host_test_lib.sh"
deb=$2
version=$3
bundle_from_deb "$1" "$deb"

[ "$(dpkg-deb -f "$deb" Package)" = vex-analyzer ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"

# dpkg-shlibdeps reads debian/control in its working folder, as in a source package. Why
# without --ignore-missing-info (which the package build passes): a library no package
# provides then fails here instead of going missing from Depends.
mkdir -p "$work/shlibs/debian" && : >"$work/shlibs/debian/control" || fail "no folder"
binaries=$(find "$root" -type f -exec sh -c '[ "$(head -c 4 "$1" | tail -c 3)" = ELF ]' sh {} \; \
    -print)
[ -n "$binaries" ] || fail "no binaries in the package"
computed=$(cd "$work/shlibs" && dpkg-shlibdeps -O $binaries 2>"$work/shlibdeps.log" |
    sed -n 's/^shlibs:Depends=//p')
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[ -n "$computed" ] && [ "$depends" = "$computed" ] ||
    fail "Depends is not what the binaries need: $computed"

doc="$root/usr/share/doc/vex-analyzer"
[ -f "$doc/copyright" ] && [ -f "$doc/README.md" ] || fail "no copyright or README in $doc"
for picture in $(grep -o '](docs/[^)]*\.png)' "$doc/README.md" | sed 's/^](//; s/)$//'); do
    [ -f "$doc/$picture" ] || fail "the README's $picture is not installed"
done

vexhost="$root/usr/bin/vexhost"
[ "$("$vexhost" --version)" = "vexhost $version" ] || fail "vexhost --version"
module="$(cd "$bundle" && pwd -P)/VEX_ANALYZER.sem"
"$vexhost" info >"$work/info.log" 2>&1 || fail "vexhost info failed"
grep -qx "module: $module" "$work/info.log" || fail "vexhost did not load $module"
"$vexhost" demo -q -o "$work/out" >"$work/demo.log" 2>&1 || fail "vexhost demo failed"
for view in scope linear log sheet; do
    picture="$work/out/demo-$view.png"
    [ "$(od -An -tx1 -N8 "$picture" | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "no PNG picture $picture"
    grep -qx "$picture" "$work/demo.log" || fail "demo did not print $picture"
done

lv2ls >"$work/lv2ls.log" 2>&1 || fail "lv2ls failed"
grep -qx "urn:vex:analyzer" "$work/lv2ls.log" || fail "lv2ls does not list urn:vex:analyzer"
echo "deb test: $(basename "$deb") unpacked runs vexhost demo and lists the plug-in"
