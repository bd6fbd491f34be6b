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
# What Wine itself prints goes to a file too, shown when the test ends: the
# processes a program's first start brings up in the prefix (its services,
# its desktop) outlive the program, and on CTest's pipe they would keep the
# test open until its timeout.
wine_said=$(mktemp)
trap 'rm -f "$log" "$wine_said"' EXIT
command_line="$(windows_path "$PROGRAM") -o $(windows_path "$log"),txt"
for argument in "${WINE_REST[@]:1}"; do
    command_line+=" $argument" # none of the tests' arguments holds a blank
done
# Under load this Wine has been seen to leave a finished program's process
# hanging at exit for minutes. The program itself runs natively on Linux too,
# where an exit that hangs fails; here, once QtTest has written its last line,
# a process still there after a grace time is ended and the test's own totals
# decide.
wine cmd /c "$settings&& $command_line" </dev/null >"$wine_said" 2>&1 &
wine_pid=$!
finished_at=
while kill -0 "$wine_pid" 2>/dev/null; do
    if [ -z "$finished_at" ] && grep -q '^\*\*\*\*\*\*\*\*\* Finished testing of ' "$log" 2>/dev/null; then
        finished_at=$SECONDS
    fi
    if [ -n "$finished_at" ] && [ $((SECONDS - finished_at)) -ge 15 ]; then
        echo "wine: the program finished its tests but did not exit in 15 s; ended, its totals decide" >&2
        # Its Windows processes (the program and the cmd that started it) are
        # Wine's, not this script's children, and hold the test's output
        # open: they are found by the program's Windows path.
        program_name=$(basename "$PROGRAM" | sed 's/[.[\*^$()+?{}|]/\\&/g')
        pkill -KILL -f "\\\\$program_name( |\$)" 2>/dev/null
        pkill -KILL -P "$wine_pid" 2>/dev/null
        kill -KILL "$wine_pid" 2>/dev/null
        wait "$wine_pid" 2>/dev/null
        cat "$log"
        cat "$wine_said" >&2
        grep -q '^Totals: [0-9]* passed, 0 failed,' "$log"
        exit $?
    fi
    sleep 0.2
done
wait "$wine_pid"
status=$?
cat "$log"
cat "$wine_said" >&2
exit $status
