#!/usr/bin/env bash
# Makes the Windows installer of a built Windows configuration:
#
#   packaging/windows/make_installer.sh <windows-build-dir>
#
# Writes <windows-build-dir>/vellamor-desktop-<version>-setup.exe and prints
# its path and size. scripts/package-windows.sh builds first, then runs this.
set -euo pipefail

build_dir=$(cd "${1:?windows build dir}" && pwd)

stage=$build_dir/installer/stage
rm -rf "$stage"
cmake --install "$build_dir" --prefix "$stage" >/dev/null
find "$stage" -name "*.exe" -o -name "*.dll" | xargs x86_64-w64-mingw32-strip --strip-unneeded

# What to install and, in the reverse order, what to remove again: only the
# installer's own files, never what the server or the administrator put there.
files=$build_dir/installer/files.nsh
remove=$build_dir/installer/remove.nsh
: >"$files"
: >"$remove"
while IFS= read -r dir; do
    windows_dir=${dir//\//\\}
    echo "SetOutPath \"\$INSTDIR${windows_dir:+\\$windows_dir}\"" >>"$files"
    find "$stage/$dir" -mindepth 1 -maxdepth 1 -type f -printf '%f\n' | sort | while IFS= read -r name; do
        echo "File \"$stage/${dir:+$dir/}$name\"" >>"$files"
        echo "Delete \"\$INSTDIR\\${windows_dir:+$windows_dir\\}$name\"" >>"$remove"
    done
    [ -n "$dir" ] && echo "RMDir \"\$INSTDIR\\$windows_dir\"" >>"$remove"
done < <(cd "$stage" && find . -type d -printf '%P\n' | sort -r)
echo "SetOutPath \"\$INSTDIR\"" >>"$files"

version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' "$build_dir/packaging/windows/installer.nsi")
out=$build_dir/vellamor-desktop-$version-setup.exe
size_kb=$(du -sk "$stage" | cut -f1)
makensis -V2 -DSTAGE="$stage" -DFILES="$files" -DREMOVE="$remove" -DOUT="$out" -DSIZE_KB="$size_kb" \
    "$build_dir/packaging/windows/installer.nsi"
echo "package-windows: $out ($(du -k "$out" | cut -f1) KB, installs $size_kb KB)"
