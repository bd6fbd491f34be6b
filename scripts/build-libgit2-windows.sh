#!/usr/bin/env bash
# Builds the libgit2 that the Windows panel's configuration history links
# against: Debian's own libgit2 source, cross-compiled with MinGW-w64 as a
# static library into a versioned folder outside the checkout, once per
# machine.
#
#   scripts/build-libgit2-windows.sh            # builds it, or returns at once when it is there
#   scripts/build-libgit2-windows.sh --print    # prints the folder and nothing else
#
# VELLAMOR_LIBGIT2_WINDOWS overrides the folder; JOBS the parallel build jobs
# (default: the processor count). Debian's libgit2 source carries none of the
# libraries upstream bundles, so zlib comes from libz-mingw-w64-dev and PCRE2
# and http-parser from Debian's own source packages, built here beside it.
# Nothing is downloaded but Debian's source packages, which apt checks against
# the archive's signed checksums; the system's apt set-up is never touched.
# HTTPS (WinHTTP too) and SSH are off: the history is a local repository and never fetches.
set -euo pipefail

cd "$(dirname "$0")/.."

libgit2_version=1.5.1
# Raise when the options below change.
recipe=1
cache=${XDG_CACHE_HOME:-$HOME/.cache}/vellamor
prefix=${VELLAMOR_LIBGIT2_WINDOWS:-$cache/libgit2-$libgit2_version-mingw-w64-x86_64-r$recipe}
stamp=$prefix/vellamor-libgit2-built

if [ "${1:-}" = "--print" ]; then
    echo "$prefix"
    exit 0
fi

say() { echo "build-libgit2-windows: $*"; }

if [ -f "$stamp" ]; then
    say "libgit2 $libgit2_version for Windows is ready in $prefix"
    exit 0
fi

for tool in x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-ar apt-get dpkg-source cmake ninja; do
    command -v "$tool" >/dev/null 2>&1 || { say "missing $tool (run scripts/setup.sh --windows)"; exit 1; }
done
[ -f /usr/x86_64-w64-mingw32/include/zlib.h ] || { say "missing libz-mingw-w64-dev (run scripts/setup.sh --windows)"; exit 1; }

work=$cache/work-libgit2-$libgit2_version-r$recipe
mkdir -p "$work"
exec 9>"$work/lock"
flock 9
if [ -f "$stamp" ]; then
    say "libgit2 $libgit2_version for Windows is ready in $prefix"
    exit 0
fi

started=$(date +%s)

apt_dir=$work/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main" \
    >"$apt_dir/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
             -o APT::Sandbox::User="$(id -un)")
updated=0

# fetch <source package> <version prefix or empty> <folder>: downloads and
# unpacks bookworm's source once; apt and dpkg-source check every checksum.
fetch() {
    local package=$1 wanted=$2 dir=$3 version dsc
    [ -f "$dir/.unpacked" ] && return 0
    if [ "$updated" = 0 ]; then
        apt-get "${apt_options[@]}" -qq update
        updated=1
    fi
    version=$(apt-cache "${apt_options[@]}" showsrc "$package" | sed -n "s/^Version: \\($wanted.*\\)/\\1/p" | head -1)
    [ -n "$version" ] || { say "FAILED: bookworm has no $package $wanted"; exit 1; }
    say "fetching Debian's $package $version source"
    rm -rf "$dir" "$work/download-$package"
    mkdir -p "$work/download-$package"
    (cd "$work/download-$package" && apt-get "${apt_options[@]}" -q source --download-only "$package=$version") \
        >"$work/fetch-$package.log" 2>&1 || { cat "$work/fetch-$package.log"; say "FAILED: fetching $package"; exit 1; }
    dsc=$(ls "$work/download-$package/${package}"_*.dsc)
    dpkg-source -x "$dsc" "$dir" >"$work/unpack-$package.log" 2>&1 ||
        { cat "$work/unpack-$package.log"; say "FAILED: unpacking $package"; exit 1; }
    touch "$dir/.unpacked"
}

fetch libgit2 "$libgit2_version" "$work/src-libgit2"
fetch pcre2 "" "$work/src-pcre2"
fetch http-parser "" "$work/src-http-parser"

cat >"$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH $prefix /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
jobs=${JOBS:-$(nproc)}
mkdir -p "$prefix/lib" "$prefix/include"

# http-parser is one C file.
say "building http-parser"
x86_64-w64-mingw32-gcc-posix -O2 -c "$work/src-http-parser/http_parser.c" -o "$work/http_parser.o"
x86_64-w64-mingw32-ar rcs "$prefix/lib/libhttp_parser.a" "$work/http_parser.o"
cp "$work/src-http-parser/http_parser.h" "$prefix/include/"

# build <name> <source> <cmake options...>
build() {
    local name=$1 source=$2
    shift 2
    say "configuring $name (log: $work/configure-$name.log)"
    cmake -S "$source" -B "$work/build-$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" \
        >"$work/configure-$name.log" 2>&1 || { tail -40 "$work/configure-$name.log"; say "FAILED: configure $name"; exit 1; }
    say "building $name with $jobs jobs (log: $work/build-$name.log)"
    cmake --build "$work/build-$name" -j "$jobs" >"$work/build-$name.log" 2>&1 ||
        { grep -A20 'FAILED:' "$work/build-$name.log" | head -60; say "FAILED: build $name"; exit 1; }
    cmake --install "$work/build-$name" >"$work/install-$name.log" 2>&1 ||
        { tail -20 "$work/install-$name.log"; say "FAILED: install $name"; exit 1; }
}

# Only the 8-bit library libgit2's regular expressions need.
build pcre2 "$work/src-pcre2" -DPCRE2_BUILD_PCRE2_8=ON -DPCRE2_BUILD_PCRE2_16=OFF -DPCRE2_BUILD_PCRE2_32=OFF \
    -DPCRE2_BUILD_PCRE2GREP=OFF -DPCRE2_BUILD_TESTS=OFF -DPCRE2_SUPPORT_JIT=OFF -DPCRE2_STATIC_PIC=ON
build libgit2 "$work/src-libgit2" -DBUILD_TESTS=OFF -DBUILD_CLI=OFF -DBUILD_EXAMPLES=OFF -DBUILD_FUZZERS=OFF \
    -DUSE_HTTPS=OFF -DUSE_WINHTTP=OFF -DUSE_SSH=OFF -DUSE_NTLMCLIENT=OFF -DUSE_GSSAPI=OFF -DUSE_BUNDLED_ZLIB=OFF \
    -DREGEX_BACKEND=pcre2 -DUSE_HTTP_PARSER=system -DUSE_SHA1=CollisionDetection -DUSE_THREADS=ON \
    -DCMAKE_C_FLAGS=-DPCRE2_STATIC

finished=$(date +%s)
seconds=$((finished - started))
size=$(du -sm "$prefix" | cut -f1)
{
    echo "libgit2 $libgit2_version recipe $recipe"
    echo "seconds $seconds"
    echo "jobs $jobs"
    echo "megabytes $size"
} >"$stamp"
say "libgit2 $libgit2_version for Windows built in $((seconds / 60)) min $((seconds % 60)) s ($jobs jobs), $size MB in $prefix"
rm -rf "$work"/build-* "$work"/src-*
