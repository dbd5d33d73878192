#!/usr/bin/env bash
# Builds kelvo and runs it on the console sample.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v cmake >/dev/null && command -v ninja >/dev/null ||
  { [ "$(id -u)" = 0 ] && apt-get update -qq && apt-get install -y -qq cmake ninja-build g++ >/dev/null; }
cmake -S . -B build/app -G Ninja -DKELVO_TESTS=OFF >/dev/null
cmake --build build/app -j "$(nproc)"
build/app/kelvo samples/hello/hello.kpr -nopause -nolog
