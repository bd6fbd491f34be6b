#!/bin/bash
# The Windows installer as an administrator meets it, under Wine: made from
# this build, installed silently into a chosen folder of a fresh prefix, the
# installed panel started there (check_panel.sh), and uninstalled silently,
# leaving the server's files.
#
#   check_installer.sh <windows build dir> <prefix dir> <vellamor-mgmt-server>

set -u

BUILD_DIR=${1:?windows build dir}
PREFIX=${2:?prefix dir}
SERVER=${3:?management server}
HERE=$(cd "$(dirname "$0")" && pwd)

say() { echo "check_installer: $*"; }
fail() { say "FAILED: $*"; exit 1; }

"$HERE/../../packaging/windows/make_installer.sh" "$BUILD_DIR" || fail "making the installer"
installer=$(ls "$BUILD_DIR"/vellamor-desktop-*-setup.exe)

source "$HERE/wine_prefix.sh"
# A fresh prefix: nothing of an earlier install may be there.
rm -rf "$PREFIX" "$PREFIX.lock.d"
unset DISPLAY
wine_prefix "$PREFIX" || exit 1
trap 'timeout 30 wineserver -k >/dev/null 2>&1' EXIT

folder='C:\Vellamor Server'
dir="$PREFIX/drive_c/Vellamor Server"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VellamorApplicationServerDesktop'
menu_entry="$PREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vellamor Application Server Desktop.lnk"

# /D must come last and unquoted, so the command line goes through cmd.
say "installing $(basename "$installer") into $folder"
timeout 120 wine cmd /c "$(windows_path "$installer") /S /D=$folder" || fail "the installer failed"
timeout 120 wineserver -w
for file in vellamor-desktop.exe Qt6Core.dll Qt6Widgets.dll libstdc++-6.dll platforms/qwindows.dll \
    styles/qwindowsvistastyle.dll uninstall-vellamor-desktop.exe; do
    [ -f "$dir/$file" ] || fail "$file is not installed"
done
[ -f "$menu_entry" ] || fail "no Start menu entry"
timeout 60 wine reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1 || fail "no entry in Apps & features"
say "installed: the files, the Start menu entry, the Apps & features entry"

# The installed panel, with no DLL folder of the build on its path.
VELLAMOR_WINE_XVFB='' bash "$HERE/check_panel.sh" "$PREFIX" -- "$dir" "$SERVER" || fail "the installed panel"
timeout 120 wineserver -k >/dev/null 2>&1
: >"$dir/default.key"
: >"$dir/default.cer"

say "uninstalling"
timeout 120 wine "$folder\\uninstall-vellamor-desktop.exe" /S || fail "the uninstaller failed"
# The uninstaller runs from a copy of itself that it starts and does not wait for.
timeout 120 wineserver -w
# The administrator's files stay, and the configuration history (history.git) with them.
for file in gc.xml rules.txt logs default.key default.cer; do
    [ -e "$dir/$file" ] || fail "the uninstaller removed $file"
done
left=$(cd "$dir" && find . -mindepth 1 | grep -v -x -e ./gc.xml -e ./rules.txt -e './logs.*' -e ./default.key \
    -e ./default.cer -e './history\.git.*')
[ -z "$left" ] || fail "the uninstaller left $left"
[ ! -e "$menu_entry" ] || fail "the Start menu entry stayed"
! timeout 60 wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the Apps & features entry stayed"
say "passed"
