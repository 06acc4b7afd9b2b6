#!/usr/bin/env bash
# Installs what the build needs, builds everything (Release) and renders the synthesised demo mix
# through the built VST3. Extra arguments go to the renderer (for example: --set "Comp Amount=0.6").
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
mkdir -p out
./build/tools/renderer/valmora-render -o out/valmora-demo.wav "$@"
