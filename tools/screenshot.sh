#!/usr/bin/env bash
# Shows the program against the controller simulator on a virtual X display the size of a
# 1366x768 laptop screen, at 125 % scaling, and saves pictures of the status page, the setup
# window, auto detect, the history, its pictures, the fleet and the service report's first page as
# docs/screenshot-*.png. Builds nothing.
# Usage: tools/screenshot.sh [build-dir]      (default: build)
# Needs Xvfb, xwd, ImageMagick's convert and pdftoppm (Debian: xvfb x11-apps imagemagick
# poppler-utils).
# Modal dialogs opened over the main window come out as black rectangles under Xvfb on this
# machine, those of a minimal Qt program too; the about box and the communication settings are
# therefore not pictured here, nor is the setup window any more (it came out whole only while it
# was taller than the screen); the setup window and auto detect are pictured by their window
# tests, offscreen at the same scale, at the end.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build}
bin=$(cd "$build" && pwd)/bin
docs=$src/docs
screen_size=1366x768x24
scale=1.25
wait_steps=200 # of 0.05 s

for f in tarnconf tarn tarn-sim Tarn.INI; do
    [ -e "$bin/$f" ] || { echo "$bin/$f is missing: build the project first." >&2; exit 1; }
done
for t in Xvfb xwd convert pdftoppm; do
    command -v "$t" >/dev/null || {
        echo "$t is missing (Debian: apt-get install xvfb x11-apps imagemagick poppler-utils)." >&2
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

TARN_HOME=$work DISPLAY=:$display XDG_RUNTIME_DIR=$work QT_SCALE_FACTOR=$scale "$bin/tarnconf" -K \
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

mkdir -p "$docs"
# shot NAME: the screen, cropped to the windows on it.
shot() {
    xwd -root -silent -display ":$display" >"$work/screen.xwd"
    convert "xwd:$work/screen.xwd" -bordercolor black -border 1 -trim +repage "png:$docs/screenshot-$1.png"
    echo "Saved $docs/screenshot-$1.png"
}
shot status

# Auto detect while it tries a port that does not answer, and the setup window with a setup
# file loaded (the fields that differ from Tarn marked), from their window tests.
grab() {
    [ -x "$build/bin/$1" ] || return 0
    QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale TARN_SCREENSHOT_DIR=$docs \
        TARN_SIM=$bin/tarn-sim TARN_BIN=$bin TARN_SOURCE=$src \
        "$build/bin/$1" "$2" >"$work/grab.log" 2>&1 || { cat "$work/grab.log" >&2; exit 1; }
    echo "Saved $docs/screenshot-$3.png"
}
grab tst_frmcomsetup "autoDetect:Cancel while a port does not answer" autodetect
grab tst_frmsetupfiles "files:saved as edited, loaded: those marked" setup
grab tst_historyview viewFiltersSortsExports history
grab tst_historyview fleetView fleet
grab tst_historyview picturesExported pictures
grab tst_windowstate bannerAtStart banner

# The service report's first page: tarn report on the same simulator once the window has let
# the port go, drawn at 80 dpi.
kill "$prog_pid" 2>/dev/null || true
wait "$prog_pid" 2>/dev/null || true
prog_pid=''
TARN_HOME=$work XDG_CONFIG_HOME=$work XDG_RUNTIME_DIR=$work "$bin/tarn" report \
    --technician "Ann Smith" --company "Tarn Service Ltd" --output "$work/report.pdf"
pdftoppm -png -r 80 -f 1 -l 1 -singlefile "$work/report.pdf" "$docs/screenshot-report"
echo "Saved $docs/screenshot-report.png"
