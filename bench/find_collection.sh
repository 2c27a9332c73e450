#!/usr/bin/env bash
# find over a collection of 20,000 different 1541 images (made once under /tmp by
# make_d64_collection.py, plain and gzipped), warm cache, in one run: the binary before
# on-demand reads and worker threads (OLD) against this one with -j 1 and -j 2, then this one
# over the gzipped set, then batch listings; each figure the median of ROUNDS runs, with the
# peak memory of the run (maximum resident set). Every run must print what the old binary
# prints. Then the bytes read per image by ListingBytesRead (whole against on demand).
# usage: find_collection.sh OLD_CLI [NEW_CLI] [ROUNDS] [COUNT]
#   OLD_CLI: a release tessarind-cli built from the commit before (any build of it)
# Delete the collection afterwards: rm -rf /tmp/tessarind-collection /tmp/tessarind-collection-gz
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
old="${1:?usage: find_collection.sh OLD_CLI [NEW_CLI] [ROUNDS] [COUNT]}"
new="${2:-$root/build-bench/src/tessarind-cli}"
rounds="${3:-3}"
count="${4:-20000}"
bytes="$(dirname "$new")/../bench/ListingBytesRead"
set_dir=/tmp/tessarind-collection
python3 "$root/bench/make_d64_collection.py" "$set_dir" "$count" --gzip
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Warm the cache with both sets.
find "$set_dir" "$set_dir-gz" -type f -print0 | xargs -0 cat >/dev/null

# Runs a command ROUNDS times; prints "median-seconds peak-KB" and keeps its output.
measure() {
  local out="$1"; shift
  local times=() peak=0 line
  for ((r = 0; r < rounds; r++)); do
    line=$(/usr/bin/time -f '%e %M' "$@" 2>&1 >"$out" | tail -1)
    times+=("${line% *}")
    [ "${line#* }" -gt "$peak" ] && peak="${line#* }"
  done
  echo "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((rounds + 1) / 2))p") $peak"
}

report() { # name figures images
  local s="${2% *}" kb="${2#* }"
  printf '%-28s %7.2f s  %8.0f images/s  peak %5.1f MB\n' "$1" "$s" "$(bc -l <<<"$3 / $s")" \
    "$(bc -l <<<"$kb / 1024")"
}

echo "find over $count D64 images (warm cache), $rounds rounds each, median:"
old_find=$(measure "$work/old.txt" "$old" find "$set_dir" '*')
new_j1=$(measure "$work/j1.txt" "$new" find "$set_dir" '*' -j 1)
new_j2=$(measure "$work/j2.txt" "$new" find "$set_dir" '*' -j 2)
gz_j1=$(measure "$work/gz1.txt" "$new" find "$set_dir-gz" '*' -j 1)
gz_j2=$(measure "$work/gz2.txt" "$new" find "$set_dir-gz" '*' -j 2)
cmp "$work/old.txt" "$work/j1.txt" && cmp "$work/old.txt" "$work/j2.txt" ||
  { echo "find prints other hits than the old binary" >&2; exit 1; }
sed "s|$set_dir-gz|$set_dir|; s|\.gz\$||" "$work/gz2.txt" | cmp - "$work/old.txt" ||
  { echo "find over the gzipped set prints other hits" >&2; exit 1; }
cmp "$work/gz1.txt" "$work/gz2.txt"
report "old find" "$old_find" "$count"
report "new find -j 1" "$new_j1" "$count"
report "new find -j 2" "$new_j2" "$count"
report "new find -j 1, gzipped set" "$gz_j1" "$count"
report "new find -j 2, gzipped set" "$gz_j2" "$count"
ratio() { bc -l <<<"${1% *} / ${2% *}" | xargs printf '%.2f'; }
echo "old / new -j 1: $(ratio "$old_find" "$new_j1")   old / new -j 2: $(ratio "$old_find" "$new_j2")   -j 1 / -j 2: $(ratio "$new_j1" "$new_j2")"
echo "gzipped / plain (-j 2): $(ratio "$gz_j2" "$new_j2")"

echo "batch --list csv --single-file, $count images:"
old_batch=$(measure /dev/null "$old" batch "$set_dir" --list csv --single-file)
cp "$set_dir/CBMDirs.csv" "$work/old.csv"
new_batch=$(measure /dev/null "$new" batch "$set_dir" --list csv --single-file -j 2)
cmp "$work/old.csv" "$set_dir/CBMDirs.csv" || { echo "batch listings differ" >&2; exit 1; }
rm -f "$set_dir/CBMDirs.csv"
report "old batch" "$old_batch" "$count"
report "new batch -j 2" "$new_batch" "$count"

[ -x "$bytes" ] && "$bytes" "$set_dir" 2000
