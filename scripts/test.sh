#!/usr/bin/env bash
# Installs the dependencies, builds every configuration and runs every test:
# the normal build, the address+undefined and thread sanitizer builds, and a
# short run of each fuzz target. Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
run_preset() {
  local preset=$1
  echo "=== $preset: configure, build, test"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
}

presets=(${MARLOTRC_TEST_PRESETS:-default asan tsan})
for preset in "${presets[@]}"; do
  run_preset "$preset"
done

if [ -z "${MARLOTRC_SKIP_FUZZ:-}" ] && [ -f fuzz/run-short.sh ]; then
  echo "=== fuzz: short runs"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  bash fuzz/run-short.sh build/fuzz
fi
echo "All tests passed."
