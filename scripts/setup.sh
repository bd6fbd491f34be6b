#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs the Debian packages that are
# missing (nothing is downloaded when everything is there), then configures
# and builds one build directory.
#
#   scripts/setup.sh [--tests] [--package] [--fuzz] [--windows] [--target NAME]... [build-dir] [extra cmake arguments...]
#
# --tests adds what the test suite needs, --package what cpack needs for the
# Debian package, --fuzz clang and libFuzzer for the fuzz targets, --windows
# what the Windows build, its installer and its checks under Wine need (the
# tests include both); --target builds only the named targets (run.sh: the
# panel).
set -euo pipefail

cd "$(dirname "$0")/.."

want_tests=0
want_package=0
want_fuzz=0
want_windows=0
targets=()
while [ "$#" -gt 0 ]; do
    case "$1" in
    --tests) want_tests=1 want_package=1 want_fuzz=1 want_windows=1 ;;
    --fuzz) want_fuzz=1 ;;
    --package) want_package=1 ;;
    --windows) want_windows=1 ;;
    --target) targets+=(--target "$2"); shift ;;
    *) break ;;
    esac
    shift
done
build_dir=${1:-build}
shift || true

# openssl makes run.sh's development TLS key and certificate; zlib unpacks
# gzip address lists on import; libgit2 keeps the configuration history
# (history.git beside the files).
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
          qt6-qpa-plugins fonts-dejavu-core openssl zlib1g-dev libgit2-dev)
if [ "$want_tests" = 1 ]; then
    # A private D-Bus for the service tests, iproute2 to compare the address
    # list with, clang-format for the format check and clang-tidy (with its
    # parallel runner) for the lint; the validators of the desktop entry and
    # the metainfo; git to read the history as an administrator would.
    packages+=(dbus-daemon iproute2 clang-format clang-tidy-14 desktop-file-utils appstream git)
fi
if [ "$want_windows" = 1 ]; then
    # The MinGW cross compiler; apt's source download (dpkg-dev) and perl for
    # building Qt from Debian's source (scripts/build-qt-windows.sh); Wine to
    # run the tests, with Wine's own fonts and Liberation for the system
    # dialogs; NSIS for the installer; Xvfb and xdotool to see the panel's
    # real window, and ImageMagick's import for its picture in docs/; zlib
    # for MinGW, linked statically (cmake/windows.cmake) by the import and
    # by libgit2's Windows build (scripts/build-libgit2-windows.sh).
    packages+=(g++-mingw-w64-x86-64-posix dpkg-dev perl wine wine64 fonts-wine fonts-liberation nsis xvfb xdotool
               imagemagick libz-mingw-w64-dev)
fi
if [ "$want_fuzz" = 1 ]; then
    # clang with libFuzzer and the sanitizer runtimes, for the fuzz targets.
    packages+=(clang-14 libclang-rt-14-dev)
fi
if [ "$want_package" = 1 ]; then
    # What cpack needs for the Debian package: dpkg-shlibdeps (dpkg-dev) for
    # the dependencies, file to find the executables among the files; lintian
    # to hold the package to Debian's policy.
    packages+=(dpkg-dev file lintian)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    # Another install on the machine (unattended upgrades, a second checkout)
    # holds dpkg's lock for a while; wait for it rather than fail.
    $sudo apt-get -o DPkg::Lock::Timeout=600 update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$build_dir/build.ninja" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
elif [ "$#" -gt 0 ]; then
    cmake -S . -B "$build_dir" "$@" >/dev/null
fi
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
