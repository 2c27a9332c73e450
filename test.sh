#!/usr/bin/env bash
# Sets up, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
jobs="$(nproc)"

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DTESSARIND_SANITIZE=ON -DTESSARIND_BENCH=ON
cmake --build build-test -j"$jobs"
(cd build-test && ctest --output-on-failure -j"$jobs")

# The fuzz harnesses build with clang and replay every input kept in fuzz/regressions.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSARIND_FUZZ=ON -DTESSARIND_TESTS=OFF
cmake --build build-fuzz -j"$jobs"
scripts/replay-fuzz-regressions.sh build-fuzz
