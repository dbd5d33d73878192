#!/usr/bin/env bash
# Builds kelvo, compiles the console sample with it and runs the program: under wine where
# 32-bit wine works, else in the tests' emulator.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
for p in cmake ninja-build g++ python3-pefile python3-unicorn; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ] && [ "$(id -u)" = 0 ]; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

cmake -S . -B build/app -G Ninja -DKELVO_TESTS=OFF >/dev/null
cmake --build build/app -j "$(nproc)"
out="$PWD/build/app/hello-sample.exe"
build/app/kelvo samples/hello-sample/hello-sample.kpr -out "$out" -nopause -nolog x
echo "--- running $out"
# The sample waits for a key: Enter is typed ahead for it.
/usr/bin/python3 tests/runner/run_pe.py --input '\n' "$out"
