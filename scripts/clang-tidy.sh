#!/usr/bin/env bash
# Runs clang-tidy with the checks .clang-tidy names over our sources, on the
# compile database of a configured build, and fails on any finding:
#
#   scripts/clang-tidy.sh [build-dir] [path...]
#
# The paths (folders or files, such as src/gui/window or tools) narrow it to a
# part of the tree; without them it runs over src, tools, bench and tests.
# Only files the build compiles are checked, with the headers of ours they
# include; what moc and rcc generate is not ours and is left out. A file
# found clean is not checked again until what it is made of changes
# (scripts/clang-tidy-run.py says what counts, and where it is kept).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
shift || true
paths=("$@")
if [ "${#paths[@]}" -eq 0 ]; then
    paths=(src tools bench tests)
fi
if [ ! -f "$build_dir/compile_commands.json" ]; then
    echo "clang-tidy: no $build_dir/compile_commands.json; configure that build first" >&2
    exit 2
fi
for path in "${paths[@]}"; do
    if [ ! -e "$path" ]; then
        echo "clang-tidy: no such file or folder: $path" >&2
        exit 2
    fi
done

# One regular expression for the chosen paths, matched against the absolute
# file names in the database.
pattern=""
for path in "${paths[@]}"; do
    path=${path%/}
    pattern+="${pattern:+|}$(printf '%s' "$path" | sed 's/[.[\*^$()+?{}|]/\\&/g')"
done
root=$(printf '%s' "$PWD" | sed 's/[.[\*^$()+?{}|]/\\&/g')

status=0
python3 scripts/clang-tidy-run.py "$build_dir" "${JOBS:-$(nproc)}" \
    "^$root/($pattern)(/|\$)" || status=$?
if [ "$status" -ne 0 ]; then
    echo "clang-tidy found something (above) in: ${paths[*]}" >&2
fi
exit "$status"
