#!/usr/bin/env bash
# Builds seed inputs for the fuzz harnesses, one folder per harness under DIR:
#   d64/         D64Fuzzer: 1541 images made by cc1541 and by tessarind-cli, the four sizes
#                with extra tracks and error bytes, truncated images, and damaged ones patched
#                here (directory loops, cross-links, a lying BAM, sub-directories)
#   disk/        DiskFuzzer: a kind byte and an image of each disk kind (1541, 1571, 1581 with
#                partitions, 8050, 8250) made by cc1541, cbmconvert and tessarind-cli, damaged
#                variants, and the system tracks alone (kind byte bit 3)
#   operations/  OperationsFuzzer: a kind byte, an edit script and an image
# usage: make-fuzz-corpus.sh DIR [TESSARIND_CLI]
set -euo pipefail
top="${1:?usage: make-fuzz-corpus.sh DIR [TESSARIND_CLI]}"
out="$top/d64"
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
command -v cbmconvert >/dev/null || { echo "cbmconvert not found" >&2; exit 1; }
mkdir -p "$out" "$top/disk" "$top/operations"
out="$(cd "$out" && pwd)"
top="$(cd "$top" && pwd)"
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

# ==== Every disk kind: DiskFuzzer and OperationsFuzzer ========================================

# Geometry of the kinds by name: sectors on a track and a block's byte offset.
kind_sectors() { # kind track
  local k=$1 t=$2
  case $k in
    d64) sectors_on "$t" ;;
    d71) sectors_on $((t > 35 ? t - 35 : t)) ;;
    d81) echo 40 ;;
    d80 | d82)
      ((t > 77)) && t=$((t - 77))
      if ((t <= 39)); then echo 29; elif ((t <= 53)); then echo 27; elif ((t <= 64)); then echo 25; else echo 23; fi
      ;;
  esac
}
kind_offset() { # kind track sector
  local k=$1 t=$2 s=$3 b=0 i
  case $k in
    d81) echo $((((t - 1) * 40 + s) * 256)); return ;;
    d64) block_offset "$t" "$s"; return ;;
  esac
  for ((i = 1; i < t; i++)); do b=$((b + $(kind_sectors "$k" $i))); done
  echo $(((b + s) * 256))
}
kpoke() { # file kind track sector offset hexbyte...
  local f=$1 off=$(($(kind_offset "$2" "$3" "$4") + $5)) hex bytes=""
  shift 5
  for hex; do bytes+="\\x$hex"; done
  printf "$bytes" | dd of="$f" bs=1 seek="$off" conv=notrunc status=none
}
klink() { kpoke "$1" "$2" "$3" "$4" 0 "$(printf %02X "$5")" "$(printf %02X "$6")"; }
kslot() { # file kind dirTrack dirSector slot type firstTrack firstSector name blocks
  local f=$1 k=$2 t=$3 s=$4 n=$5 type=$6 ft=$7 fs=$8 name=$9 blocks=${10}
  # shellcheck disable=SC2046
  kpoke "$f" "$k" "$t" "$s" $((n * 32 + 2)) "$type" "$(printf %02X "$ft")" "$(printf %02X "$fs")" $(hexname "$name")
  kpoke "$f" "$k" "$t" "$s" $((n * 32 + 30)) "$(printf %02X $((blocks & 255)))" "$(printf %02X $((blocks >> 8)))"
}
kclear() { # file kind track sector: zeros with an end link
  head -c 256 /dev/zero | dd of="$1" bs=1 seek="$(kind_offset "$2" "$3" "$4")" conv=notrunc status=none
  klink "$1" "$2" "$3" "$4" 0 255
}

declare -A kind_byte=([d64]=0 [d71]=1 [d81]=2 [d80]=3 [d82]=4)
declare -A system_track=([d64]=18 [d71]=18 [d81]=40 [d80]=38 [d82]=38)
declare -A system_tracks=([d64]=1 [d71]=1 [d81]=1 [d80]=2 [d82]=2)
declare -A bam_blocks=([d71]="53/0" [d81]="40/1 40/2" [d80]="38/0 38/3" [d82]="38/0 38/3 38/6 38/9")
declare -A dir_block=([d64]="18 1" [d71]="18 1" [d81]="40 3" [d80]="39 1" [d82]="39 1")

byte() { printf "\\x$(printf %02x "$1")"; }
# A seed for both disk harnesses from an image of kind k: the whole image, and its system
# tracks alone; operation seeds carry a few edit scripts of different lengths.
n_script=0
disk_seed() { # image kind name
  local img=$1 k=$2 name=$3 from length len i
  { byte "${kind_byte[$k]}"; cat "$img"; } >"$top/disk/$k-$name"
  from=$(kind_offset "$k" "${system_track[$k]}" 0)
  length=0
  for ((i = 0; i < ${system_tracks[$k]}; i++)); do
    length=$((length + 256 * $(kind_sectors "$k" $((${system_track[$k]} + i)))))
  done
  { byte $((${kind_byte[$k]} | 8)); dd if="$img" bs=256 skip=$((from / 256)) count=$((length / 256)) status=none; } >"$top/disk/$k-$name-system-track"
  for len in 24 96 255; do
    n_script=$((n_script + 1))
    {
      byte "${kind_byte[$k]}"
      byte "$len"
      random_bytes "$len" "script$n_script"
      cat "$img"
    } >"$top/operations/$k-$name-script$len"
    {
      byte $((${kind_byte[$k]} | 8 | (len == 96 ? 0x10 : 0) | (len == 255 ? 0x20 : 0)))
      byte "$len"
      random_bytes "$len" "script-system$n_script"
      dd if="$img" bs=256 skip=$((from / 256)) count=$((length / 256)) status=none
    } >"$top/operations/$k-$name-system-track-script$len"
  done
}

random_bytes 500 small >small.bin
random_bytes 40000 medium >medium.bin
for f in hello.prg lines.prg data.bin small.bin text.seq; do cp "$f" "native-${f%.*}"; done

# ---- 1571 and 1581 by the peers ----
for k in d71 d81; do
  new_cc "mixed.$k" -n "MIXED ${k^^}" -i "X${k:1:1}" -f HELLO -w hello.prg -f LINES -w lines.prg -T SEQ \
    -f TEXT -w text.seq -T USR -P -f USRFILE -w data.bin -T REL -f RELFILE -w data.bin -T DEL -f GONE \
    -w hello.prg -O -f OPENED -w hello.prg -f LOOPED -l HELLO -f EMPTY -L -B 999 -f LIAR -w hello.prg
  disk_seed "mixed.$k" "$k" cc1541-mixed
  new_cc "big.$k" -n BIG -f BIGFILE -w big.bin -f MEDIUM -w medium.bin && disk_seed "big.$k" "$k" cc1541-big-files
  args=()
  for ((i = 0; i < 40; i++)); do args+=(-f "FILE$i" -w small.bin); done
  new_cc "many.$k" -n MANY "${args[@]}" && disk_seed "many.$k" "$k" cc1541-40-files
  rm -f "cbm.$k"
  cbmconvert -v0 -n "-D${k:1:1}" "cbm.$k" native-hello native-lines native-data native-small native-text >/dev/null 2>&1
  disk_seed "cbm.$k" "$k" cbmconvert-files
done
new_cc blank.d81 -n BLANK && disk_seed blank.d81 d81 cc1541-blank
new_cc blank.d71 -n BLANK && disk_seed blank.d71 d71 cc1541-blank
# The 1541 seeds of D64Fuzzer, as 1541 inputs of the disk harnesses.
for f in cc1541-mixed.d64 cc1541-144-entries.d64 cbm-partition.d64 sub-directory-loops.d64 file-chains-loop-and-cross-link.d64; do
  disk_seed "$out/$f" d64 "${f%.d64}"
done

# ---- 8050 and 8250 by tessarind-cli ----
for k in d80 d82; do
  rm -f "blank.$k" && "$cli" new "blank.$k" --name "BLANK ${k^^}" --id "8${k:2:1} 2C" && disk_seed "blank.$k" "$k" cli-blank
  cp "blank.$k" "mixed.$k"
  "$cli" insert "mixed.$k" hello.prg lines.prg text.seq data.bin small.bin >/dev/null
  "$cli" insert "mixed.$k" --type rel data.bin --record-length 64 --name RELFILE >/dev/null
  "$cli" insert "mixed.$k" --type usr small.bin --name USRFILE >/dev/null
  "$cli" insert "mixed.$k" --type del hello.prg --name GONE >/dev/null
  "$cli" insert "mixed.$k" big.bin >/dev/null
  disk_seed "mixed.$k" "$k" cli-mixed
  cp "blank.$k" "many.$k"
  files=()
  for ((i = 0; i < 60; i++)); do cp small.bin "f$i.seq" && files+=("f$i.seq"); done
  "$cli" insert "many.$k" "${files[@]}" >/dev/null
  disk_seed "many.$k" "$k" cli-60-files
done

# ---- Damaged images of every kind ----
for k in d71 d81 d80 d82; do
  read -r dt ds <<<"${dir_block[$k]}"
  cp "mixed.$k" d.img && klink d.img "$k" "$dt" "$ds" "$dt" "$ds" && disk_seed d.img "$k" dir-loops-onto-itself
  cp "mixed.$k" d.img && klink d.img "$k" "$dt" "$ds" 200 3 && disk_seed d.img "$k" dir-links-past-last-track
  # The first file links back to its own first block, the second into the directory.
  cp "mixed.$k" d.img
  off=$(kind_offset "$k" "$dt" "$ds")
  read -r ft fs < <(od -An -tu1 -j $((off + 3)) -N2 d.img)
  klink d.img "$k" "$ft" "$fs" "$ft" "$fs"
  read -r ft fs < <(od -An -tu1 -j $((off + 32 + 3)) -N2 d.img)
  klink d.img "$k" "$ft" "$fs" "$dt" "$ds"
  disk_seed d.img "$k" file-chains-loop-and-cross-link
  # Every BAM byte set: every block free, counts too high.
  cp "mixed.$k" d.img
  for block in ${bam_blocks[$k]}; do
    t=${block%/*} s=${block#*/}
    head -c 240 /dev/zero | tr '\0' '\377' | dd of=d.img bs=1 seek=$(($(kind_offset "$k" "$t" "$s") + 16)) conv=notrunc status=none
  done
  disk_seed d.img "$k" bam-all-free
  # Entries of every type byte with first blocks in and out of range.
  cp "blank.$k" d.img
  for ((n = 0; n < 8; n++)); do
    kslot d.img "$k" "$dt" "$ds" "$n" "$(printf %02X $((0x80 + n + (n % 2) * 0x40)))" $((n * 11)) $((n * 5)) "TYPE$n" $((n * 300))
  done
  disk_seed d.img "$k" entries-every-type
done

# ---- 1581 partitions ----
# A partition of tracks 60-62: its header 60/0 links to its directory 60/3, its BAM in 60/1
# and 60/2 frees tracks 61 and 62, and it lists a program in 61/0. The root BAM takes the
# three tracks and lists the partition as a CBM entry of 120 blocks.
d81_partition() { # image slot first-track name
  local f=$1 n=$2 t=$3 name=$4 i
  for ((i = 0; i < 4; i++)); do kclear "$f" d81 "$t" "$i"; done
  klink "$f" d81 "$t" 0 "$t" 3
  # shellcheck disable=SC2046
  kpoke "$f" d81 "$t" 0 2 44 00 $(hexname "$name") A0 A0 50 41 A0 33 44
  klink "$f" d81 "$t" 1 "$t" 2
  klink "$f" d81 "$t" 2 0 255
  for i in 1 2; do kpoke "$f" d81 "$t" "$i" 2 44 BB 50 41 C0; done
  # Partition BAM: tracks 41-80 in 60/2 at 0x10 + 6 * (track - 41); all used but the two
  # tracks after the header track, with 61/0 taken by the program.
  for ((i = 41; i <= 80; i++)); do kpoke "$f" d81 "$t" 2 $((16 + 6 * (i - 41))) 00 00 00 00 00 00; done
  kpoke "$f" d81 "$t" 2 $((16 + 6 * (t + 1 - 41))) 27 FE FF FF FF FF
  kpoke "$f" d81 "$t" 2 $((16 + 6 * (t + 2 - 41))) 28 FF FF FF FF FF
  kslot "$f" d81 "$t" 3 0 82 $((t + 1)) 0 INSIDE 1
  kclear "$f" d81 $((t + 1)) 0
  klink "$f" d81 $((t + 1)) 0 0 $(($(wc -c <hello.prg) + 1))
  # shellcheck disable=SC2046 # one argument per byte
  kpoke "$f" d81 $((t + 1)) 0 2 $(od -An -tx1 -v hello.prg)
  for ((i = t; i < t + 3; i++)); do kpoke "$f" d81 40 2 $((16 + 6 * (i - 41))) 00 00 00 00 00 00; done
  kslot "$f" d81 40 3 "$n" 85 "$t" 0 "$name" 120
}
cp big.d81 p.d81 && d81_partition p.d81 2 60 PARTITION && disk_seed p.d81 d81 partition
cp p.d81 q.d81 && d81_partition q.d81 3 70 SECOND && disk_seed q.d81 d81 two-partitions
# A partition whose header links back to the root directory, one inside its own directory.
cp p.d81 d.img && klink d.img d81 60 0 40 3 && disk_seed d.img d81 partition-links-to-root
cp p.d81 d.img && kslot d.img d81 60 3 1 85 60 0 SELF 120 && disk_seed d.img d81 partition-lists-itself
# A partition whose size runs past the last track, one of size 0, one at sector 5.
cp p.d81 d.img && kpoke d.img d81 40 3 $((2 * 32 + 30)) 40 1F && disk_seed d.img d81 partition-too-large
cp p.d81 d.img && kpoke d.img d81 40 3 $((2 * 32 + 30)) 00 00 && disk_seed d.img d81 partition-empty
cp p.d81 d.img && kpoke d.img d81 40 3 $((2 * 32 + 4)) 05 && disk_seed d.img d81 partition-off-sector-0

# ---- Truncated and random inputs ----
for k in d71 d81 d80 d82; do
  head -c 100000 "mixed.$k" >t.img && disk_seed t.img "$k" truncated-100000
done
for b in 0 1 2 3 4; do random_bytes 4000 "noise$b" | { byte $((b | 8)); cat; } >"$top/disk/random-system-track-$b"; done

echo "$(ls "$top/disk" | wc -l) seeds in $top/disk, $(ls "$top/operations" | wc -l) in $top/operations"
