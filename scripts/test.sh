#!/usr/bin/env bash
# Installs what the tests need, then builds and runs every test in two configurations:
# a normal one and one under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-test-deps.sh

jobs=$(nproc)
status=0
for config in release asan; do
  dir=build/$config
  sanitize=OFF
  [ "$config" = asan ] && sanitize=ON
  cmake -S . -B "$dir" -G Ninja -DKELVO_SANITIZE=$sanitize -DKELVO_TESTS=ON >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== tests: $config"
  (cd "$dir" && ctest -j "$jobs" --output-on-failure) || status=1
done
exit $status
