#!/usr/bin/env bash
# Runs one Windows program under Wine, headless and sandboxed (see wine-sandbox.sh), with a pty
# peer that the program's serial tests reach over loopback TCP; passes the program's exit code
# through. The emulator of the Windows build (ctest runs every test through it).
#
#   tools/wine/wine-run.sh PROGRAM [ARGS]
#
# Q4471_WINE_PREFIX names a prefix made once per test run (tools/wine-tests.sh makes one);
# without it a prefix is made for this program alone, which costs several seconds.
set -euo pipefail
source "$(dirname "$0")/wine-sandbox.sh"

[ $# -ge 1 ] || wine_fail "usage: wine-run.sh PROGRAM [ARGS]"
wine_require

prefix=${Q4471_WINE_PREFIX:-}
own_prefix=""
peer=""
work=""
finish() {
    [ -z "$peer" ] || { kill "$peer" 2>/dev/null; wait "$peer" 2>/dev/null || true; }
    [ -z "$work" ] || rm -rf "$work"
    [ -z "$own_prefix" ] || wine_session_end "$own_prefix"
}
trap finish EXIT

if [ -z "$prefix" ]; then
    prefix=$(wine_session_start)
    own_prefix=$prefix
fi
[ -d "$prefix/dosdevices" ] || wine_fail "$prefix is not a Wine prefix"
# In the prefix, so that a run killed by its time-out leaves nothing once the prefix goes.
work=$(mktemp -d "$prefix/q4471-run.XXXXXX")
[ -x "$wine_host/pty-peer" ] || wine_fail "no pty peer in $wine_host"
wine_check_ports "$prefix"

"$wine_host/pty-peer" "$prefix/dosdevices" "$prefix/q4471-lines" "$work/port" &
peer=$!
for _ in $(seq 1000); do
    [ ! -s "$work/port" ] || break
    kill -0 "$peer" 2>/dev/null || wine_fail "the pty peer did not start"
    sleep 0.01
done
[ -s "$work/port" ] || wine_fail "the pty peer does not listen"

status=0
Q4471_PTY_PEER="127.0.0.1:$(cat "$work/port")" wine_sandboxed "$prefix" --die-with-parent -- wine "$@" || status=$?
# A program can fail after its last line of output (in its exit): say so, or the failure is mute.
[ "$status" -eq 0 ] || echo "wine-run: $1 ended with status $status" >&2
exit "$status"
