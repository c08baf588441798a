#!/usr/bin/env bash
# Cross-builds the core (protocol/, data/, config/) for 64-bit Windows with MinGW-w64 and
# runs its standard-library checks under Wine. Usage: tools/cross-check-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/ensure-deps.sh g++-mingw-w64-x86-64-posix wine wine64
build=build-mingw
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTARN_CORE_ONLY=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
# A Wine prefix of its own, made on the first run; no desktop, no messages from Wine itself.
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
ctest --test-dir "$build" --output-on-failure
