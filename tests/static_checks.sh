#!/usr/bin/env bash
# clang-format and clang-tidy over the program's own sources; any finding fails.
set -euo pipefail
src=$1 build=$2
cd "$src"
bash tools/include_graph.sh
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find chart credits sound window tests bench -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror $files
echo "clang-format: $(echo "$files" | wc -w) files clean"
program=$(echo "$files" | tr ' ' '\n' | grep -E '^(form|chart|credits|sound|window)/.*\.cpp$')
clang-tidy -p "$build" --quiet $program 2> >(grep -v "warnings generated" >&2)
echo "clang-tidy: $(echo "$program" | wc -w) files clean"
