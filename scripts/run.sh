#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job: for now, trctool
# writes a sample trace of one call and prints every record decoded, with its
# hex dump.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
bin=build/default/bin
sample=build/default/sample-call.log
"$bin/trctool" sample "$sample"
exec "$bin/trctool" dump --tree --hex "$sample"
