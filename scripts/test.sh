#!/usr/bin/env bash
# Installs what the build needs, builds everything including the tests, and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
ctest --test-dir build --output-on-failure -j 2

# The tests again under AddressSanitizer + UndefinedBehaviorSanitizer, the threading test under
# ThreadSanitizer, and every fuzz target for a bounded time (README: "Sanitizers and fuzzing").
scripts/sanitize.sh
scripts/fuzz.sh "${VALMORA_FUZZ_SECONDS:-60}"
