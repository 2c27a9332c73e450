#!/usr/bin/env bash
# Find in Disks over 2,000 varied 1541 images made by cc1541, against `tessarind-cli find` on
# the same folder in the same run: time from the Find click to the summary line, and the
# longest the user-interface thread went without turning its event loop meanwhile.
# usage: find_dialog_vs_cli.sh [BUILD_DIR] [IMAGES] [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"
count="${2:-2000}"
rounds="${3:-5}"
source "$root/bench/common.sh"
program="$(cd "$build/bench" && pwd)/FindDialogBench"
[ -x "$program" ] || { echo "no $program (build with -DTESSARIND_BENCH=ON)" >&2; exit 1; }
bench_start "$build/src/tessarind-cli"
make_images "$count" disks
cat disks/*.d64 >/dev/null # warm the cache
QT_QPA_PLATFORM=offscreen "$program" "$cli" "$work/disks" '*' "$rounds"
