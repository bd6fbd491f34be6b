#!/usr/bin/env bash
# The install tree as `cmake --install` lays it out: every file where a
# desktop looks for it, with its mode; the desktop entry and the metainfo
# accepted by their own validators; the menu entry and the command both
# leading to the panel in the server's directory.
#
#   check_install.sh <build-dir> <server-dir> <expected-tree>
set -euo pipefail
build=$1 server=$2 expected=$3
id=com.vellamor.ApplicationServerDesktop

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

# mode, type (f file, l link), path
actual=$(cd "$root" && find . -mindepth 1 ! -type d -printf '%m %y %p\n' | sort -k3)
if ! diff -u <(sed "s|@SERVER_DIR@|$server|" "$expected" | sort -k3) <(echo "$actual"); then
    echo "The install tree differs from $expected (- expected, + installed)." >&2
    exit 1
fi

bash "$(dirname "$0")/validate_desktop.sh" "$root"

panel=$server/vellamor-desktop
exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$id.desktop")
[ "$exec_line" = "$panel" ] || { echo "Exec=$exec_line, expected $panel" >&2; exit 1; }
link=$(readlink "$root/usr/bin/vellamor-desktop")
[ "$link" = "$panel" ] || { echo "usr/bin/vellamor-desktop leads to $link, expected $panel" >&2; exit 1; }
[ -x "$root$panel" ] || { echo "$panel is not an executable file" >&2; exit 1; }
icon=$(sed -n 's/^Icon=//p' "$root/usr/share/applications/$id.desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || { echo "no scalable icon named $icon" >&2; exit 1; }
echo "The install tree is as expected."
