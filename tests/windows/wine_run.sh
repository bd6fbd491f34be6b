#!/bin/bash
# Runs one QtTest program of the Windows build under Wine: CTest's emulator for
# the Windows configuration's tests (CMAKE_CROSSCOMPILING_EMULATOR).
#
#   wine_run.sh <prefix dir> <dll dir>... -- <program.exe> [arguments...]
#
# All tests share one prefix, made on first use (wine_prefix.sh). The DLL folders (Qt's, the
# MinGW runtime's) go on the program's search path.
#
# Wine hands no variable whose name begins with QT_ from the Unix environment
# to a Windows program, so the program is started by Wine's cmd with every
# QT_ variable of ours set there; the offscreen platform gets the fonts of
# fonts-dejavu-core.
#
# VELLAMOR_WINE_DISPLAY=1: the program runs on an Xvfb display of its own.

set -u

PREFIX=${1:?prefix dir}
shift
dll_dirs=()
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
    dll_dirs+=("$1")
    shift
done
shift || true
PROGRAM=${1:?program}
shift

# A program that shows system windows (VELLAMOR_WINE_DISPLAY=1) gets an Xvfb
# display of its own; every other one none.
if [ "${VELLAMOR_WINE_DISPLAY:-}" = 1 ] && [ -z "${VELLAMOR_WINE_XVFB:-}" ]; then
    export VELLAMOR_WINE_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$PREFIX" "${dll_dirs[@]}" -- "$PROGRAM" "$@"
fi
[ "${VELLAMOR_WINE_DISPLAY:-}" = 1 ] || unset DISPLAY

source "$(dirname "$0")/wine_prefix.sh"
wine_prefix "$PREFIX" || exit 1

wine_dll_path "${dll_dirs[@]}"

settings="set QT_QPA_FONTDIR=$(windows_path /usr/share/fonts/truetype/dejavu)"
while IFS='=' read -r name value; do
    [ "$name" = QT_QPA_FONTDIR ] && continue
    settings+="&& set $name=$value"
done < <(env | grep '^QT_[A-Za-z0-9_]*=')

# QtTest's log does not reach standard output from under this Wine: the test
# writes it to a file, printed here when the test ends.
log=$(mktemp --suffix=.txt)
trap 'rm -f "$log"' EXIT
command_line="$(windows_path "$PROGRAM") -o $(windows_path "$log"),txt"
for argument in "$@"; do
    command_line+=" $argument" # none of the tests' arguments holds a blank
done
wine cmd /c "$settings&& $command_line"
status=$?
cat "$log"
exit $status
