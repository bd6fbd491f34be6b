#!/usr/bin/env bash
# Builds the Windows installer, vellamor-desktop-<version>-setup.exe, from the
# Windows build (made first, with its Qt when the machine has none):
#
#   scripts/package-windows.sh [windows-build-dir] [native-build-dir]
#
# The installer lands in the Windows build directory; the script prints its
# path and size.
set -euo pipefail

cd "$(dirname "$0")/.."

build_dir=${1:-build-windows}
native_dir=${2:-build}

scripts/build-windows.sh "$build_dir" "$native_dir"

packaging/windows/make_installer.sh "$build_dir"
