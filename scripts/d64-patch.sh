# shellcheck shell=bash
# Helpers to build damaged 1541 images in place, for the fuzz seed and regression scripts.
# Source it; needs dd, od, printf and openssl (or /dev/urandom) for random bytes.

sectors_on() { # track -> sectors on it (1541 zones, tracks 36-40 as 31-35)
  local t=$1
  if ((t <= 17)); then echo 21; elif ((t <= 24)); then echo 19; elif ((t <= 30)); then echo 18; else echo 17; fi
}
block_offset() { # track sector -> byte offset in the image
  local t=$1 s=$2 b=0 i
  for ((i = 1; i < t; i++)); do b=$((b + $(sectors_on $i))); done
  echo $(((b + s) * 256))
}
poke() { # file track sector offset hexbyte... : writes bytes in place
  local f=$1 off=$(($(block_offset "$2" "$3") + $4)) hex bytes=""
  shift 4
  for hex; do bytes+="\\x$hex"; done
  printf "$bytes" | dd of="$f" bs=1 seek="$off" conv=notrunc status=none
}
hexname() { # text -> 16 hex bytes, padded with A0
  local name=$1 i hex=()
  for ((i = 0; i < 16; i++)); do
    if ((i < ${#name})); then hex+=("$(printf '%02X' "'${name:i:1}")"); else hex+=(A0); fi
  done
  echo "${hex[@]}"
}
slot() { # file dirTrack dirSector slot type firstTrack firstSector name blocks
  local f=$1 t=$2 s=$3 n=$4 type=$5 ft=$6 fs=$7 name=$8 blocks=$9
  # shellcheck disable=SC2046
  poke "$f" "$t" "$s" $((n * 32 + 2)) "$type" "$(printf %02X "$ft")" "$(printf %02X "$fs")" $(hexname "$name")
  poke "$f" "$t" "$s" $((n * 32 + 30)) "$(printf %02X $((blocks & 255)))" "$(printf %02X $((blocks >> 8)))"
}
link() { # file track sector nextTrack nextSector
  poke "$1" "$2" "$3" 0 "$(printf %02X "$4")" "$(printf %02X "$5")"
}
clear_block() { # file track sector: zeros with an end link
  head -c 256 /dev/zero | dd of="$1" bs=1 seek="$(block_offset "$2" "$3")" conv=notrunc status=none
  link "$1" "$2" "$3" 0 255
}
random_bytes() { # count seed
  head -c "$1" /dev/zero | openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass "pass:$2" 2>/dev/null ||
    head -c "$1" /dev/urandom
}
error_bytes() { # count style: stored codes (1 = OK) or drive numbers (0 = OK), a few errors
  local n=$1 style=$2 i bytes=""
  for ((i = 0; i < n; i++)); do
    if ((i % 97 == 5)); then
      [ "$style" = codes ] && bytes+="\\x05" || bytes+="\\x17"
    else
      [ "$style" = codes ] && bytes+="\\x01" || bytes+="\\x00"
    fi
  done
  printf "$bytes"
}
# Shared sub-directories: each level's directory lists the next level `fanout` times, so a
# walk that does not remember where it has been repeats work at every level. Level l has its
# header at track first+l-1 sector 0 and its directory at sector 1; a one-block SEQ file sits
# at track first-1 sector 0. The BAM marks those tracks used.
make_shared_dirs() { # file levels fanout firstTrack
  local f=$1 levels=$2 fan=$3 first=$4 l n t
  for ((l = 1; l <= levels; l++)); do
    t=$((first + l - 1))
    clear_block "$f" "$t" 0 && link "$f" "$t" 0 "$t" 1
    clear_block "$f" "$t" 1
    if ((l < levels)); then
      for ((n = 0; n < fan; n++)); do slot "$f" "$t" 1 "$n" 86 $((t + 1)) 0 "LEVEL$((l + 1))-$n" 2; done
    fi
    slot "$f" "$t" 1 "$fan" 81 $((first - 1)) 0 "TEXT$l" 1
    poke "$f" 18 0 $((t * 4)) 00 00 00 00
  done
  for ((n = 0; n < fan; n++)); do slot "$f" 18 1 "$n" 86 "$first" 0 "LEVEL1-$n" 2; done
  clear_block "$f" $((first - 1)) 0 && link "$f" $((first - 1)) 0 0 20
  poke "$f" 18 0 $(((first - 1) * 4)) 00 00 00 00
}
