#!/bin/bash
# Cross-builds the Windows backends with their test program and test service,
# then runs the test program under Wine in a fresh prefix of its own.
#
#   run_wine_tests.sh <source dir> <work dir> [ON|OFF: warnings as errors]
#
# Exit codes: the test program's; 77 when the cross compiler or Wine is missing
# on a developer machine (CTest shows the test as skipped). In CI (CI set and
# not "false" or "0") missing tools are a failure.
#
# Every step is bounded by `timeout`, so a hung Wine ends the run instead of CI.

set -u

SOURCE_DIR=${1:?source dir}
WORK_DIR=${2:?work dir}
WERROR=${3:-OFF}

CXX_CROSS=x86_64-w64-mingw32-g++-posix
TOOLCHAIN=$SOURCE_DIR/cmake/mingw-w64-x86_64-posix.cmake
CROSS_BUILD=$WORK_DIR/cross
PREFIX=$WORK_DIR/wineprefix

say() { echo "run_wine_tests: $*"; }

in_ci() {
    case "${CI:-}" in
    "" | false | 0) return 1 ;;
    *) return 0 ;;
    esac
}

missing=()
for tool in "$CXX_CROSS" wine wineboot wineserver timeout cmake; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    say "missing: ${missing[*]} (Debian packages g++-mingw-w64-x86-64-posix, wine, wine64)"
    if in_ci; then
        say "FAILED: the Windows backend tests cannot run in CI without them"
        exit 1
    fi
    say "skipped on this machine"
    exit 77
fi

generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)

say "cross-building into $CROSS_BUILD"
timeout 120 cmake -S "$SOURCE_DIR/tests/windows/cross" -B "$CROSS_BUILD" "${generator[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release -DVELLAMOR_WERROR="$WERROR" >/dev/null ||
    { say "FAILED: cross configure"; exit 1; }
timeout 420 cmake --build "$CROSS_BUILD" -j2 || { say "FAILED: cross build"; exit 1; }

# A private Wine: its own prefix and therefore its own wineserver, no display,
# no debug chatter, no Mono/Gecko installers and no desktop menu entries.
export WINEPREFIX=$PREFIX
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

stop_wine() { timeout 30 wineserver -k >/dev/null 2>&1; }

# A server left over from an interrupted run must not serve the new prefix.
[ -d "$PREFIX" ] && stop_wine
case "$PREFIX" in
*/wineprefix) rm -rf "$PREFIX" ;;
esac
mkdir -p "$PREFIX" || { say "FAILED: cannot create $PREFIX"; exit 1; }
trap stop_wine EXIT
trap 'exit 130' INT TERM HUP

say "creating the Wine prefix"
timeout 240 wineboot -i || { say "FAILED: wineboot -i"; exit 1; }
# A service started in the server session that created the prefix does not
# start: let that session end before the tests get a server of their own.
timeout 120 wineserver -w || { say "FAILED: the prefix's wineserver did not end"; exit 1; }

# Keep one server for the whole run, so that the service manager that the test
# program talks to stays the same from install to delete.
timeout 30 wineserver -p || { say "FAILED: wineserver -p"; exit 1; }

say "running the tests"
timeout 240 wine "$CROSS_BUILD/tst_windows_backends.exe"
status=$?
[ $status -eq 124 ] && say "FAILED: the test program did not finish in time"
exit $status
