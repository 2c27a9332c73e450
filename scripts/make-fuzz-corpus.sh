#!/usr/bin/env bash
# Builds seed images for the D64Fuzzer harness into DIR: images made by cc1541 and by
# tessarind-cli, the four sizes with extra tracks and error bytes, truncated images, and a
# few damaged ones patched here (directory loops, cross-links, a lying BAM, sub-directories).
# usage: make-fuzz-corpus.sh DIR [TESSARIND_CLI]
set -euo pipefail
out="${1:?usage: make-fuzz-corpus.sh DIR [TESSARIND_CLI]}"
root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${2:-}"
if [ -z "$cli" ]; then
  for c in "$root"/build-fuzz/src/tessarind-cli "$root"/build-bench/src/tessarind-cli "$root"/build/src/tessarind-cli; do
    [ -x "$c" ] && { cli="$c"; break; }
  done
fi
[ -x "$cli" ] || { echo "tessarind-cli not found; pass its path" >&2; exit 1; }
cli="$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")"
command -v cc1541 >/dev/null || { echo "cc1541 not found" >&2; exit 1; }
mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# ---- Helpers --------------------------------------------------------------------------------

# shellcheck source=d64-patch.sh
source "$root/scripts/d64-patch.sh"
new_cc() { # image args... : a fresh cc1541 image
  local img=$1
  shift
  rm -f "$img"
  cc1541 -q -m "$@" "$img" >/dev/null
}
keep() { cp "$1" "$out/$2"; }

# ---- Files to put on the disks --------------------------------------------------------------

# 10 PRINT"HELLO":GOTO 10 as a tokenized BASIC program at $0801.
printf '\x01\x08\x15\x08\x0a\x00\x99\x22HELLO\x22\x3a\x89\x20\x31\x30\x00\x00\x00' >hello.prg
# A longer program: many lines, keywords and quoted control codes.
{
  printf '\x01\x08'
  addr=$((0x0801))
  for ((n = 1; n <= 60; n++)); do
    body="\\x99\\x22\\x93\\x12LINE $n\\x92\\x22\\x3b\\x3a\\x8b\\x41\\xb2$n\\xa7\\x8f"
    len=$(printf "$body" | wc -c)
    addr=$((addr + len + 5))
    printf "\\x$(printf %02x $((addr & 255)))\\x$(printf %02x $((addr >> 8)))"
    printf "\\x$(printf %02x $((n * 10 & 255)))\\x$(printf %02x $((n * 10 >> 8)))"
    printf "$body\\x00"
  done
  printf '\x00\x00'
} >lines.prg
random_bytes 3000 data >data.bin
random_bytes 150000 big >big.bin
printf 'SOME TEXT\rON TWO LINES\r' >text.seq

# ---- Well-formed images ---------------------------------------------------------------------

rm -f blank.d64 && "$cli" new blank.d64 --name "BLANK DISK" --id "01 2A" && keep blank.d64 cli-blank.d64
new_cc cc.d64 -n EMPTY -i AB && keep cc.d64 cc1541-blank.d64
new_cc mixed.d64 -n "MIXED" -i "X1" -f HELLO -w hello.prg -f LINES -w lines.prg -T SEQ -f TEXT -w text.seq \
  -T USR -P -f USRFILE -w data.bin -T REL -f RELFILE -w data.bin -T DEL -f GONE -w hello.prg \
  -O -f OPENED -w hello.prg -f LOOPED -l HELLO -f EMPTY -L -B 999 -f LIAR -w hello.prg
keep mixed.d64 cc1541-mixed.d64
new_cc big.d64 -n BIG -f BIGFILE -w big.bin && keep big.d64 cc1541-big-file.d64
new_cc hidden.d64 -n HIDDEN -H "A MESSAGE HIDDEN IN THE BAM" -f HELLO -w hello.prg && keep hidden.d64 cc1541-hidden-message.d64
new_cc dirtrack.d64 -n DIRTRACK -t -u 0 -f BIGFILE -w big.bin -f DATA -w data.bin && keep dirtrack.d64 cc1541-dir-track-used.d64
args=()
for ((i = 0; i < 144; i++)); do args+=(-f "FILE$i" -w hello.prg); done
new_cc full.d64 -n FULL "${args[@]}" && keep full.d64 cc1541-144-entries.d64
new_cc speed.d64 -4 -n SPEEDDOS -f BIGFILE -w big.bin -f HELLO -w hello.prg && keep speed.d64 cc1541-40-speeddos.d64
new_cc dolphin.d64 -5 -n DOLPHIN -f BIGFILE -w big.bin && keep dolphin.d64 cc1541-40-dolphin.d64

# With error bytes: 175531 (35 tracks) and 197376 (40 tracks).
{ cat mixed.d64; error_bytes 683 codes; } >"$out/mixed-error-codes-175531.d64"
{ cat mixed.d64; error_bytes 683 numbers; } >"$out/mixed-error-numbers-175531.d64"
{ cat speed.d64; error_bytes 768 numbers; } >"$out/speeddos-error-numbers-197376.d64"
{ cat dolphin.d64; error_bytes 768 codes; } >"$out/dolphin-error-codes-197376.d64"

# Raw sizes: sectors past the end are absent.
head -c 100000 mixed.d64 >"$out/mixed-truncated-100000.d64"
head -c $(($(block_offset 18 2) + 100)) mixed.d64 >"$out/mixed-truncated-in-directory.d64"
head -c 174847 full.d64 >"$out/full-one-byte-short.d64"
{ cat mixed.d64; printf 'X'; } >"$out/mixed-one-byte-long.d64"
random_bytes 174848 noise >"$out/random-174848.d64"
random_bytes 4000 small >"$out/random-4000.bin"

# ---- Damaged images -------------------------------------------------------------------------

cp mixed.d64 d.d64 && link d.d64 18 1 18 1 && keep d.d64 dir-loops-onto-itself.d64
cp full.d64 d.d64 && link d.d64 18 10 18 1 && keep d.d64 dir-loops-back-to-first.d64
cp full.d64 d.d64 && link d.d64 18 4 18 0 && keep d.d64 dir-links-into-bam.d64
cp full.d64 d.d64 && link d.d64 18 1 99 3 && keep d.d64 dir-links-past-last-track.d64
cp full.d64 d.d64 && link d.d64 18 1 17 25 && keep d.d64 dir-links-past-last-sector.d64
# The first entry's file links back to its own first block, the second into the directory.
cp mixed.d64 d.d64
read -r ft fs < <(od -An -tu1 -j $(($(block_offset 18 1) + 3)) -N2 d.d64)
link d.d64 "$ft" "$fs" "$ft" "$fs"
read -r ft fs < <(od -An -tu1 -j $(($(block_offset 18 1) + 32 + 3)) -N2 d.d64)
link d.d64 "$ft" "$fs" 18 1
keep d.d64 file-chains-loop-and-cross-link.d64
# Last block of a file claims 0 and 1 bytes; another starts at track 0 and at 18/0.
cp mixed.d64 d.d64
read -r ft fs < <(od -An -tu1 -j $(($(block_offset 18 1) + 3)) -N2 d.d64)
link d.d64 "$ft" "$fs" 0 0
read -r ft fs < <(od -An -tu1 -j $(($(block_offset 18 1) + 64 + 3)) -N2 d.d64)
link d.d64 "$ft" "$fs" 0 1
poke d.d64 18 1 $((96 + 3)) 00 05
poke d.d64 18 1 $((128 + 3)) 12 00
keep d.d64 file-chains-odd-ends.d64
# The BAM says every block is free (directory and BAM included), counts too high.
cp mixed.d64 d.d64
for ((t = 1; t <= 35; t++)); do poke d.d64 18 0 $((t * 4)) FF FF FF FF; done
keep d.d64 bam-all-free.d64
# The BAM says nothing is free.
cp blank.d64 d.d64
for ((t = 1; t <= 35; t++)); do poke d.d64 18 0 $((t * 4)) 00 00 00 00; done
keep d.d64 bam-all-used.d64
# Entries with every type byte and out-of-range first blocks.
cp cc.d64 d.d64
for ((n = 0; n < 8; n++)); do
  slot d.d64 18 1 "$n" "$(printf %02X $((0x80 + n + (n % 2) * 0x40)))" $((n * 5)) $((n * 3)) "TYPE$n" $((n * 300))
done
keep d.d64 entries-every-type.d64

# A CBM partition on track 20: header block 20/0 links to its directory 20/1.
cp mixed.d64 d.d64
clear_block d.d64 20 0 && link d.d64 20 0 20 1
clear_block d.d64 20 1
slot d.d64 20 1 0 82 20 2 INSIDE 1
clear_block d.d64 20 2 && link d.d64 20 2 0 $(($(wc -c <hello.prg) + 1))
# shellcheck disable=SC2046 # one argument per byte
poke d.d64 20 2 2 $(od -An -tx1 -v hello.prg)
slot d.d64 18 1 7 85 20 0 PARTITION 19
keep d.d64 cbm-partition.d64

# Sub-directories: a DIR entry whose header links to a directory holding a program, a DIR
# back to the root's header, and a DIR to itself.
cp mixed.d64 d.d64
clear_block d.d64 21 0 && link d.d64 21 0 21 1
clear_block d.d64 21 1
slot d.d64 21 1 0 82 20 2 NESTED 1
slot d.d64 21 1 1 86 18 0 TOROOT 1
slot d.d64 21 1 2 86 21 0 TOSELF 1
clear_block d.d64 20 2 && link d.d64 20 2 0 $(($(wc -c <hello.prg) + 1))
# shellcheck disable=SC2046 # one argument per byte
poke d.d64 20 2 2 $(od -An -tx1 -v hello.prg)
slot d.d64 18 1 7 86 21 0 SUBDIR 2
keep d.d64 sub-directory-loops.d64

# Sub-directories listed several times over (a small case; the large one is a regression).
cp cc.d64 d.d64 && make_shared_dirs d.d64 3 3 22 && keep d.d64 shared-sub-directories.d64

echo "$(ls "$out" | wc -l) seeds in $out"
