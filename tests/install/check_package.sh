#!/usr/bin/env bash
# The Debian package read back with dpkg-deb: its name, its contents with
# owners and modes, dependencies that cover every library the panel links
# (as dpkg-shlibdeps found them, with versions), maintainer scripts that are
# there, executable and well-formed and that take back on purge only what
# they made; then lintian's verdict and the desktop validators'.
#
#   check_package.sh <build-dir> <server-dir> <version> <expected-contents>
set -euo pipefail
build=$1 server=$2 version=$3 expected=$4
fail() { echo "$*" >&2; exit 1; }

for tool in cpack dpkg-deb dpkg-shlibdeps objdump lintian; do
    command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/setup.sh --tests"
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
deb=$out/vellamor-desktop_${version}_${arch}.deb
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(cd "$out" && ls ./*.deb)"

[ "$(dpkg-deb -f "$deb" Package)" = vellamor-desktop ] || fail "wrong package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "wrong version"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "wrong architecture"

# mode owner path (a link with its target), directories left out
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { line = $1 " " $2; for (i = 6; i <= NF; ++i) line = line " " $i; print line }' | sort -k3)
if ! diff -u <(sed "s|@SERVER_DIR@|$server|g" "$expected" | sort -k3) <(echo "$actual"); then
    fail "The package's contents differ from $expected (- expected, + packaged)."
fi

# Every library the panel needs, by the package that ships it on this system.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
mkdir "$out/data"
dpkg-deb -x "$deb" "$out/data"
for library in $(objdump -p "$out/data$server/vellamor-desktop" | awk '$1 == "NEEDED" { print $2 }'); do
    # awk reads to the end: leaving early would cut ldconfig off with SIGPIPE,
    # which pipefail turns into a silent failure of the whole script.
    path=$(ldconfig -p | awk -v name="$library" '$1 == name && !found { print $NF; found = 1 }')
    [ -n "$path" ] || fail "$library is not on this system"
    owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(realpath "$path")")
    owner=${owner%%:*}
    [[ ", $depends," == *", $owner ("* ]] || fail "Depends lacks $owner (>= version) for $library"
done
[[ ", $depends," == *", adduser,"* || "$depends" == adduser,* ]] || fail "Depends lacks adduser, which postinst runs"

mkdir "$out/control"
dpkg-deb -e "$deb" "$out/control"
for script in postinst postrm; do
    [ -x "$out/control/$script" ] || fail "$script is missing or not executable"
    sh -n "$out/control/$script" || fail "$script is not a well-formed shell script"
    grep -q "dir=\"$server\"" "$out/control/$script" || fail "$script does not act on $server"
done

# The maintainer scripts as dpkg runs them, on a stand-in server directory,
# with the system's tools that they call answered by stubs.
mkdir -p "$out/stub" "$out/srv"
for stub in addgroup getent dpkg-statoverride chgrp; do printf '#!/bin/sh\nexit 0\n' >"$out/stub/$stub"; done
printf '#!/bin/sh\nfor last; do :; done\nmkdir -p "$last"\n' >"$out/stub/install"
chmod +x "$out/stub"/*
maintainer() { # <script> <arguments...>
    local name=$1
    shift
    sed "s|dir=\"$server\"|dir=\"$out/srv\"|; s|state=\"/var/lib/vellamor-desktop\"|state=\"$out/state\"|" \
        "$out/control/$name" >"$out/$name"
    PATH="$out/stub:$PATH" sh "$out/$name" "$@"
}
purged() { # <logs/ before the install: none or empty> <a file the server writes there, or none>
    rm -rf "${out:?}/srv/logs"
    [ "$1" = none ] || mkdir "$out/srv/logs"
    maintainer postinst configure ""
    [ "$2" = none ] || touch "$out/srv/logs/$2"
    maintainer postrm purge
    [ ! -e "$out/state" ] || echo "left $out/state"
    [ -e "$out/srv/logs" ] && echo kept || echo removed
}
[ "$(purged none none)" = removed ] || fail "purge leaves the empty logs/ that postinst made, or its own state"
[ "$(purged none server.log)" = kept ] || fail "purge removes a logs/ the server has written to"
[ "$(purged empty none)" = kept ] || fail "purge removes a logs/ that was there before the package"

# Debian's own verdict: no error, no warning. The override file says why the
# panel lives in /opt; info and pedantic remarks are shown for the reader.
lintian --pedantic --display-info --fail-on error,warning "$deb" || fail "lintian finds errors or warnings"
zcat "$out/data/usr/share/man/man1/vellamor-desktop.1.gz" | grep -q "^\.I $server/gc.xml" ||
    fail "the manual page does not name $server/gc.xml"
bash "$(dirname "$0")/validate_desktop.sh" "$out/data"
echo "The package is as expected."
