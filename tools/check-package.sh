#!/usr/bin/env bash
# Checks what users get from an already built Release tree:
#   bash tools/check-package.sh BUILD_DIR
# stages `cmake --install` and validates the desktop entry, AppStream metainfo and MIME type
# there; builds the Debian packages with CPack (the editor, the component's runtime libraries
# and development files, each without and with Qt, and its documentation), checks what each holds
# and runs lintian on it, where a warning fails as an error does; installs them with
# dpkg, starts the installed editor on a headless X server until its window shows, stops it with
# SIGTERM; purges the packages and checks that nothing of them is left. Any failure stops the
# run. It installs packages and the .debs system-wide (through sudo when not root).
set -euo pipefail

usage="Usage: bash tools/check-package.sh BUILD_DIR"
[ $# -eq 1 ] || { echo "$usage" >&2; exit 2; }
[ -f "$1/CMakeCache.txt" ] || { echo "$1 is not a CMake build tree. $usage" >&2; exit 2; }
build=$(realpath "$1")
cd "$(dirname "$0")/.."

app_id=org.q4471.MemoriesEditor
package=q4471-editor
# The libraries' SONAME number (Q4471_SOVERSION in cmake/Library.cmake), which names their packages.
soversion=$(sed -n 's/^set(Q4471_SOVERSION \([0-9]*\))$/\1/p' cmake/Library.cmake)
[ -n "$soversion" ] || { echo "no Q4471_SOVERSION in cmake/Library.cmake" >&2; exit 1; }
library_package=libq4471-serial$soversion
qt_library_package=libq4471-serial-qt$soversion
dev_package=libq4471-serial-dev
qt_dev_package=libq4471-serial-qt-dev
doc_package=libq4471-serial-doc
# In the order dpkg --purge takes them.
packages=("$doc_package" "$qt_dev_package" "$dev_package" "$qt_library_package" "$library_package"
  "$package")
mime_type=application/x-q4471-memories
programs=(q4471-editor q4471-line-monitor q4471-radio-sim)
window_title="Q4471 Memories Editor"
deadline_seconds=60

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

step() { printf '\n== %s ==\n' "$*"; }
# dpkg's state of a package (the editor's by default); empty when dpkg has forgotten it.
package_state() { dpkg-query -W -f='${db:Status-Status}' "${1:-$package}" 2>/dev/null || true; }
installed() { [ -n "$(package_state "$1")" ] && [ "$(package_state "$1")" != not-installed ]; }
fail() {
  printf 'check-package: FAILED: %s\n' "$*" >&2
  exit 1
}

work=$(mktemp -d)
xvfb=
editor=
installed_here=false
cleanup() {
  [ -z "$editor" ] || kill -KILL "$editor" 2>/dev/null || true
  [ -z "$xvfb" ] || kill -TERM "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  # A run that stopped half-way must not leave the package on the machine.
  if $installed_here; then
    for name in "${packages[@]}"; do
      ! installed "$name" || $SUDO dpkg --purge "$name" >/dev/null || true
    done
  fi
  rm -rf "$work"
}
trap cleanup EXIT

step "tools"
# command:package pairs; apt-get only runs when one is missing, which keeps a repeated run quick.
tools=(desktop-file-validate:desktop-file-utils appstreamcli:appstream
  update-mime-database:shared-mime-info xmllint:libxml2-utils lintian:lintian
  dpkg-shlibdeps:dpkg-dev dpkg-parsechangelog:dpkg-dev file:file fakeroot:fakeroot
  xwininfo:x11-utils Xvfb:xvfb)
missing=()
for pair in "${tools[@]}"; do
  command -v "${pair%%:*}" >/dev/null || missing+=("${pair#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
    "${missing[@]}"
fi
echo "all present"

step "build tree $build"
grep -q '^Q4471_WITH_GUI:BOOL=ON$' "$build/CMakeCache.txt" || fail "$build is built without the GUI"
grep -q '^Q4471_SANITIZE:STRING=$' "$build/CMakeCache.txt" || fail "$build is a sanitizer build"
# Up to date for what is installed; nothing to do in a tree that is fully built.
cmake --build "$build" --target "${programs[@]}" q4471_compressed_docs q4471_reference

step "cmake --install into a staging folder"
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr
share=$stage/usr/share
[ "$(ls "$stage/usr/bin")" = "$(printf '%s\n' "${programs[@]}")" ] ||
  fail "bin/ holds $(ls "$stage/usr/bin" | tr '\n' ' '), not ${programs[*]}"
for program in "${programs[@]}"; do
  [ -s "$share/man/man1/$program.1.gz" ] || fail "no man page for $program"
done
echo "bin/: ${programs[*]}, each with its man page"

step "desktop entry"
desktop=$share/applications/$app_id.desktop
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
grep -qx "Exec=q4471-editor %f" "$desktop" || fail "the desktop entry does not open a file"
grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry's icon is not $app_id"
grep -q "^MimeType=.*$mime_type;" "$desktop" || fail "the desktop entry does not declare $mime_type"
icon=$share/icons/hicolor/scalable/apps/$app_id.svg
xmllint --noout "$icon" || fail "the icon $icon is not well-formed SVG"
echo "valid; opens $mime_type; icon in hicolor/scalable"

step "AppStream metainfo"
appstreamcli validate --no-net --strict "$share/metainfo/$app_id.metainfo.xml" ||
  fail "appstreamcli validate"
# The tree check also matches the metainfo with the desktop entry and icon it names.
appstreamcli validate-tree --no-net --strict "$stage" || fail "appstreamcli validate-tree"
grep -q "<screenshot " "$share/metainfo/$app_id.metainfo.xml" || fail "the metainfo has no screenshot"

step "MIME type"
mime_xml=$share/mime/packages/$app_id.xml
xmllint --noout "$mime_xml" || fail "$mime_xml is not well-formed"
# update-mime-database reports errors in a package file but exits 0: any output is a failure.
mkdir -p "$work/data"
cp -r "$share/mime" "$work/data/mime"
report=$(XDG_DATA_HOME=$work/data update-mime-database "$work/data/mime" 2>&1)
[ -z "$report" ] || fail "update-mime-database: $report"
grep -qx "50:$mime_type:\*.mem" "$work/data/mime/globs2" || fail "*.mem does not map to $mime_type"
echo "*.mem is $mime_type"

step "Debian packages (cpack -G DEB)"
(cd "$build" && cpack -G DEB -B "$work/package")
changelog_version=$(dpkg-parsechangelog -l app/debian/changelog -S Version)
declare -A debs
for name in "${packages[@]}"; do
  found=("$work/package"/"$name"_*.deb)
  if [ ${#found[@]} -ne 1 ] || [ ! -f "${found[0]}" ]; then
    fail "cpack made no single $name .deb"
  fi
  debs[$name]=${found[0]}
  dpkg-deb --info "${debs[$name]}"
  version=$(dpkg-deb --field "${debs[$name]}" Version)
  [ "$version" = "$changelog_version" ] ||
    fail "$name's version $version, but app/debian/changelog's newest entry is $changelog_version"
done

step "what the library packages hold"
libdir=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
# The paths a package holds, one a line.
contents() { dpkg-deb --contents "${debs[$1]}" | awk '{ print $6 }'; }
expect_in() { # <package> <pattern>...
  local name=$1 pattern
  shift
  for pattern in "$@"; do
    # Not a pipe: grep -q stops reading at the first match, and dpkg-deb's broken pipe would
    # fail the run.
    grep -Eq "^\./usr/$pattern\$" <(contents "$name") || fail "$name holds no $pattern"
  done
}
expect_in "$library_package" "$libdir/libq4471-serial\.so\.$soversion(\.[0-9]+)*"
for library in q4471-serial-display q4471-framework-qt; do
  expect_in "$qt_library_package" "$libdir/lib$library\.so\.$soversion(\.[0-9]+)*"
  expect_in "$qt_dev_package" "$libdir/lib$library\.so" "$libdir/lib$library\.a"
done
expect_in "$dev_package" "$libdir/libq4471-serial\.so" "$libdir/libq4471-serial\.a" \
  include/q4471/serial/VaComm.h include/q4471/framework/plain/PlainFramework.h \
  "$libdir/cmake/Q4471Serial/Q4471SerialConfig\.cmake" "$libdir/pkgconfig/q4471-serial\.pc"
expect_in "$qt_dev_package" include/q4471/serial/display/VaLEDDisplay.h \
  include/q4471/framework/qt/QtFramework.h "$libdir/cmake/Q4471Serial/Q4471SerialQtTargets\.cmake" \
  "$libdir/pkgconfig/q4471-serial-display\.pc"
doc=share/doc/$doc_package
expect_in "$doc_package" "$doc/html/index\.html" "$doc/README\.md" "$doc/examples/hello-port\.cpp" \
  "$doc/examples/CMakeLists\.txt"
# Console programs get no Qt: neither the runtime nor the development package names it, nor
# holds a Qt header, library or file.
for name in "$library_package" "$dev_package"; do
  ! dpkg-deb --field "${debs[$name]}" Depends | grep -qi qt || fail "$name depends on Qt"
  ! contents "$name" | grep -Eq 'display|framework/qt|framework-qt|QtTargets' ||
    fail "$name holds files of the Qt display or binding"
done
for name in "$dev_package" "$qt_dev_package"; do
  ! contents "$name" | grep -q '/platform/' || fail "$name holds internal headers"
done
! contents "$package" | grep -Eq 'include/|\.so' || fail "$package holds library files"
[ "$(dpkg-deb --field "${debs[$dev_package]}" Depends)" = "$library_package (= $changelog_version)" ] ||
  fail "$dev_package does not depend on the library package of its own version"
[ "$(dpkg-deb --field "${debs[$qt_dev_package]}" Depends)" = "$dev_package (= $changelog_version), \
$qt_library_package (= $changelog_version), qt6-base-dev" ] ||
  fail "$qt_dev_package does not depend on $dev_package, $qt_library_package and qt6-base-dev"
[ "$(dpkg-deb --field "${debs[$doc_package]}" Architecture)" = all ] ||
  fail "$doc_package is not Architecture: all"
echo "$library_package: the component's shared library, without Qt; $qt_library_package: the Qt ones;"
echo "$dev_package: headers, static library, CMake and pkg-config files, without Qt;"
echo "$qt_dev_package: the same for the display and the Qt binding;"
echo "$doc_package: the HTML reference, the guide and the examples in /usr/share/doc/$doc_package"

step "lintian"
# Errors and warnings fail the run; a tag a package cannot help is overridden in its lintian
# overrides file, with a comment that says why (app/debian/).
for name in "${packages[@]}"; do
  # Shown with the overrides and their reasons; the status from a run without them, which
  # would count an overridden warning.
  lintian --show-overrides --tag-display-limit 0 "${debs[$name]}" 2>&1 |
    grep -v "running with root privileges" || true
  lintian_status=0
  lintian --fail-on error,warning "${debs[$name]}" >/dev/null 2>&1 || lintian_status=$?
  [ $lintian_status -eq 0 ] || fail "lintian found errors or warnings in $name (status $lintian_status)"
done
echo "no errors, no warnings"

step "dpkg -i"
for name in "${packages[@]}"; do
  ! installed "$name" || fail "$name is installed on this machine already; remove it first (dpkg --purge $name)"
done
installed_here=true
$SUDO dpkg -i "${debs[@]}"
for name in "${packages[@]}"; do
  dpkg-query -L "$name"
done >"$work/files"
for program in "${programs[@]}"; do
  [ -x "/usr/bin/$program" ] || fail "/usr/bin/$program is not installed"
done
grep -qx "50:$mime_type:\*.mem" /usr/share/mime/globs2 ||
  fail "the system's MIME database does not know $mime_type after the install"

step "start the installed editor"
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
end=$((SECONDS + deadline_seconds))
until grep -q '^[0-9]' "$work/display"; do
  kill -0 "$xvfb" 2>/dev/null || fail "Xvfb ended: $(cat "$work/xvfb.log")"
  [ $SECONDS -lt $end ] || fail "Xvfb did not start within ${deadline_seconds}s"
  sleep 0.1
done
display=:$(head -n 1 "$work/display")
mkdir -m 700 "$work/home" "$work/runtime"
HOME=$work/home XDG_RUNTIME_DIR=$work/runtime DISPLAY=$display QT_QPA_PLATFORM=xcb \
  /usr/bin/q4471-editor >"$work/editor.log" 2>&1 &
editor=$!
end=$((SECONDS + deadline_seconds))
# The id of a mapped window with the title, if there is one yet.
shown_window() {
  local id
  for id in $(xwininfo -display "$display" -root -tree |
    awk -v title="\"$window_title\":" 'index($0, title) { print $1 }'); do
    if xwininfo -display "$display" -id "$id" | grep -q "Map State: IsViewable"; then
      echo "$id"
      return
    fi
  done
}
until window=$(shown_window) && [ -n "$window" ]; do
  kill -0 "$editor" 2>/dev/null ||
    fail "the editor ended before its window showed: $(cat "$work/editor.log")"
  [ $SECONDS -lt $end ] || fail "no window \"$window_title\" within ${deadline_seconds}s"
  sleep 0.2
done
echo "window \"$window_title\" ($window) is shown on $display"
kill -TERM "$editor"
end=$((SECONDS + deadline_seconds))
while kill -0 "$editor" 2>/dev/null; do
  [ $SECONDS -lt $end ] || fail "the editor did not quit within ${deadline_seconds}s of SIGTERM"
  sleep 0.1
done
status=0
wait "$editor" || status=$?
editor=
[ $status -eq 0 ] || fail "the editor exited with status $status on SIGTERM: $(cat "$work/editor.log")"
echo "quit cleanly on SIGTERM"

step "dpkg --purge"
# Purged rather than removed: the library package's ldconfig postrm would keep dpkg's record of it.
$SUDO dpkg --purge "${packages[@]}"
installed_here=false
for name in "${packages[@]}"; do
  ! installed "$name" || fail "dpkg still has $name as $(package_state "$name")"
done
left=()
while IFS= read -r path; do
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    # A folder stays while another package owns it or holds files in it.
    if ! dpkg-query -S "$path" >/dev/null 2>&1 && [ -z "$(ls -A "$path")" ]; then
      left+=("$path/")
    fi
  elif [ -e "$path" ] || [ -L "$path" ]; then
    left+=("$path")
  fi
done <"$work/files"
# The databases that the MIME and desktop triggers rebuilt must forget the type too.
[ ! -e "/usr/share/mime/${mime_type}.xml" ] || left+=("/usr/share/mime/${mime_type}.xml")
for database in /usr/share/mime/globs2 /usr/share/applications/mimeinfo.cache; do
  [ ! -e "$database" ] || ! grep -q "$mime_type" "$database" || left+=("$mime_type in $database")
done
[ ${#left[@]} -eq 0 ] || fail "left behind after dpkg --purge: ${left[*]}"
echo "removed; none of their $(wc -l <"$work/files") paths is left"

printf '\ncheck-package: install, desktop data, package, lintian, start and removal all passed\n'
