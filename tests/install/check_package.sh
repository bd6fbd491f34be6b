#!/usr/bin/env bash
# The Debian package read back with dpkg-deb: its name, its contents with
# owners and modes, dependencies that cover every library the panel links
# (as dpkg-shlibdeps found them, with versions), and maintainer scripts that
# are there, executable and well-formed.
#
#   check_package.sh <build-dir> <server-dir> <version> <expected-contents>
set -euo pipefail
build=$1 server=$2 version=$3 expected=$4
fail() { echo "$*" >&2; exit 1; }

for tool in cpack dpkg-deb dpkg-shlibdeps objdump; do
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
echo "The package is as expected."
