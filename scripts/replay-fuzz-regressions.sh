#!/usr/bin/env bash
# Runs every fuzz harness over the inputs kept in fuzz/regressions/<harness dir> (D64Fuzzer:
# d64/, DiskFuzzer: disk/, OperationsFuzzer: operations/, ExportFuzzer: export/); any crash,
# leak, failed check or sanitizer report fails.
set -euo pipefail
# A kept input names its disk kind in its first byte; a kind forced for a fuzzing run would
# read it as another.
unset TESSARIND_FUZZ_KIND
build="${1:?usage: replay-fuzz-regressions.sh BUILD_DIR}"
root="$(cd "$(dirname "$0")/.." && pwd)"
status=0
for harness in "$build"/fuzz/*Fuzzer; do
  [ -x "$harness" ] || continue
  name="$(basename "$harness")"
  dir="$root/fuzz/regressions/${name%Fuzzer}"
  dir="${dir,,}"
  [ -d "$dir" ] || continue
  inputs=("$dir"/*)
  [ -e "${inputs[0]}" ] || continue
  echo "replaying ${#inputs[@]} inputs through $name"
  "$harness" -runs=1 "${inputs[@]}" >/dev/null 2>"$build/$name.log" || { cat "$build/$name.log"; status=1; }
done
exit $status
