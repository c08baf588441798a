#!/usr/bin/env bash
# Builds the core's libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each on a copy of its seed corpus from fuzz/corpus.
# Usage: tools/fuzz.sh [--seconds S | --runs N] [target...]     (default: 10 seconds each, all)
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/ensure-deps.sh clang libclang-rt-14-dev
limit=(-max_total_time=10)
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) limit=(-max_total_time="$2"); shift 2 ;;
        --runs) limit=(-runs="$2"); shift 2 ;;
        *) targets+=("$1"); shift ;;
    esac
done
[ ${#targets[@]} -gt 0 ] || targets=(frames decoders dates profile ini catalogues setup)
build=build-fuzz
CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
for target in "${targets[@]}"; do
    work=$(mktemp -d)
    cp fuzz/corpus/"$target"/* "$work"/
    log="$work/log"
    # Crash, leak and time-out inputs go under the build folder, never into the checkout.
    artifacts="$build/artifacts/$target"
    mkdir -p "$artifacts"
    if ! "$build/bin/fuzz_$target" "${limit[@]}" -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$work" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz_$target: FAILED (corpus kept in $work, the failing input in $artifacts)" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$target: $runs executions, no finding"
    rm -rf "$work"
done
