#!/usr/bin/env bash
# Builds everything, starts the controller simulator on a pseudo-terminal and the program
# against it, in a fresh program folder. Extra arguments go to the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display available (neither DISPLAY nor WAYLAND_DISPLAY is set): TarnConf is a" >&2
    echo "desktop program. Run this from a graphical session, or under xvfb-run." >&2
    exit 1
fi
# A font for the window, and xdg-open with a text editor for the reports.
bash tools/ensure-deps.sh fonts-dejavu-core xdg-utils mousepad
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_BUILD_UI=ON >/dev/null
cmake --build build -j"$(nproc)"

home=$(mktemp -d /tmp/tarnconf.XXXXXX)
cp build/bin/Tarn.INI "$home/Tarn.INI"
printf '\r\n[PORTS]\r\nCOM1=%s\r\n' "$home/ttyTarn" >>"$home/Tarn.INI"

build/bin/tarn-sim --link "$home/ttyTarn" --events 60 --journal "$home/journal.txt" "$@" \
    </dev/null >"$home/sim.out" 2>"$home/sim.err" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q READY "$home/sim.out" 2>/dev/null && break
    kill -0 "$sim" 2>/dev/null || { cat "$home/sim.err" >&2; exit 1; }
    sleep 0.05
done
echo "Simulator on $(head -n 1 "$home/sim.out"), program folder $home"
TARN_HOME="$home" build/bin/tarnconf
