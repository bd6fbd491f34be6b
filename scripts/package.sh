#!/usr/bin/env bash
# Builds the panel's Debian package from a release build of the panel alone:
#   build-package/vellamor-desktop_<version>_<arch>.deb
# Install it with: sudo apt install ./build-package/vellamor-desktop_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --package --target vellamor-desktop build-package -DCMAKE_BUILD_TYPE=Release
rm -f build-package/vellamor-desktop_*.deb
(cd build-package && cpack -G DEB)
