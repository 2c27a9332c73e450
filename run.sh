#!/usr/bin/env bash
# Sets up, builds and runs Tessarind; with no file named it opens the bundled demo disk.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release -DTESSARIND_TESTS=OFF >/dev/null
cmake --build build-run -j"$(nproc)" >/dev/null
image="${1:-build-run/demo.d64}"
exec build-run/src/tessarind-cli list "$image"
