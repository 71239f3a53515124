#!/usr/bin/env bash
# Configures and builds the project in build/ (Ninja, g++): the targets named
# as arguments, or everything (every test and benchmark too) without any.
# TW_WERROR=ON in the environment makes the compiler's warnings errors.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_WERROR="${TW_WERROR:-OFF}" >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build "${targets[@]}"
