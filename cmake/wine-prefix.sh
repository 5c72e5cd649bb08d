#!/bin/sh
# Makes the wine prefix the Windows tests run in (inside the build folder), once, with the
# font replacements that map "Arial" to "Liberation Sans" and give GDI+ its generic
# sans-serif family ("Microsoft Sans Serif", as on Windows) through the same font.
set -e
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -f "$prefix/.vex-ready-2" ]; then
    exit 0
fi
mkdir -p "$prefix"
wineboot -i >/dev/null 2>&1 </dev/null
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ \
    /d 'Liberation Sans' /f >/dev/null 2>&1 </dev/null
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft Sans Serif' /t REG_SZ \
    /d 'Liberation Sans' /f >/dev/null 2>&1 </dev/null
wineserver -w
touch "$prefix/.vex-ready-2"
echo "wine prefix ready: $prefix"
