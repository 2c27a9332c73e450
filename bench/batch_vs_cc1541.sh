#!/usr/bin/env bash
# Folder-wide work over a set of varied 1541 images made by cc1541 (entry counts 0 to 144,
# names, types, locked files, 35 and 40 tracks), with a warm page cache:
#   (a) `tessarind-cli batch DIR --list csv --single-file` (one process for the whole folder)
#       against a shell loop running `cc1541 IMAGE` (which prints the listing) on each image;
#   (b) `tessarind-cli find DIR "*"`: images per second and peak memory (/usr/bin/time %M);
#   (c) `cat` of every image to /dev/null, the floor for anything that reads them all.
# Each is timed several rounds and the median round reported.
# usage: batch_vs_cc1541.sh [TESSARIND_CLI] [IMAGES] [ROUNDS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${1:-$root/build-bench/src/tessarind-cli}"
count="${2:-2000}"
rounds="${3:-5}"
source "$root/bench/common.sh"
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found (package time)" >&2; exit 1; }
bench_start "$cli"

# ---- The images -----------------------------------------------------------------------------

make_images "$count" disks
images=(disks/img*.d64)

# Both tools must read every image, and agree on how many there are; cc1541 must leave the
# images as they are, else each round works on fresh copies (copied outside the timed part).
sha256sum "${images[@]}" >before.sum
for img in "${images[@]}"; do
  "$cc1541" "$img" >/dev/null || { echo "cc1541 failed on $img" >&2; exit 1; }
done
"$cli" batch disks --list csv --single-file 2>/dev/null || { echo "tessarind-cli batch failed" >&2; exit 1; }
listed=$(grep -c '\.d64$' disks/CBMDirs.csv)
[ "$listed" -eq "${#images[@]}" ] || { echo "the batch listed $listed of ${#images[@]} images" >&2; exit 1; }
# Entry lines: all but each container's path line and the disk-name line after it.
entries=$(awk '/\.d64$/ { head = 1; next } head { head = 0; next } { n++ } END { print n + 0 }' disks/CBMDirs.csv)
hits=$("$cli" find disks '*' 2>/dev/null | wc -l)
[ "$hits" -eq "$entries" ] || { echo "find found $hits files, the listing has $entries" >&2; exit 1; }
copies=0
if ! sha256sum --quiet -c before.sum >/dev/null 2>&1; then
  echo "cc1541 IMAGE modifies the image: every round lists fresh copies" >&2
  copies=1
  mkdir pristine && cp "${images[@]}" pristine/
fi
cat "${images[@]}" >/dev/null # warm the cache

# ---- Timing ---------------------------------------------------------------------------------

batch=() loop=() find=() reads=()
for ((r = 0; r < rounds; r++)); do
  ((copies)) && cp pristine/*.d64 disks/
  t0=$(now_us)
  "$cli" batch disks --list csv --single-file 2>/dev/null
  t1=$(now_us)
  for img in "${images[@]}"; do "$cc1541" "$img"; done >/dev/null 2>&1
  t2=$(now_us)
  "$cli" find disks '*' >/dev/null 2>&1
  t3=$(now_us)
  cat "${images[@]}" >/dev/null
  t4=$(now_us)
  batch+=($((t1 - t0))) loop+=($((t2 - t1))) find+=($((t3 - t2))) reads+=($((t4 - t3)))
  printf 'round %d: batch %8.1f ms   cc1541 loop %8.1f ms   find %8.1f ms   cat %8.1f ms\n' $((r + 1)) \
    "$(bc <<<"scale=1; ${batch[r]}/1000")" "$(bc <<<"scale=1; ${loop[r]}/1000")" \
    "$(bc <<<"scale=1; ${find[r]}/1000")" "$(bc <<<"scale=1; ${reads[r]}/1000")"
done

peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
find_kb=$(peak "$cli" find disks '*')
batch_kb=$(peak "$cli" batch disks --list csv --single-file)

mb=$(median "${batch[@]}") ml=$(median "${loop[@]}") mf=$(median "${find[@]}") mc=$(median "${reads[@]}")
n=${#images[@]}
echo "median over $rounds rounds, $n images ($entries directory entries), warm cache:"
printf '  (a) tessarind-cli batch --list csv --single-file  %9.1f ms  (%.0f us per image)\n' "$(bc <<<"scale=1; $mb/1000")" "$(bc <<<"scale=1; $mb/$n")"
printf '      cc1541 IMAGE, one process per image        %9.1f ms  (%.0f us per image)\n' "$(bc <<<"scale=1; $ml/1000")" "$(bc <<<"scale=1; $ml/$n")"
printf '      cc1541 loop / batch                        %9.1f x\n' "$(bc <<<"scale=1; $ml/$mb")"
printf '  (b) tessarind-cli find "*"                       %9.1f ms  (%.0f images per second, peak %.1f MB)\n' "$(bc <<<"scale=1; $mf/1000")" "$(bc <<<"scale=0; $n*1000000/$mf")" "$(bc <<<"scale=1; $find_kb/1024")"
printf '  (c) cat of every image                         %9.1f ms  (%.0f images per second)\n' "$(bc <<<"scale=1; $mc/1000")" "$(bc <<<"scale=0; $n*1000000/$mc")"
printf '  peak memory of the batch                       %9.1f MB\n' "$(bc <<<"scale=1; $batch_kb/1024")"
