#!/usr/bin/env bash
# Rebuilds the hand-made inputs kept in fuzz/regressions/d64/ (small 1541 images cut after the
# directory track, some also in export/) and fuzz/regressions/disk/ (kind byte and image). Inputs found by fuzzing
# are kept there as they were found, not made here.
# usage: make-fuzz-regressions.sh [DIR]   (DIR holds d64/ and disk/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
top="${1:-$root/fuzz/regressions}"
out="$top/d64"
command -v cc1541 >/dev/null || { echo "cc1541 not found" >&2; exit 1; }
# shellcheck source=d64-patch.sh
source "$root/scripts/d64-patch.sh"
mkdir -p "$out" "$top/disk"
out="$(cd "$out" && pwd)"
top="$(cd "$top" && pwd)"
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
# The export of every file walks the same tree.
mkdir -p "$top/export"
cp "$out/shared-sub-directories-12-levels.d64" "$top/export/"

ls -l "$out"

# ---- DiskFuzzer ----
# A 1581 disk whose root lists a sub-directory of the DIR kind away from the directory track:
# its header 41/0 links to its directory 41/1, which lists a one-block program in 41/5. The
# input is the kind byte (1581, bytes from the system track on) and tracks 40 and 41.
d81_at() { echo $(((($1 - 1) * 40 + $2) * 256)); }
d81_put() { # file track sector offset printf-format
  printf "$5" | dd of="$1" bs=1 seek=$(($(d81_at "$2" "$3") + $4)) conv=notrunc status=none
}
cc1541 -q -n "DIR IN 1581" -i "di 3d" dir.d81 >/dev/null
name="$(printf '%s' 'SUBDIR\xa0\xa0\xa0\xa0\xa0\xa0\xa0\xa0\xa0\xa0')"
d81_put dir.d81 40 3 2 "\x86\x29\x00$name"
d81_put dir.d81 40 3 30 '\x03\x00'
head -c 768 /dev/zero | dd of=dir.d81 bs=1 seek="$(d81_at 41 0)" conv=notrunc status=none
d81_put dir.d81 41 0 0 '\x29\x01'
d81_put dir.d81 41 1 0 '\x00\xff\x82\x29\x05INSIDE\xa0\xa0\xa0\xa0\xa0\xa0\xa0\xa0\xa0\xa0'
d81_put dir.d81 41 1 30 '\x01\x00'
head -c 256 /dev/zero | dd of=dir.d81 bs=1 seek="$(d81_at 41 5)" conv=notrunc status=none
d81_put dir.d81 41 5 0 '\x00\x0a\x01\x08HELLO!!'
{
  printf '\x0a'
  dd if=dir.d81 bs=256 skip=$(((40 - 1) * 40)) count=80 status=none
} >"$top/disk/d81-dir-sub-directory-outside-the-directory-track.bin"
ls -l "$top/disk"
