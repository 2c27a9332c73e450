#!/usr/bin/env bash
# Sets up, builds and runs Tessarind; with no file named it opens the bundled demo disk.
# The desktop app needs a display; without one the disk's listing is printed instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release -DTESSARIND_TESTS=OFF >/dev/null
cmake --build build-run -j"$(nproc)" >/dev/null
if [ $# -eq 0 ]; then
  set -- build-run/demo.d64
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build-run/src/tessarind "$@"
fi
echo "No display (neither \$DISPLAY nor \$WAYLAND_DISPLAY is set): listing $1 instead of starting the desktop app." >&2
exec build-run/src/tessarind-cli list "$1"
