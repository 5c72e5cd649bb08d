#!/bin/sh
# The main job on built-in defaults: builds the plug-in and the host (vexhost depends on the
# plug-in; tests and benchmarks are left to scripts/test.sh), then runs vexhost's built-in
# demo, which writes its pictures into out/ and prints their paths. Arguments, when given,
# are a vexhost command line instead (for example: scripts/demo.sh info).
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target vexhost
if [ $# -eq 0 ]; then
    exec ./build/linux/vexhost demo -o out
fi
exec ./build/linux/vexhost "$@"
