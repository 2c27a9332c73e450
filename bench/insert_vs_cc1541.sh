#!/usr/bin/env bash
# Times writing many host files into a blank image in ONE `tessarind-cli insert` call against
# cc1541 writing the same files in one call (cc1541 -f NAME -w FILE ...), one fresh process per
# call, each on a fresh copy of a blank image of its own making (copied outside the timed
# part). The two tools are interleaved (which one goes first alternates), and the median of
# each is reported with the ratio ours/cc1541.
#   d64: 144 files of about 1 KB (1000 to 1016 bytes, four blocks each) into a 1541 image
#   d81: 296 files (a full directory: 37 blocks of eight entries) of 1 to 10 blocks each into
#        a 1581 image (bench/fill1581_vs_cc1541.sh runs this one)
#
# Then every file is extracted again (`tessarind-cli extract IMAGE -o DIR`) from our image and
# from cc1541's, and compared with the original bytes: the script fails if any differ.
# usage: insert_vs_cc1541.sh [TESSARIND_CLI] [ROUNDS] [d64|d81]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${1:-$root/build-bench/src/tessarind-cli}"
rounds="${2:-15}"
kind="${3:-d64}"
case "$kind" in
  d64) files=144 blank_free=664 disk_name="INSERT BENCH" disk_id="IB 2A" ;;
  d81) files=296 blank_free=3160 disk_name="FILL BENCH" disk_id="FB 3D" ;;
  *) echo "unknown image kind $kind (d64 or d81)" >&2; exit 2 ;;
esac
source "$root/bench/common.sh"
bench_start "$cli"

# ---- The files and the blank images -----------------------------------------------------------

# Deterministic noise: the same files on every run of the script.
noise() { # count seed
  head -c "$1" /dev/zero | openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$2" 2>/dev/null
}
mkdir in
names=()
total_blocks=0
for ((i = 0; i < files; i++)); do
  name=$(printf 'file%03d' "$i")
  if [ "$kind" = d64 ]; then
    blocks=4 size=$((1000 + i % 17))
  else
    blocks=$((1 + (i * 7) % 10))
    size=$((blocks * 254 - (i * 37) % 254)) # the last block 1 to 254 bytes full
  fi
  total_blocks=$((total_blocks + blocks))
  case $((i % 4)) in
    0) noise "$size" "$name" ;;                                   # random bytes
    1) printf '\x01\x08'; noise $((size - 2)) "$name" ;;         # a program at $0801
    2) text=$(printf "LINE $i OF SOME TEXT %04d\r" {1..120}) && printf '%s' "${text:0:size}" ;; # text
    3) head -c "$size" /dev/zero | tr '\0' "\\$(printf '%03o' $((i + 1)))" ;; # one byte repeated
  esac >"in/$name.prg"
  names+=("$name")
done
ours_args=()
cc_args=()
for name in "${names[@]}"; do
  ours_args+=("in/$name.prg")
  cc_args+=(-f "$name" -w "in/$name.prg")
done
"$cli" new "blank-ours.$kind" --name "$disk_name" --id "$disk_id"
"$cc1541" -q -n "$disk_name" -i "${disk_id,,}" "blank-cc.$kind" >/dev/null

# ---- Timing ---------------------------------------------------------------------------------

run_ours() { "$cli" insert "ours.$kind" "${ours_args[@]}" >/dev/null; }
run_cc() { "$cc1541" -q -m "${cc_args[@]}" "cc.$kind" >/dev/null; }
ours=()
theirs=()
for ((r = 0; r < rounds; r++)); do
  cp "blank-ours.$kind" "ours.$kind"
  cp "blank-cc.$kind" "cc.$kind"
  if ((r % 2 == 0)); then
    t0=$(now_us); run_ours; t1=$(now_us); run_cc; t2=$(now_us)
    a=$((t1 - t0)) b=$((t2 - t1))
  else
    t0=$(now_us); run_cc; t1=$(now_us); run_ours; t2=$(now_us)
    b=$((t1 - t0)) a=$((t2 - t1))
  fi
  ours+=("$a")
  theirs+=("$b")
  printf 'round %2d: tessarind-cli insert %7.2f ms   cc1541 %7.2f ms\n' $((r + 1)) \
    "$(bc <<<"scale=2; $a/1000")" "$(bc <<<"scale=2; $b/1000")"
done

ma=$(median "${ours[@]}")
mb=$(median "${theirs[@]}")
echo "median over $rounds rounds, $files files ($total_blocks blocks in all) into a blank $kind image in one call:"
printf '  tessarind-cli insert  %7.2f ms\n' "$(bc <<<"scale=2; $ma/1000")"
printf '  cc1541                %7.2f ms\n' "$(bc <<<"scale=2; $mb/1000")"
printf '  ratio ours/cc1541     %7.3f\n' "$(bc <<<"scale=4; $ma/$mb")"

# ---- Reading the files back -----------------------------------------------------------------

status=0
for img in "ours.$kind" "cc.$kind"; do
  "$cli" list "$img" | tail -1 | grep -q "^$((blank_free - total_blocks)) BLOCKS FREE" ||
    { echo "$img: unexpected free block count: $("$cli" list "$img" | tail -1)" >&2; status=1; }
  rm -rf "out-$img"
  "$cli" extract "$img" -o "out-$img" >/dev/null
  count=$(find "out-$img" -type f | wc -l)
  if ((count != files)); then
    echo "$img: extracted $count files, expected $files" >&2
    status=1
  fi
  for name in "${names[@]}"; do
    # The host name comes back from the CBM name; match it without regard to case.
    got=$(find "out-$img" -maxdepth 1 -type f -iname "$name.prg" | head -1)
    if [ -z "$got" ] || ! cmp -s "$got" "in/$name.prg"; then
      echo "$img: $name does not read back as written" >&2
      status=1
    fi
  done
done
((status == 0)) && echo "all $files files read back byte for byte from both images"
exit $status
