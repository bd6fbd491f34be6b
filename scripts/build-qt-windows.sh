#!/usr/bin/env bash
# Builds the Qt that the Windows panel links against: Debian's own qtbase
# source, cross-compiled with MinGW-w64 into a versioned folder outside the
# checkout, once per machine.
#
#   scripts/build-qt-windows.sh            # builds it, or returns at once when it is there
#   scripts/build-qt-windows.sh --print    # prints the folder and nothing else
#
# VELLAMOR_QT_WINDOWS overrides the folder; JOBS the parallel build jobs
# (default: the processor count). Nothing is downloaded but Debian's source
# package, which apt checks against the archive's signed checksums; the
# system's own apt set-up is never touched (a private configuration of our own
# under the cache folder).
#
# The host's Qt (qt6-base-dev-tools, the same 6.4.2) supplies moc, rcc and uic,
# so only the target libraries and plugins are built: Core, Gui, Widgets,
# Network (Schannel), Xml and Test, the windows and offscreen platforms and the
# windowsvista style. Debian's source lacks wintab and SQLite, hence no tablet
# events and no Sql; without Direct2D the windows platform needs DirectWrite 3
# off to link.
set -euo pipefail

cd "$(dirname "$0")/.."

qt_version=6.4.2
# Raise when the options below change, so that a machine builds the new Qt
# instead of reusing the old one.
recipe=1
cache=${XDG_CACHE_HOME:-$HOME/.cache}/vellamor
prefix=${VELLAMOR_QT_WINDOWS:-$cache/qt-$qt_version-mingw-w64-x86_64-r$recipe}
stamp=$prefix/vellamor-qt-built

if [ "${1:-}" = "--print" ]; then
    echo "$prefix"
    exit 0
fi

say() { echo "build-qt-windows: $*"; }

if [ -f "$stamp" ]; then
    say "Qt $qt_version for Windows is ready in $prefix"
    exit 0
fi

for tool in x86_64-w64-mingw32-g++-posix apt-get dpkg-source cmake ninja /usr/lib/qt6/libexec/moc; do
    command -v "$tool" >/dev/null 2>&1 || { say "missing $tool (run scripts/setup.sh --tests)"; exit 1; }
done

work=$cache/work-qt-$qt_version-r$recipe
mkdir -p "$work"
# One build at a time: a second caller waits for the first and then finds
# the stamp.
exec 9>"$work/lock"
flock 9
if [ -f "$stamp" ]; then
    say "Qt $qt_version for Windows is ready in $prefix"
    exit 0
fi

started=$(date +%s)

# Fetch: a private apt with only the deb-src line for bookworm main.
apt_dir=$work/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" \
    >"$apt_dir/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
             -o APT::Sandbox::User="$(id -un)")
src=$work/src
if [ ! -f "$src/.unpacked" ]; then
    say "fetching Debian's qt6-base source"
    apt-get "${apt_options[@]}" -qq update
    rm -rf "$src" "$work/download"
    mkdir -p "$work/download"
    # apt checks every file against the hashes in the signed Sources index
    # and stops on a mismatch.
    version=$(apt-cache "${apt_options[@]}" showsrc qt6-base | sed -n "s/^Version: \\($qt_version+.*\\)/\\1/p" | head -1)
    [ -n "$version" ] || { say "FAILED: bookworm has no qt6-base $qt_version"; exit 1; }
    (cd "$work/download" && apt-get "${apt_options[@]}" -q source --download-only "qt6-base=$version")
    dsc=$(ls "$work/download"/qt6-base_*.dsc)
    say "unpacking $(basename "$dsc")"
    # dpkg-source checks the files against the .dsc's own checksums too.
    dpkg-source -x "$dsc" "$src" >"$work/unpack.log" 2>&1 ||
        { cat "$work/unpack.log"; say "FAILED: unpacking"; exit 1; }
    touch "$src/.unpacked"
fi

# Qt 6.4.2 leaves OpenGL's dynamic loading on when OpenGL itself is off, and
# the windows platform then asks it whether OpenGL is done in software, which
# does not build. Without OpenGL that answer is no.
glcheck=$src/src/plugins/platforms/windows/qwindowswindow.cpp
if ! grep -q 'QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)' "$glcheck"; then
    sed -i '/^static inline bool isSoftwareGl()$/,/^}$/ s/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
        "$glcheck"
    grep -q 'QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)' "$glcheck" || { say "FAILED: patching $glcheck"; exit 1; }
fi

# A toolchain of its own: Qt is shared and links the MinGW runtime DLLs.
cat >"$work/toolchain.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

build=$work/build
say "configuring (log: $work/configure.log)"
cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_sql=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF \
    -DFEATURE_openssl=OFF -DFEATURE_schannel=ON \
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF \
    >"$work/configure.log" 2>&1 || { tail -40 "$work/configure.log"; say "FAILED: configure"; exit 1; }

jobs=${JOBS:-$(nproc)}
say "building with $jobs jobs (log: $work/build.log)"
# Ninja's [done/total] lines, one in a hundred, as the progress.
set +e
cmake --build "$build" -j "$jobs" 2>&1 | tee "$work/build.log" |
    awk '/^\[[0-9]+\/[0-9]+\]/ { split(substr($1, 2), n, "/"); n[2] += 0
                                 if (n[1] % 100 == 0 || n[1] == n[2]) { print "build-qt-windows: step " n[1] " of " n[2]; fflush() } }'
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
    grep -B2 -A20 'FAILED:' "$work/build.log" | head -60
    say "FAILED: build"
    exit 1
fi
cmake --install "$build" >"$work/install.log" 2>&1 || { tail -20 "$work/install.log"; say "FAILED: install"; exit 1; }

finished=$(date +%s)
seconds=$((finished - started))
size=$(du -sm "$prefix" | cut -f1)
steps=$(grep -c '^\[[0-9]*/[0-9]*\]' "$work/build.log" || true)
{
    echo "qt $qt_version recipe $recipe"
    echo "steps $steps"
    echo "seconds $seconds"
    echo "jobs $jobs"
    echo "megabytes $size"
} >"$stamp"
say "Qt $qt_version for Windows built in $((seconds / 60)) min $((seconds % 60)) s ($steps steps, $jobs jobs), $size MB in $prefix"
# The sources and objects are of no further use; the download stays for a rebuild.
rm -rf "$build" "$src"
