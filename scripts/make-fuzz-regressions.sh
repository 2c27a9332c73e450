#!/usr/bin/env bash
# Rebuilds the hand-made inputs kept in fuzz/regressions/d64/ (small 1541 images cut after the
# directory track). Inputs found by fuzzing are kept there as they were found, not made here.
# usage: make-fuzz-regressions.sh [DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/fuzz/regressions/d64}"
command -v cc1541 >/dev/null || { echo "cc1541 not found" >&2; exit 1; }
# shellcheck source=d64-patch.sh
source "$root/scripts/d64-patch.sh"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

through18=$(block_offset 19 0) # bytes up to the end of the directory track
cut() { head -c "$through18" "$1" >"$out/$2"; }
printf '\x01\x08\x0b\x08\x0a\x00\x99\x22HI\x22\x00\x00\x00' >hi.prg
head -c 600 /dev/zero >zeros

# The first directory block links to itself.
cc1541 -q -m -n LOOP -f ONE -w hi.prg -f TWO -w zeros -T SEQ -f THREE -w hi.prg self.d64 >/dev/null
link self.d64 18 1 18 1
cut self.d64 dir-loops-onto-itself.d64

# 144 entries; the fourth directory block links back to the first.
args=()
for ((i = 0; i < 144; i++)); do args+=(-f "F$i" -w hi.prg); done
cc1541 -q -m -n FULL "${args[@]}" full.d64 >/dev/null
link full.d64 18 10 18 1
cut full.d64 dir-loops-back-to-first-block.d64

# Twelve levels of sub-directories, each listing the next seven times: 7^11 paths through
# 12 directory blocks. Tracks 3-14 hold them; track 2 holds a one-block SEQ file.
cc1541 -q -m -n SHARED shared.d64 >/dev/null
make_shared_dirs shared.d64 12 7 3
cut shared.d64 shared-sub-directories-12-levels.d64

ls -l "$out"
