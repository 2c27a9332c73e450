#!/usr/bin/env bash
# Times unpacking one crunched 100 KB ARC member: ArcUnpack (our reader into a blank 1541
# image) against `cbmconvert -N -a` (which writes the member to a host file), one fresh
# process per run, ten runs a sample, the two interleaved (which one goes first alternates);
# the median sample of each is reported, per process, as wall time and as processor time
# (user + system, steadier on a loaded machine), with the ratio ours / cbmconvert. Both must
# unpack the same bytes.
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

# Both clear what cbmconvert writes (it would not overwrite it), so each run forks as much.
cd out
run_ours() { "$ours" ../bench.arc >/dev/null; rm -f ./*.seq; }
run_theirs() { cbmconvert -v0 -N -a ../bench.arc >/dev/null 2>&1; rm -f ./*.seq; }
# Ten processes a sample; wall time (microseconds) and processor time (user + system, ms).
sample() {
  local TIMEFORMAT='%3U %3S' t0 t1 cpu
  t0=$(now_us)
  cpu=$({ time for ((i = 0; i < 10; i++)); do "$1"; done; } 2>&1)
  t1=$(now_us)
  echo "$((t1 - t0)) $(bc <<<"${cpu% *} * 1000 + ${cpu#* } * 1000" | cut -d. -f1)"
}
a=() b=() ca=() cb=()
for ((r = 0; r < rounds; r++)); do
  if ((r % 2 == 0)); then
    read -r wa pa < <(sample run_ours); read -r wb pb < <(sample run_theirs)
  else
    read -r wb pb < <(sample run_theirs); read -r wa pa < <(sample run_ours)
  fi
  a+=("$wa") b+=("$wb") ca+=("$pa") cb+=("$pb")
done
ma=$(median "${a[@]}") mb=$(median "${b[@]}")
pa=$(median "${ca[@]}") pb=$(median "${cb[@]}")
printf 'median of %d samples of 10 processes each:\n' "$rounds"
printf '  wall:      ArcUnpack %7.2f ms   cbmconvert -a %7.2f ms   ratio %.2f\n' \
  "$(bc <<<"scale=2; $ma/10000")" "$(bc <<<"scale=2; $mb/10000")" "$(bc <<<"scale=2; $ma/$mb")"
printf '  processor: ArcUnpack %7.2f ms   cbmconvert -a %7.2f ms   ratio %.2f\n' \
  "$(bc <<<"scale=2; $pa/10")" "$(bc <<<"scale=2; $pb/10")" "$(bc <<<"scale=2; $pa/($pb+0.0001)")"
