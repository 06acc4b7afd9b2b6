#!/usr/bin/env bash
# The whole test suite under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan, clang; the
# same build holds the fuzz targets that scripts/fuzz.sh runs), then the threading test under
# ThreadSanitizer (build-tsan, only what that test needs). Exits non-zero on any sanitizer report.
#
# JUCE itself is not instrumented (see cmake/Sanitizers.cmake), so both builds compile it with the
# same command and ccache compiles it only once.
set -euo pipefail
cd "$(dirname "$0")/.."

export CCACHE_BASEDIR="$PWD"
clang=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
       -DVALMORA_BUILD_BENCHMARKS=OFF)
started=$SECONDS

cmake -S . -B build-asan "${clang[@]}" -DVALMORA_SANITIZE=address,undefined -DVALMORA_FUZZ=ON
cmake --build build-asan
built_asan=$SECONDS
ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1}" \
UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
    ctest --test-dir build-asan --output-on-failure -j 2
tested_asan=$SECONDS

cmake -S . -B build-tsan "${clang[@]}" -DVALMORA_SANITIZE=thread
cmake --build build-tsan --target threading_tests
built_tsan=$SECONDS
# Any report fails the run (exit code 66); no suppressions are needed.
TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1}" \
VALMORA_THREADING_SECONDS="${VALMORA_THREADING_SECONDS:-5}" \
    build-tsan/tests/threading/threading_tests
finished=$SECONDS

echo "sanitize: ASan+UBSan build $((built_asan - started))s, tests $((tested_asan - built_asan))s;" \
     "TSan build $((built_tsan - tested_asan))s, threading test $((finished - built_tsan))s"
