# Shared by the screenshot scripts: a headless X server, and the file to show copied into a short
# folder outside the work tree (the status line shows the loaded file's path). Both go at exit,
# with the editor whose process id the script puts in editor_pid.
#   source screenshot-session.sh; start_screenshot_session DISPLAY WIDTHxHEIGHT FILE
start_screenshot_session() {
  folder=$(mktemp -d /tmp/radio.XXXX)
  cp "$3" "$folder/"
  Xvfb "$1" -screen 0 "$2x24" -nolisten tcp &
  xvfb=$!
  editor_pid=
  trap 'kill $editor_pid "$xvfb" 2>/dev/null || true; rm -rf "$folder"' EXIT
  export DISPLAY=$1
  until xdpyinfo >/dev/null 2>&1; do sleep 0.1; done
}
