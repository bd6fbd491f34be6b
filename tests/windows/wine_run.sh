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

source "$(dirname "$0")/wine_prefix.sh"
wine_arguments "$@"
PROGRAM=${WINE_REST[0]:?program}

# A program that shows system windows (VELLAMOR_WINE_DISPLAY=1) gets an Xvfb
# display of its own; every other one none.
if [ "${VELLAMOR_WINE_DISPLAY:-}" = 1 ] && [ -z "${VELLAMOR_WINE_XVFB:-}" ]; then
    export VELLAMOR_WINE_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
[ "${VELLAMOR_WINE_DISPLAY:-}" = 1 ] || unset DISPLAY

wine_prefix "$WINE_PREFIX_DIR" || exit 1
wine_dll_path "${WINE_DLL_DIRS[@]}"

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
for argument in "${WINE_REST[@]:1}"; do
    command_line+=" $argument" # none of the tests' arguments holds a blank
done
wine cmd /c "$settings&& $command_line"
status=$?
cat "$log"
exit $status
