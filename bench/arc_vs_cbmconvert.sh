#!/usr/bin/env bash
# Times unpacking one crunched 100 KB ARC member: ArcUnpack (our reader into a blank 1541
# image) against `cbmconvert -N -a` (which writes the member to a host file), one fresh
# process per run, the two interleaved (which one goes first alternates); the median run of
# each is reported with the ratio ours / cbmconvert. Both must unpack the same bytes.
# usage: arc_vs_cbmconvert.sh [ARCUNPACK] [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
ours="${1:-$root/build-bench/bench/ArcUnpack}"
rounds="${2:-21}"
source "$root/bench/common.sh"
[ -x "$ours" ] || { echo "no ArcUnpack at $ours (build with -DCMAKE_BUILD_TYPE=Release -DTESSARIND_BENCH=ON)" >&2; exit 1; }
command -v cbmconvert >/dev/null || { echo "cbmconvert not found" >&2; exit 1; }
ours="$(cd "$(dirname "$ours")" && pwd)/$(basename "$ours")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

"$ours" --write bench.arc
mkdir out
size_ours=$("$ours" bench.arc)
(cd out && cbmconvert -v0 -N -a ../bench.arc)
size_theirs=$(stat -c %s "out/bench text.seq")
[ "$size_ours" = "$size_theirs" ] && [ "$size_ours" = 102400 ] ||
  { echo "the tools disagree: ours $size_ours bytes, cbmconvert $size_theirs" >&2; exit 1; }
echo "archive: $(stat -c %s bench.arc) bytes, one crunched member of $size_ours bytes"

run_ours() { "$ours" bench.arc >/dev/null; }
run_theirs() { (cd out && cbmconvert -v0 -N -a ../bench.arc) >/dev/null 2>&1; rm -f out/*; }
a=() b=()
for ((r = 0; r < rounds; r++)); do
  if ((r % 2 == 0)); then
    t0=$(now_us); run_ours; t1=$(now_us); run_theirs; t2=$(now_us)
    a+=($((t1 - t0))) b+=($((t2 - t1)))
  else
    t0=$(now_us); run_theirs; t1=$(now_us); run_ours; t2=$(now_us)
    b+=($((t1 - t0))) a+=($((t2 - t1)))
  fi
done
ma=$(median "${a[@]}")
mb=$(median "${b[@]}")
printf 'median of %d runs: ArcUnpack %.2f ms   cbmconvert -a %.2f ms   ratio %.2f\n' "$rounds" \
  "$(bc <<<"scale=2; $ma/1000")" "$(bc <<<"scale=2; $mb/1000")" "$(bc <<<"scale=2; $ma/$mb")"
