#!/usr/bin/env bash
# Builds the panel's Debian package from a release build of the panel alone,
# with Debian's hardening flags:
#   scripts/package.sh [build-dir] [extra cmake arguments...]
#   build-package/vellamor-desktop_<version>-<revision>_<arch>.deb
# Install it with: sudo apt install ./build-package/vellamor-desktop_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-package}
shift || true
scripts/setup.sh --package --target vellamor-desktop "$build" -DCMAKE_BUILD_TYPE=Release -DVELLAMOR_DEBIAN_BUILDFLAGS=ON "$@"
rm -f "$build"/vellamor-desktop_*.deb
(cd "$build" && cpack -G DEB)
