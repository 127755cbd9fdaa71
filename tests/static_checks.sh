#!/usr/bin/env bash
# clang-format and clang-tidy over the program's own sources, and the include graph; any finding
# fails.
set -euo pipefail
src=$1 build=$2
cd "$src"
bash tools/include_graph.sh
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find chart credits sound window tests bench -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror $files
echo "clang-format: $(echo "$files" | wc -w) files clean"
program=$(echo "$files" | tr ' ' '\n' | grep -E '^(form|chart|credits|sound|window)/.*\.cpp$')

# clang-tidy takes 10-20 s a file, nearly all of it in Qt's headers, so three things keep it short
# without checking less:
# - Each file is checked once, with the program's own compile command. The build compiles some
#   files two or three times (the sanitized copy, the artwork tool) with the same sources and
#   macros; clang-tidy would check every one of those commands.
# - A file is checked again only when something clang-tidy reads for it has changed: a pass is
#   kept under a hash of the tool's version, .clang-tidy, the compile command, and the contents
#   of every file the compiler read for it (the build's dependency file: our headers and the
#   system's). The same inputs give the same verdict, so a kept pass is the verdict clang-tidy
#   would give again. Only passes are kept; a tree without dependency files is checked whole.
# - What is left is checked in parallel, one file per core.
work=$build/static-checks
passes=$work/clang-tidy-passes
mkdir -p "$passes"
# The program's entries of the compilation database, one per file: tessel_core's and tessel's.
awk 'BEGIN { print "[" }
     /^\{/ { entry = ""; keep = 0 }
     { entry = entry $0 "\n" }
     /"command": .* -o CMakeFiles\/tessel(_core)?\.dir\// { keep = 1 }
     /^\}/ { if (keep) { printf "%s%s", sep, entry; sep = "," } }
     END { print "]" }' "$build/compile_commands.json" | sed 's/^},$/}/' >"$work/compile_commands.json"

inputs_key() { # FILE: prints the hash of what clang-tidy reads for FILE, or nothing if unknown
  local file=$1 command object depfile key
  command=$(grep -F -B2 "\"file\": \"$src/$file\"" "$work/compile_commands.json" | grep '"command"') ||
    return 0
  object=$(sed -E 's/.* -o ([^ ]+) .*/\1/' <<<"$command")
  depfile=$build/$object.d
  [ -s "$depfile" ] || return 0
  # A dependency that cannot be read leaves the file without a key, so it is checked.
  key=$(
    set -o pipefail
    {
      clang-tidy --version
      cat .clang-tidy
      echo "$command"
      sed -e 's/^[^:]*: //' -e 's/\\$//' "$depfile" | tr ' ' '\n' | grep -v '^$' | xargs sha256sum
    } | sha256sum | cut -c1-32
  ) 2>/dev/null || return 0
  echo "$key"
}

tidy_one() { # FILE: checks FILE unless its inputs already passed; prints its findings
  local file=$1 key log
  key=$(inputs_key "$file")
  if [ -n "$key" ] && [ -e "$passes/$key" ]; then
    touch "$passes/$key"
    echo "kept"
    return 0
  fi
  log=$(mktemp)
  if clang-tidy -p "$work" --quiet "$file" >"$log" 2>&1; then
    [ -z "$key" ] || touch "$passes/$key"
    rm -f "$log"
    echo "checked"
  else
    grep -v "warnings generated" "$log" >&2
    rm -f "$log"
    echo "failed: $file"
    return 1
  fi
}
export -f inputs_key tidy_one
export src build work passes
started=$(date +%s)
status=0
results=$(echo "$program" | xargs -P "$(nproc)" -n 1 bash -c 'tidy_one "$1"' _) || status=$?
echo "clang-tidy: $(echo "$program" | wc -w) files:" \
  "$(grep -c '^checked' <<<"$results") checked, $(grep -c '^kept' <<<"$results") unchanged since" \
  "they passed, $(grep -c '^failed' <<<"$results") failed ($(($(date +%s) - started)) s)"
# Passes not used for a month belong to sources long gone.
find "$passes" -type f -mtime +30 -delete
exit "$status"
