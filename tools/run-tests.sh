#!/usr/bin/env bash
# Builds everything and runs the whole test suite. Usage: tools/run-tests.sh [--sanitize|--quick]
# --quick leaves out the install and package tests (ctest label "install").
set -euo pipefail
cd "$(dirname "$0")/.."
# The install and package tests also validate and lint what they make.
bash tools/ensure-deps.sh desktop-file-utils appstream lintian dpkg-dev
build=build
extra=()
select=()
if [ "${1:-}" = "--sanitize" ]; then
    build=build-asan
    extra=(-DTARN_SANITIZE=ON)
elif [ "${1:-}" = "--quick" ]; then
    select=(-LE install)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_BUILD_UI=ON "${extra[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure "${select[@]}"
