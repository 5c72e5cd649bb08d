#!/bin/sh
# Installs what the build and the tests need on Debian 12, as root, when it is missing.
set -e
packages="cmake ninja-build g++ clang clang-format libclang-rt-14-dev pkg-config git
    googletest libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
    libcairo2-dev libfontconfig-dev fonts-liberation libsndfile1-dev libcli11-dev
    g++-mingw-w64-i686 wine wine32:i386 xvfb xauth
    lv2-dev sordi lilv-utils libx11-dev libjack-jackd2-dev jackd2 jalv ardour
    x11-utils imagemagick libsdl2-dev
    dpkg-dev file lintian"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

echo "installing:$missing"
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root (or install these packages):$missing" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing >/dev/null
