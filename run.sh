#!/usr/bin/env bash
# Installs what is missing, builds and starts the panel.
#   ./run.sh               start the panel
#   ./run.sh --dev-server  also start the development management server beside it
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: start the panel from a desktop session (or set QT_QPA_PLATFORM)." >&2
    exit 1
fi

# The panel keeps gc.xml, rules.txt and logs/ beside its executable: build/bin.
server_pid=""
if [ "${1:-}" = "--dev-server" ]; then
    if [ -x build/bin/vellamor-mgmt-server ]; then
        build/bin/vellamor-mgmt-server --config build/bin/gc.xml &
        server_pid=$!
        trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true' EXIT
    else
        echo "The development server is not built." >&2
    fi
fi

build/bin/vellamor-desktop
