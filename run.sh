#!/usr/bin/env bash
# Installs what is missing, builds and starts the panel.
#   ./run.sh               start the panel
#   ./run.sh --dev-server  also start the development management server beside it
set -euo pipefail
cd "$(dirname "$0")"

# Only what runs: the panel, and the development server when asked for.
targets=(--target vellamor-desktop)
[ "${1:-}" = "--dev-server" ] && targets+=(--target vellamor-mgmt-server)
scripts/setup.sh "${targets[@]}" build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: start the panel from a desktop session (or set QT_QPA_PLATFORM)." >&2
    exit 1
fi

# The panel keeps gc.xml, rules.txt and logs/ beside its executable: build/bin.
# A development build has no server to bring its TLS key and certificate, and
# Save refuses a configuration that names missing ones (gc.xml's defaults name
# these two): make a self-signed pair once, never over one that is there. Both
# are written aside and moved in, so an interrupted run leaves no half a pair.
if [ ! -e build/bin/default.key ] && [ ! -e build/bin/default.cer ]; then
    tls=$(mktemp -d build/bin/.tls.XXXXXX)
    if openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=localhost/O=Vellamor development" \
        -keyout "$tls/default.key" -out "$tls/default.cer" 2>"$tls/openssl.log"; then
        chmod 600 "$tls/default.key"
        mv "$tls/default.cer" build/bin/default.cer
        mv "$tls/default.key" build/bin/default.key
        echo "Made a development TLS key and self-signed certificate: build/bin/default.key, build/bin/default.cer"
    else
        cat "$tls/openssl.log" >&2
        echo "Could not make the development TLS files; Save will ask for a key and certificate." >&2
    fi
    rm -rf "$tls"
fi
server_pid=""
if [ "${1:-}" = "--dev-server" ]; then
    # Ports below 1024 need root; elsewhere the development pair uses 10110.
    port=1011
    [ "$(id -u)" -eq 0 ] || port=10110
    if [ ! -e build/bin/gc.xml ]; then
        # A first gc.xml, so the panel polls the server from its first second
        # (without one the panel has no management port until the first Save).
        printf '<global><ACC><port>88</port><IP>127.0.0.1</IP></ACC><Management><port>%s</port><IP>127.0.0.1</IP></Management></global>\n' \
            "$port" > build/bin/gc.xml
        chmod 600 build/bin/gc.xml
    fi
    port=$(sed -n 's:.*<Management>.*<port>\([0-9]*\)</port>.*:\1:p' build/bin/gc.xml)
    echo "Development management server on 127.0.0.1:${port:-1011} (log: build/mgmt-server.log)"
    build/bin/vellamor-mgmt-server --any-password --port "${port:-1011}" > build/mgmt-server.log 2>&1 &
    server_pid=$!
    trap 'kill "$server_pid" 2>/dev/null || true' EXIT
fi

build/bin/vellamor-desktop
