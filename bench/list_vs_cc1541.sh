#!/usr/bin/env bash
# Times `tessarind-cli list IMAGE` against `cc1541 IMAGE` (which prints the listing) over a
# set of varied 1541 images made by cc1541, one fresh process per listing. The two tools are
# interleaved image by image (which one goes first alternates), the whole set is timed several
# rounds and the median round of each tool is reported.
# usage: list_vs_cc1541.sh [TESSARIND_CLI] [IMAGES] [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${1:-$root/build-bench/src/tessarind-cli}"
count="${2:-200}"
rounds="${3:-5}"
source "$root/bench/common.sh"
bench_start "$cli"

# ---- The images -----------------------------------------------------------------------------

make_images "$count" disks
images=(disks/img*.d64)

# Both tools must read every image; cc1541 must leave the images as they are, else each
# round works on fresh copies (copied outside the timed part).
sha256sum "${images[@]}" >before.sum
for img in "${images[@]}"; do
  "$cli" list "$img" >/dev/null || { echo "tessarind-cli failed on $img" >&2; exit 1; }
  "$cc1541" "$img" >/dev/null || { echo "cc1541 failed on $img" >&2; exit 1; }
done
copies=0
if ! sha256sum --quiet -c before.sum >/dev/null 2>&1; then
  echo "cc1541 IMAGE modifies the image: every round lists fresh copies" >&2
  copies=1
  mkdir pristine && cp "${images[@]}" pristine/
fi

# ---- Timing ---------------------------------------------------------------------------------

ours=()
theirs=()
for ((r = 0; r < rounds; r++)); do
  ((copies)) && cp pristine/*.d64 disks/
  a=0 b=0 n=0
  for img in "${images[@]}"; do
    if (((n + r) % 2 == 0)); then
      t0=$(now_us); "$cli" list "$img" >/dev/null 2>&1; t1=$(now_us)
      "$cc1541" "$img" >/dev/null 2>&1; t2=$(now_us)
      a=$((a + t1 - t0)) b=$((b + t2 - t1))
    else
      t0=$(now_us); "$cc1541" "$img" >/dev/null 2>&1; t1=$(now_us)
      "$cli" list "$img" >/dev/null 2>&1; t2=$(now_us)
      b=$((b + t1 - t0)) a=$((a + t2 - t1))
    fi
    n=$((n + 1))
  done
  ours+=("$a")
  theirs+=("$b")
  printf 'round %d: tessarind-cli %8.1f ms   cc1541 %8.1f ms\n' $((r + 1)) "$(bc <<<"scale=1; $a/1000")" "$(bc <<<"scale=1; $b/1000")"
done

ma=$(median "${ours[@]}")
mb=$(median "${theirs[@]}")
echo "median over $rounds rounds of ${#images[@]} listings:"
printf '  tessarind-cli list  %8.1f ms  (%.0f us per image)\n' "$(bc <<<"scale=1; $ma/1000")" "$(bc <<<"scale=1; $ma/${#images[@]}")"
printf '  cc1541              %8.1f ms  (%.0f us per image)\n' "$(bc <<<"scale=1; $mb/1000")" "$(bc <<<"scale=1; $mb/${#images[@]}")"
printf '  ratio ours/cc1541   %8.3f\n' "$(bc <<<"scale=4; $ma/$mb")"
