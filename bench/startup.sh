#!/usr/bin/env bash
# Start-up of the desktop app: from exec to a shown frame with one image open, the median of
# ten starts; the median CPU time of a run, which a busy machine inflates far less than the
# wall-clock figure; and the peak memory (/usr/bin/time). Builds a Release tree
# (build-bench-ui) and runs under Xvfb when no display is set.
#
#   bench/startup.sh            ten starts on the demo disk
#   bench/startup.sh IMAGE      ten starts on IMAGE
#
# Each start is a fresh process with its own settings folder. The page cache is dropped
# before each start when the system allows it (root outside a container); otherwise the
# starts are cold for the process but warm for the disk cache, and the script says so.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=10
build=build-bench-ui
if [ "${1:-}" = "--inside" ]; then
  shift
  app="$1" image="$2" runs="$3"
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  dropped=0
  walls=() cpus=() peak=0
  for i in $(seq "$runs"); do
    rm -rf "$work/config"
    if sync && echo 3 >/proc/sys/vm/drop_caches 2>/dev/null; then dropped=1; fi
    start=$(date +%s%N)
    XDG_CONFIG_HOME="$work/config" TESSARIND_INSTANCE_NAME="bench-$$-$i" \
      /usr/bin/time -o "$work/time" -f "%U %S %M" "$app" "$image" --report-shown >"$work/out" 2>/dev/null
    shown=$(awk '/^shown/ {print $2}' "$work/out")
    read -r user sys rss <"$work/time"
    walls+=($(( (shown - start) / 1000 )))
    cpus+=($(awk -v u="$user" -v s="$sys" 'BEGIN {printf "%d", (u + s) * 1000000}'))
    [ "$rss" -gt "$peak" ] && peak=$rss
  done
  median() {
    local sorted=($(printf '%s\n' "$@" | sort -n)) n=$#
    if [ $((n % 2)) -eq 0 ]; then
      echo $(( (sorted[n / 2 - 1] + sorted[n / 2]) / 2 ))
    else
      echo "${sorted[n / 2]}"
    fi
  }
  ms() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }
  echo "starts, exec to shown frame (ms): $(for t in "${walls[@]}"; do ms "$t"; printf ' '; done)"
  echo "median exec to shown frame: $(ms "$(median "${walls[@]}")") ms over $runs starts"
  echo "median CPU time of a whole run (user + sys): $(ms "$(median "${cpus[@]}")") ms"
  printf 'peak memory (max RSS of any run): %d.%d MB\n' $((peak / 1024)) $(( (peak % 1024) * 10 / 1024 ))
  echo "load average while measuring: $(cut -d' ' -f1-3 /proc/loadavg)"
  [ "$dropped" -eq 1 ] || echo "note: page cache not dropped (not permitted here): disk cache was warm"
  exit 0
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTESSARIND_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tessarind demo-disk >/dev/null
image="$(realpath "${1:-$build/demo.d64}")"
app="$(realpath "$build/src/tessarind")"
echo "platform: ${QT_QPA_PLATFORM:-xcb} | image: $image"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
  exec "$0" --inside "$app" "$image" "$runs"
fi
exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" --inside "$app" "$image" "$runs"
