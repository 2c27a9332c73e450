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
[ -x "$cli" ] || { echo "no tessarind-cli at $cli (build with -DCMAKE_BUILD_TYPE=Release -DTESSARIND_BENCH=ON)" >&2; exit 1; }
command -v cc1541 >/dev/null || { echo "cc1541 not found" >&2; exit 1; }
cli="$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")"
cc1541="$(command -v cc1541)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# ---- The images -----------------------------------------------------------------------------

head -c 10 /dev/zero >f10
printf '\x01\x08\x0b\x08\x0a\x00\x99\x22HI\x22\x00\x00\x00' >basic
head -c 200 /dev/urandom >f200
head -c 254 /dev/urandom >f254
head -c 600 /dev/urandom >f600
head -c 20000 /dev/urandom >f20000
sources=(f10 basic f200 f254 f600)
types=(PRG PRG SEQ USR PRG REL DEL PRG)
words=(GAME DEMO INTRO "PART " TOOL SAVE LEVEL- MUSIC "HI SCORE" LOADER X "A B C" "----------------")

echo "making $count images with cc1541..." >&2
for ((i = 0; i < count; i++)); do
  files=$(((i * 53 + i / 7) % 145))
  args=(-q -m -n "DISK $i" -i "$(printf '%02d' $((i % 100)))")
  ((i % 10 == 9)) && args+=(-4)
  ((i % 4 == 3 && files < 140)) && args+=(-f "BIG FILE $i" -w f20000)
  for ((j = 0; j < files; j++)); do
    word="${words[$(((i + j) % ${#words[@]}))]}"
    name="$word$j"
    ((${#name} > 16)) && name="${name:0:16}"
    args+=(-T "${types[$(((i * 3 + j) % ${#types[@]}))]}")
    ((j % 11 == 5)) && args+=(-P)
    args+=(-f "$name" -w "${sources[$(((i + j * 7) % ${#sources[@]}))]}")
  done
  cc1541 "${args[@]}" "img$i.d64" >/dev/null
done
images=(img*.d64)
echo "${#images[@]} images, $(du -sh . | cut -f1)" >&2

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

now_us() { echo "${EPOCHREALTIME/./}"; }
ours=()
theirs=()
for ((r = 0; r < rounds; r++)); do
  ((copies)) && cp pristine/*.d64 .
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

median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
ma=$(median "${ours[@]}")
mb=$(median "${theirs[@]}")
echo "median over $rounds rounds of ${#images[@]} listings:"
printf '  tessarind-cli list  %8.1f ms  (%.0f us per image)\n' "$(bc <<<"scale=1; $ma/1000")" "$(bc <<<"scale=1; $ma/${#images[@]}")"
printf '  cc1541              %8.1f ms  (%.0f us per image)\n' "$(bc <<<"scale=1; $mb/1000")" "$(bc <<<"scale=1; $mb/${#images[@]}")"
printf '  ratio ours/cc1541   %8.3f\n' "$(bc <<<"scale=4; $ma/$mb")"
