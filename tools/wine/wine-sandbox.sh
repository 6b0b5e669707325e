# Sourced by wine-run.sh and tools/wine-tests.sh: Wine headless, in a throw-away prefix, where the
# host's serial ports cannot be reached. Wine maps COM ports to /dev/ttyS* on every start, and
# ttyS0 may be the machine's console: every Wine process runs where /dev holds only the basic
# nodes and the pseudo-terminals (bwrap --dev), so that the only COM ports are the pty peer's.

wine_tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine_host=${Q4471_WINE_HOST:-$wine_tools/../../build/wine-host}

export WINEDEBUG=-all
# No .NET or Gecko installer prompts, and no menu entries written into the user's desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

wine_fail() {
    echo "wine-run: $*" >&2
    exit 1
}

wine_require() {
    local tool
    for tool in wine wineserver bwrap; do
        command -v "$tool" >/dev/null ||
            wine_fail "$tool is missing; install wine, wine64 and bubblewrap (tools/wine-tests.sh does)"
    done
}

# Builds the pty peer and the modem-line shim for the host; one builder at a time.
wine_build_host_tools() {
    mkdir -p "$wine_host"
    (
        flock 9
        cmake -S "$wine_tools" -B "$wine_host" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null &&
            cmake --build "$wine_host" >/dev/null
    ) 9>"$wine_host/build.lock" || wine_fail "cannot build the pty peer and shim in $wine_host"
}

# Runs a command of the prefix in the sandbox, with the shim that gives pseudo-terminals modem
# lines preloaded. The host's /dev/pts stays, where the pty peer's pairs are: the wineserver of a
# run opens the devices for every program of the run.
wine_sandboxed() { # <prefix> [bwrap options] -- <command> [args]
    local prefix=$1 options=()
    shift
    while [ "$1" != "--" ]; do
        options+=("$1")
        shift
    done
    shift
    bwrap --dev-bind / / --dev /dev --dev-bind /dev/pts /dev/pts --dev-bind /dev/ptmx /dev/ptmx \
        "${options[@]}" -- env WINEPREFIX="$prefix" Q4471_MODEM_LINES="$prefix/q4471-lines" \
        LD_PRELOAD="$wine_host/libpty_modem_shim.so" "$@"
}

# Fails unless every COM port of the prefix is a pseudo-terminal, as the pty peer maps them.
wine_check_ports() { # <prefix>
    local link target
    for link in "$1"/dosdevices/com*; do
        [ -L "$link" ] || continue
        # Gone since the glob: a parallel run's peer removed its port.
        target=$(readlink "$link") || continue
        [[ $target =~ ^/dev/pts/[0-9]+$ ]] ||
            wine_fail "the prefix has a COM port the pty peer did not make: $link -> $target"
    done
}

# Makes a prefix with a wineserver that stays until wine_session_end, and prints its path. The
# host side is built into Q4471_WINE_HOST (build/wine-host by default).
wine_session_start() {
    wine_require
    wine_build_host_tools
    local prefix
    prefix=$(mktemp -d "${TMPDIR:-/tmp}/q4471-wine.XXXXXX")
    mkdir "$prefix/q4471-lines"
    [ -z "$(wine_sandboxed "$prefix" -- sh -c 'ls /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* 2>/dev/null')" ] ||
        wine_fail "the sandbox still shows the host's serial ports"
    # Stays between programs, so that each starts in a tenth of a second; ten idle minutes end a
    # server whose run was killed before wine_session_end. Its exit dumps every object it holds:
    # kept in the prefix, out of the test output.
    wine_sandboxed "$prefix" -- wineserver -p600 2>"$prefix/wineserver.log" ||
        wine_fail "the wineserver does not start"
    wine_sandboxed "$prefix" -- wine wineboot -i >/dev/null 2>&1 ||
        wine_fail "Wine cannot make a prefix in $prefix"
    wine_check_ports "$prefix"
    echo "$prefix"
}

wine_session_end() { # <prefix>
    WINEPREFIX=$1 wineserver -k 2>/dev/null || true
    rm -rf "$1"
}
