#!/usr/bin/env bash
# Installs what the build needs, builds everything (Release) and renders the synthesised demo mix
# through the built VST3 with the factory preset "Master/Default". Arguments, if any, go to the
# renderer instead (for example: --preset "build/Factory Presets/01_Master/04_Loud.valmora" or
# --set "Comp Amount=0.6").
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
mkdir -p out

# Without arguments the demo is rendered with the start-up preset an installed plug-in opens with.
if [ $# -eq 0 ]; then
    set -- --preset "build/Factory Presets/01_Master/01_Default.valmora"
fi

./build/tools/renderer/valmora-render -o out/valmora-demo.wav "$@"
