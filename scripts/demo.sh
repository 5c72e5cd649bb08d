#!/bin/sh
# The main job on built-in defaults: builds the plug-in and the host, then runs vexhost.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
./build/linux/vexhost "$@"
