#!/usr/bin/env bash
# Times unpacking a 600-block Lynx archive into a new 1541 image: `tessarind-cli convert
# ARCHIVE.lnx OUT.d64` against `cbmconvert -D4 OUT.d64 -l ARCHIVE.lnx`, one fresh process each
# per round, interleaved (which one goes first alternates). The archive is made by cbmconvert
# from 24 files of 25 blocks (programs, sequential and user files, one REL file). The medians
# and the ratio ours/cbmconvert are reported; then cbmconvert extracts both images and the
# script fails unless every file reads back as packed.
# usage: unlynx_vs_cbmconvert.sh [TESSARIND_CLI] [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${1:-$root/build-bench/src/tessarind-cli}"
rounds="${2:-15}"
source "$root/bench/common.sh"
bench_start "$cli"
command -v cbmconvert >/dev/null || { echo "cbmconvert not found" >&2; exit 1; }

noise() { # count seed
  head -c "$1" /dev/zero | openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$2" 2>/dev/null
}
mkdir in
files=()
for ((i = 0; i < 24; i++)); do
  case $((i % 4)) in
    0 | 3) ext=prg ;;
    1) ext=seq ;;
    2) ext=usr ;;
  esac
  size=$((25 * 254 - i))
  if ((i == 23)); then ext=l40 size=$((24 * 254 / 64 * 64)); fi # 24 data blocks, 1 side sector
  noise "$size" "file$i" >"in/f$i.$ext"
  files+=("f$i.$ext")
done
(cd in && cbmconvert -v0 -L ../archive.lnx -n "${files[@]}")
blocks=$((($(stat -c %s archive.lnx) + 253) / 254))
echo "archive: ${#files[@]} files, $(stat -c %s archive.lnx) bytes ($blocks blocks)"

run_ours() { rm -f ours.d64; "$cli" convert archive.lnx ours.d64 >/dev/null; }
run_theirs() { rm -f theirs.d64; cbmconvert -v0 -D4 theirs.d64 -l archive.lnx >/dev/null; }
ours=()
theirs=()
for ((r = 0; r < rounds; r++)); do
  if ((r % 2 == 0)); then
    t0=$(now_us); run_ours; t1=$(now_us); run_theirs; t2=$(now_us)
    a=$((t1 - t0)) b=$((t2 - t1))
  else
    t0=$(now_us); run_theirs; t1=$(now_us); run_ours; t2=$(now_us)
    b=$((t1 - t0)) a=$((t2 - t1))
  fi
  ours+=("$a")
  theirs+=("$b")
done
ma=$(median "${ours[@]}")
mb=$(median "${theirs[@]}")
echo "median over $rounds rounds, unpacking the archive into a 1541 image:"
printf '  tessarind-cli convert  %7.2f ms\n' "$(bc <<<"scale=2; $ma/1000")"
printf '  cbmconvert -l          %7.2f ms\n' "$(bc <<<"scale=2; $mb/1000")"
printf '  ratio ours/cbmconvert  %7.3f\n' "$(bc <<<"scale=4; $ma/$mb")"

status=0
for img in ours theirs; do
  mkdir "out-$img"
  (cd "out-$img" && cbmconvert -v0 -N -d "../$img.d64")
  for name in "${files[@]}"; do
    cmp -s "out-$img/$name" "in/$name" || { echo "$img: $name does not read back" >&2; status=1; }
  done
done
((status == 0)) && echo "all ${#files[@]} files read back byte for byte from both images"
exit $status
