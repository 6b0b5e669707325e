#!/usr/bin/env bash
# Makes docs/screenshot.png: the editor under Xvfb with docs/sample.mem loaded through
# File > Load Existing File, as a user would. Needs xvfb, x11-utils, xdotool and imagemagick.
#   bash docs/make-screenshot.sh [path to the built q4471-editor]
set -euo pipefail
cd "$(dirname "$0")"
editor=$(realpath "${1:-../build/plain/app/q4471-editor}")
source screenshot-session.sh
start_screenshot_session :47 800x760 sample.mem

QT_QPA_PLATFORM=xcb "$editor" 2>/dev/null &
editor_pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Q4471 Memories Editor$' | head -1)

# File menu, its third item "Load Existing File", then the file name in the dialog.
xdotool mousemove --window "$window" 18 10 click 1
sleep 0.5
xdotool key Down Down Down Return
dialog=$(xdotool search --sync --onlyvisible --name '^(Open|Find File)' | head -1)
xdotool windowfocus --sync "$dialog"
xdotool key ctrl+a
xdotool type "$folder/sample.mem"
xdotool key Return
while xdotool search --onlyvisible --name '^(Open|Find File)' >/dev/null; do sleep 0.1; done
sleep 0.5
import -window "$window" screenshot.png
