# What the scripts timing tessarind-cli against cc1541 share. Sourced after `set -euo pipefail`.

# bench_start CLI: checks that CLI and cc1541 can run, sets $cli (absolute) and $cc1541, and
# changes into a scratch folder ($work) that is removed on exit.
bench_start() {
  cli="$1"
  [ -x "$cli" ] || { echo "no tessarind-cli at $cli (build with -DCMAKE_BUILD_TYPE=Release -DTESSARIND_BENCH=ON)" >&2; exit 1; }
  command -v cc1541 >/dev/null || { echo "cc1541 not found" >&2; exit 1; }
  cli="$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")"
  cc1541="$(command -v cc1541)"
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  cd "$work"
}

# make_images COUNT DIR: COUNT varied 1541 images made by cc1541 in DIR (img0000.d64, ...):
# 0 to 144 entries, names, types, locked files, 35 and 40 tracks, now and then a big file.
make_images() {
  local count="$1" dir="$2" i j files word name args
  mkdir -p "$dir"
  head -c 10 /dev/zero >f10
  printf '\x01\x08\x0b\x08\x0a\x00\x99\x22HI\x22\x00\x00\x00' >basic
  head -c 200 /dev/urandom >f200
  head -c 254 /dev/urandom >f254
  head -c 600 /dev/urandom >f600
  head -c 20000 /dev/urandom >f20000
  local sources=(f10 basic f200 f254 f600)
  local types=(PRG PRG SEQ USR PRG REL DEL PRG)
  local words=(GAME DEMO INTRO "PART " TOOL SAVE LEVEL- MUSIC "HI SCORE" LOADER X "A B C" "----------------")
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
    cc1541 "${args[@]}" "$dir/img$(printf '%04d' "$i").d64" >/dev/null
  done
  echo "$count images, $(du -sh "$dir" | cut -f1)" >&2
}

now_us() { echo "${EPOCHREALTIME/./}"; }
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
