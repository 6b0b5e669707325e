#!/usr/bin/env bash
# Makes docs/line-monitor.png: the line monitor under Xvfb talking to the simulated radio, which
# holds docs/sample.mem: memory 5 queried with the Memory box and the Query memory button, then
# memory 9 with a typed line, as a user would. Needs xvfb, x11-utils, xdotool and imagemagick.
#   bash docs/make-line-monitor-screenshot.sh [build folder holding tools/]
set -euo pipefail
cd "$(dirname "$0")"
build=$(realpath "${1:-../build/plain}")
display=:48
work=$(mktemp -d /tmp/monitor.XXXX)
Xvfb "$display" -screen 0 1000x700x24 -nolisten tcp &
xvfb=$!
radio=
monitor=
trap 'kill $monitor $radio "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=$display
until xdpyinfo >/dev/null 2>&1; do sleep 0.1; done

"$build/tools/q4471-radio-sim" --load sample.mem --log "$work/radio.log" > "$work/radio.path" &
radio=$!
for _ in $(seq 100); do [ -s "$work/radio.path" ] && break; sleep 0.1; done
device=$(head -n 1 "$work/radio.path")

QT_QPA_PLATFORM=xcb "$build/tools/q4471-line-monitor" "$device" 2>/dev/null &
monitor=$!
window=$(xdotool search --sync --onlyvisible --name '^Q4471 Line Monitor$' | head -1)
xdotool windowfocus --sync "$window"
sleep 0.5

# Memory (Alt+M) 5, Query memory (Alt+Q); then the send line (Alt+N) with memory 9's query.
xdotool key alt+m ctrl+a
xdotool type 5
xdotool key alt+q
sleep 0.5
xdotool key alt+n
xdotool type 'MEM:USR:SET? 9\r'
xdotool key Return
sleep 1
import -window "$window" line-monitor.png
