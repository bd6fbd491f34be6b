#!/usr/bin/env bash
# Installs what is missing, builds and runs every test:
#   1. a warning-free build (-Werror, warnings in CMakeLists.txt), a format
#      check, clang-tidy (.clang-tidy) and the whole suite, with the install
#      tree made from this build; then the Windows build (its Qt is made once
#      per machine) and its suites under Wine, with the installer;
#   2. the suite again under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the Debian package, built as it ships, and its checks (lintian);
#   4. the management tests under ThreadSanitizer;
#   5. the fuzz targets (fuzz/), built with clang, 30 seconds each.
# GUI tests run on the offscreen platform; no display is needed.
set -euo pipefail
cd "$(dirname "$0")"

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== build"
scripts/setup.sh --tests build -DVELLAMOR_WERROR=ON
echo "== format"
scripts/check-format.sh
echo "== clang-tidy"
# On this build's compile database, over src, tools, bench and tests; files
# found clean on an earlier run and unchanged since are not checked again.
scripts/clang-tidy.sh build
(cd build && ctest --output-on-failure -j "$jobs")

echo "== Windows, under Wine"
windows_started=$(date +%s)
scripts/build-windows.sh build-windows build -DVELLAMOR_WERROR=ON
(cd build-windows && ctest --output-on-failure -j "$jobs" -L windows)
echo "Windows build and tests: $(($(date +%s) - windows_started)) s"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVELLAMOR_WERROR=ON \
    -DVELLAMOR_SANITIZE=address,undefined -DVELLAMOR_BUILD_BENCH=OFF
# The Windows backends run under Wine from the first pass; they do not link our
# sanitizers. The install tree is the first pass's too.
(cd build-asan && ctest --output-on-failure -j "$jobs" -LE 'windows|install')

echo "== Debian package"
# A release build of the panel alone with Debian's hardening flags: the
# package's contents, its maintainer scripts, lintian and the validators.
scripts/package.sh build-package
(cd build-package && ctest --output-on-failure -L install)

echo "== ThreadSanitizer (management)"
# The management tests carry their own TSAN_OPTIONS (tests/management/tsan.supp).
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
if [ ! -f build-tsan/build.ninja ]; then
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELLAMOR_SANITIZE=thread \
        -DVELLAMOR_BUILD_BENCH=OFF >/dev/null
fi
mapfile -t tsan_targets < <(cd build && ctest -N -L management | sed -n 's/^ *Test *#[0-9]*: *//p')
if [ "${#tsan_targets[@]}" -gt 0 ]; then
    cmake --build build-tsan -j "$jobs" --target "${tsan_targets[@]}"
    (cd build-tsan && ctest --output-on-failure -j "$jobs" -L management)
fi
echo "== fuzz targets (libFuzzer, AddressSanitizer + UndefinedBehaviorSanitizer, 30 s each)"
scripts/setup.sh --fuzz --target fuzzers build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 \
    -DVELLAMOR_SANITIZE=address,undefined -DVELLAMOR_BUILD_FUZZ=ON -DVELLAMOR_BUILD_BENCH=OFF
# New inputs go to build-fuzz/corpus/, never into the seeds in the tree; a
# finding leaves its input in build-fuzz/findings/ and fails the pass.
fuzz_failed=0
for seeds in fuzz/corpus/*/; do
    name=$(basename "$seeds")
    mkdir -p "build-fuzz/corpus/$name" build-fuzz/findings
    if build-fuzz/fuzz/"$name" -max_total_time=30 -seed=1 -timeout=10 -artifact_prefix="build-fuzz/findings/$name-" \
        "build-fuzz/corpus/$name" "$seeds" >"build-fuzz/$name.log" 2>&1; then
        echo "$name: $(sed -n 's/^Done \([0-9]*\) runs.*/\1 inputs/p' "build-fuzz/$name.log"), no finding"
    else
        tail -n 40 "build-fuzz/$name.log"
        echo "$name: FINDING (input in build-fuzz/findings/, log in build-fuzz/$name.log)"
        fuzz_failed=1
    fi
done
[ "$fuzz_failed" = 0 ]
echo "All test passes finished."
