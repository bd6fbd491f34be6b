#!/usr/bin/env bash
# Fails, naming the places, when one of our C++ files is not formatted as
# .clang-format says. `cmake --build build --target format` fixes them.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(find src tests tools bench fuzz \( -name '*.cpp' -o -name '*.h' \) -type f | sort)
if ! clang-format --dry-run -Werror "${files[@]}"; then
    echo "Out of format (see above): run 'cmake --build build --target format'." >&2
    exit 1
fi
