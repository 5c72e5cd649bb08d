#!/bin/sh
# Makes the wine prefix the Windows tests run in (inside the build folder), once, with the
# font replacement that maps "Arial" to "Liberation Sans".
set -e
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -f "$prefix/.vex-ready" ]; then
    exit 0
fi
mkdir -p "$prefix"
wineboot -i >/dev/null 2>&1 </dev/null
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ \
    /d 'Liberation Sans' /f >/dev/null 2>&1 </dev/null
wineserver -w
touch "$prefix/.vex-ready"
echo "wine prefix ready: $prefix"
