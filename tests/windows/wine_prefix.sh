# Sourced by the scripts that run Windows programs of the build under Wine.
#
#   wine_arguments <prefix dir> <dll dir>... -- <rest>...
#                              the command line those scripts share: sets
#                              WINE_PREFIX_DIR, WINE_DLL_DIRS and WINE_REST
#   wine_prefix <prefix dir>   exports a private, quiet Wine for that prefix
#                              and makes the prefix on first use (Windows 10,
#                              no Mono or Gecko, no menu entries), one caller
#                              at a time
#   wine_dll_path <dir>...     puts those folders on the programs' DLL search path
#   windows_path <unix path>   the same file as a Windows path (Z:\...)

wine_prefix() {
    export WINEPREFIX=$1
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset WAYLAND_DISPLAY
    mkdir -p "$WINEPREFIX.lock.d"
    (
        flock 9
        [ -f "$WINEPREFIX/vellamor-ready" ] && exit 0
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        echo "wine: creating the prefix $WINEPREFIX" >&2
        # Without a display: the prefix's first server has nothing to draw.
        env -u DISPLAY timeout 240 wineboot -i >/dev/null 2>&1 || { echo "wine: FAILED: wineboot -i" >&2; exit 1; }
        # A fresh prefix says Windows 7.
        env -u DISPLAY timeout 60 wine winecfg /v win10 >/dev/null 2>&1 ||
            { echo "wine: FAILED: setting Windows 10" >&2; exit 1; }
        timeout 120 wineserver -w || { echo "wine: FAILED: the prefix's wineserver did not end" >&2; exit 1; }
        # The first programs started in a new prefix have been seen to hang
        # when two start at once: one runs alone first, inside the lock.
        env -u DISPLAY timeout 120 wine cmd /c ver >/dev/null 2>&1 || { echo "wine: FAILED: a first program" >&2; exit 1; }
        timeout 120 wineserver -w || { echo "wine: FAILED: the prefix's wineserver did not end" >&2; exit 1; }
        touch "$WINEPREFIX/vellamor-ready"
    ) 9>"$WINEPREFIX.lock.d/lock"
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

wine_dll_path() {
    local search=() dir
    for dir in "$@"; do
        search+=("$(windows_path "$dir")")
    done
    WINEPATH=$(IFS=';'; echo "${search[*]}")
    export WINEPATH
}

wine_arguments() {
    WINE_PREFIX_DIR=${1:?prefix dir}
    shift
    WINE_DLL_DIRS=()
    while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
        WINE_DLL_DIRS+=("$1")
        shift
    done
    shift || true
    WINE_REST=("$@")
}
