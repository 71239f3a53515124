#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the whole suite on the
# normal build, then the suite again with address and undefined-behaviour
# sanitizers (clang) together with the fuzz targets on their seeds. Both
# trees treat warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

TW_WERROR=ON bash scripts/build.sh
ctest --test-dir build --output-on-failure -j "$jobs"

CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTW_FUZZ=ON -DTW_WERROR=ON >/dev/null
cmake --build build-san
# The leak checker's stop-the-world tracer crashes while walking the dynamic
# TLS blocks of libraries loaded at run time; the static TLS and every heap
# root are still scanned without that interception.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-san --output-on-failure -j "$jobs"
