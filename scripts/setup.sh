#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need. Safe to run again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache
    juce-modules-source
    libebur128-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    # the sanitizer builds and the fuzzers (scripts/sanitize.sh, scripts/fuzz.sh)
    clang libclang-rt-14-dev
    # JUCE's system dependencies on Linux (Debian's JUCE ships without its bundled codecs)
    libfreetype-dev libfontconfig1-dev libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev
    libxext-dev libasound2-dev libpng-dev libjpeg-dev zlib1g-dev
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
