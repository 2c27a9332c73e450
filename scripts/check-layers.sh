#!/usr/bin/env bash
# Lists the includes between the source folders and fails when one runs upwards: each folder
# may include only itself and the folders below it.
#   text <- model <- formats <- archives <- catalog <- cli, ui
set -euo pipefail
cd "$(dirname "$0")/../src"

grep -rHE '^#include "[a-z]+/' --include='*.h' --include='*.cpp' . | sed 's#^\./##' | awk '
BEGIN {
  split("text model formats archives catalog", order, " ")
  for (i in order) rank[order[i]] = i
  rank["cli"] = 6; rank["ui"] = 6
}
{
  file = $0; sub(/:.*/, "", file)
  from = file; sub(/\/.*/, "", from)
  target = $0; sub(/^[^:]*:#include "/, "", target); sub(/\/.*/, "", target)
  if (from == target) next
  count[from " -> " target]++
  if (!(target in rank) || rank[target] >= rank[from]) { print "upward include: " $0 > "/dev/stderr"; bad = 1 }
}
END {
  for (edge in count) print edge ": " count[edge] | "sort"
  close("sort")
  if (!bad) print "no include runs upwards"
  exit bad
}'
