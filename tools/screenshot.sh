#!/usr/bin/env bash
# Shows the program's status page against the controller simulator on a virtual X display and
# saves a picture of the screen as docs/screenshot-status.png. Builds nothing.
# Usage: tools/screenshot.sh [build-dir]      (default: build)
# Needs Xvfb, xwd and ImageMagick's convert (Debian: xvfb x11-apps imagemagick).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build}
bin=$(cd "$build" && pwd)/bin
out=$src/docs/screenshot-status.png
screen_size=1024x720x24
wait_steps=200 # of 0.05 s

for f in tarnconf tarn-sim Tarn.INI; do
    [ -e "$bin/$f" ] || { echo "$bin/$f is missing: build the project first." >&2; exit 1; }
done
for t in Xvfb xwd convert; do
    command -v "$t" >/dev/null || {
        echo "$t is missing (Debian: apt-get install xvfb x11-apps imagemagick)." >&2
        exit 1
    }
done

work=$(mktemp -d /tmp/tarn-screenshot.XXXXXX)
sim_pid='' xvfb_pid='' prog_pid=''
cleanup() {
    exec 3>&- 2>/dev/null || true
    for pid in $prog_pid $sim_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# The simulator, with believable values set through its control input.
mkfifo "$work/control"
"$bin/tarn-sim" --link "$work/ttyTarn" --journal "$work/journal" --events 20 \
    <"$work/control" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
exec 3>"$work/control"
for _ in $(seq "$wait_steps"); do
    grep -q READY "$work/sim.out" 2>/dev/null && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.err" >&2; exit 1; }
    sleep 0.05
done
grep -q READY "$work/sim.out" || { echo "tarn-sim did not get ready." >&2; exit 1; }
{
    echo "inputs 0F6015"
    echo "delays 1E0A0578010203050300"
    echo "profile 0 1"
    echo "profile 1 3"
    echo "profile 2 8"
} >&3

# A fresh program folder whose COM1 is the simulator.
cp "$bin/Tarn.INI" "$work/Tarn.INI"
printf '\r\n[PORTS]\r\nCOM1=%s\r\n' "$work/ttyTarn" >>"$work/Tarn.INI"

# A free display number.
display=99
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 "$screen_size" -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq "$wait_steps"); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.05
done

TARN_HOME=$work DISPLAY=:$display XDG_RUNTIME_DIR=$work "$bin/tarnconf" \
    >"$work/tarnconf.log" 2>&1 &
prog_pid=$!

# The first status read ends with the third zone's profile request (and 51 from 2.07 on).
for _ in $(seq "$wait_steps"); do
    grep -q ' 51 ' "$work/journal" 2>/dev/null && break
    kill -0 "$prog_pid" 2>/dev/null || { cat "$work/tarnconf.log" >&2; exit 1; }
    sleep 0.05
done
grep -q ' 51 ' "$work/journal" || { echo "No status read was seen." >&2; exit 1; }
sleep 1.5

mkdir -p "$(dirname "$out")"
xwd -root -silent -display ":$display" >"$work/screen.xwd"
# The screen is black around the window: crop to the window.
convert "xwd:$work/screen.xwd" -bordercolor black -border 1 -trim +repage "png:$out"
echo "Saved $out"
