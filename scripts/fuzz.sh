#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan,
# the build the sanitizer tests use) and runs each for a bounded time.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]     default: 60 seconds, every target
#
# New inputs found go to build-asan/fuzz/corpus/<target> (kept between runs, never into the
# repository); a crash leaves its input in build-asan/fuzz/artifacts/ and makes the script exit
# non-zero. Reproduce one with: build-asan/tests/fuzz/<target> <crash-file>
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(fuzz_load_state fuzz_unpack_preset fuzz_preset_folder)
fi

export CCACHE_BASEDIR="$PWD"
if [ ! -f build-asan/CMakeCache.txt ] || ! grep -q '^VALMORA_FUZZ:BOOL=ON' build-asan/CMakeCache.txt; then
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DVALMORA_SANITIZE=address,undefined -DVALMORA_FUZZ=ON -DVALMORA_BUILD_BENCHMARKS=OFF
fi
cmake --build build-asan --target "${targets[@]}"

# Leak checking stays on: a state or preset load that leaks is a finding too.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

root="$PWD"
fuzz="$root/build-asan/fuzz"
mkdir -p "$fuzz/artifacts" "$fuzz/work"
status=0
for target in "${targets[@]}"; do
    mkdir -p "$fuzz/corpus/$target"
    log="$fuzz/$target.log"
    echo "=== $target: ${seconds}s"
    started=$SECONDS
    # The first corpus folder receives new inputs; the committed seeds are only read. The targets
    # run in a scratch folder, so a file written to a wrong (relative) place cannot land in the
    # source tree.
    if ! (cd "$fuzz/work" && "$root/build-asan/tests/fuzz/$target" "$fuzz/corpus/$target" "$root/tests/fuzz/corpus/$target" \
            -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=4096 \
            -artifact_prefix="$fuzz/artifacts/$target-" -print_final_stats=1) 2>"$log"; then
        echo "*** $target failed after $((SECONDS - started))s; log: $log"
        tail -n 60 "$log"
        status=1
    else
        grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$log" || true
        echo "$target: $((SECONDS - started))s"
    fi
done
exit $status
