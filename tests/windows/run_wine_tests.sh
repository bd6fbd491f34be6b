#!/bin/bash
# Runs the Windows backends' test program (cross-built by the Windows
# configuration, beside its test service) under Wine, in a fresh prefix of
# its own.
#
#   run_wine_tests.sh <tst_windows_backends.exe> <prefix dir>
#
# Exit codes: the test program's; 77 when Wine is missing on a developer
# machine (CTest shows the test as skipped). In CI (CI set and not "false" or
# "0") a missing Wine is a failure.
#
# Every step is bounded by `timeout`, so a hung Wine ends the run instead of CI.

set -u

PROGRAM=${1:?test program}
PREFIX=${2:?prefix dir}

say() { echo "run_wine_tests: $*"; }

in_ci() {
    case "${CI:-}" in
    "" | false | 0) return 1 ;;
    *) return 0 ;;
    esac
}

missing=()
for tool in wine wineboot wineserver timeout; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    say "missing: ${missing[*]} (Debian packages wine, wine64)"
    if in_ci; then
        say "FAILED: the Windows backend tests cannot run in CI without them"
        exit 1
    fi
    say "skipped on this machine"
    exit 77
fi

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
*) say "FAILED: a prefix to start afresh ends in /wineprefix: $PREFIX"; exit 1 ;;
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
timeout 240 wine "$PROGRAM"
status=$?
[ $status -eq 124 ] && say "FAILED: the test program did not finish in time"
exit $status
