#!/usr/bin/env bash
# Builds the panel's Windows configuration: the same project cross-built with
# MinGW-w64 against the Qt of scripts/build-qt-windows.sh and the libgit2 of
# scripts/build-libgit2-windows.sh (each made first when the machine has
# none), with its artwork drawn by a native build's vellamor-prerender.
#
#   scripts/build-windows.sh [windows-build-dir] [native-build-dir] [extra cmake arguments...]
#
# Defaults: build-windows, and build for the native tools (the artwork's and
# the stand-in management server the checks of the real panel poll). The tests (label windows) then run under
# Wine: (cd build-windows && ctest -L windows).
set -euo pipefail

cd "$(dirname "$0")/.."

build_dir=${1:-build-windows}
native_dir=${2:-build}
shift 2 || shift $#

scripts/setup.sh --windows --target vellamor-prerender --target vellamor-mgmt-server "$native_dir"
scripts/build-qt-windows.sh
scripts/build-libgit2-windows.sh
qt=$(scripts/build-qt-windows.sh --print)

if [ ! -f "$build_dir/build.ninja" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/windows.cmake" -DVELLAMOR_QT_WINDOWS="$qt" \
        -DVELLAMOR_PRERENDER="$PWD/$native_dir/tools/prerender/vellamor-prerender" \
        -DVELLAMOR_MGMT_SERVER="$PWD/$native_dir/bin/vellamor-mgmt-server" \
        -DVELLAMOR_BUILD_TOOLS=OFF -DVELLAMOR_BUILD_BENCH=OFF "$@"
elif [ "$#" -gt 0 ]; then
    cmake -S . -B "$build_dir" "$@" >/dev/null
fi
cmake --build "$build_dir" -j "${JOBS:-$(nproc)}"
