#!/usr/bin/env bash
# Makes docs/csv-load.png: the editor under Xvfb started with docs/club.csv, a club's repeater
# list in the CSV of other radio programs, with the message box's details open beside the table.
# Needs xvfb, x11-utils, xdotool and imagemagick.
#   bash docs/make-csv-screenshot.sh [path to the built q4471-editor]
set -euo pipefail
cd "$(dirname "$0")"
editor=$(realpath "${1:-../build/release/app/q4471-editor}")
source screenshot-session.sh
start_screenshot_session :48 1000x680 club.csv

QT_QPA_PLATFORM=xcb "$editor" "$folder/club.csv" 2>/dev/null &
editor_pid=$!
# The window, then the message box over it; the box carries the program's name as its own
# property only, so both are found by their class.
until [ "$(xdotool search --onlyvisible --classname q4471-editor | wc -l)" -ge 2 ]; do
  sleep 0.1
done
windows=($(xdotool search --onlyvisible --classname q4471-editor | sort -n))
window=${windows[0]}
box=${windows[-1]}
xdotool windowmove "$window" 10 10 windowmove "$box" 492 180
# The box's buttons: OK has the focus, "Show Details..." is the next one.
xdotool windowfocus --sync "$box"
xdotool key Tab space
sleep 0.5
import -window root -crop 1000x612+0+0 +repage csv-load.png
