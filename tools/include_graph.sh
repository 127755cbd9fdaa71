#!/usr/bin/env bash
# Prints which program folder includes which, with counts, and fails when a folder includes one
# of its own layer or above: form/ is the floor, chart/ and credits/ stand on it, sound/ and
# window/ are the adapters on top. An include graph that only points down has no cycle.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A layer=([form]=0 [chart]=1 [credits]=1 [sound]=2 [window]=3)
edges=$(for dir in "${!layer[@]}"; do
  grep -ho '^#include "[a-z_]*/' "$dir"/*.h "$dir"/*.cpp 2>/dev/null |
    sed "s#^\#include \"\([a-z_]*\)/#$dir \1#"
done | sort | uniq -c | awk '$2 != $3')
bad=0
while read -r count from to; do
  [ -n "$from" ] || continue
  verdict=ok
  if [ -z "${layer[$to]:-}" ] || [ "${layer[$to]}" -ge "${layer[$from]}" ]; then
    verdict="UPWARD OR SIDEWAYS"
    bad=1
  fi
  printf '%-8s -> %-8s %3d includes  %s\n' "$from" "$to" "$count" "$verdict"
done <<<"$edges"
exit "$bad"
