#!/bin/sh
# The main job on built-in defaults: builds the plug-in and the host, then runs vexhost.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux
# Without arguments: the loaded module's build information, then the frames the audio
# side sends for a built-in 1 kHz sine in the log view.
if [ $# -eq 0 ]; then
    mkdir -p out
    ./build/linux/vexhost info
    exec ./build/linux/vexhost frames sine:1000 --view log --format csv -o out/frames.csv
fi
exec ./build/linux/vexhost "$@"
