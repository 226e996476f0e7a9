#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job: the desktop program
# MarloTrc on the emulated card (File > Open Adapter, then Trace > Start).
# With no display it says so and runs the same job in the terminal instead:
# `trctool capture` on the emulated card, or, where that command is not
# there, a sample trace of one call printed decoded with its hex dump.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
bin=build/default/bin

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting MarloTrc: File > Open Adapter opens the emulated card, Trace > Start captures."
  exec "$bin/MarloTrc"
fi

echo "No display (\$DISPLAY and \$WAYLAND_DISPLAY are unset): running the terminal job instead of MarloTrc."
if "$bin/trctool" capture --help >/dev/null 2>&1; then
  exec "$bin/trctool" capture "$@"
fi
sample=build/default/sample-call.log
"$bin/trctool" sample "$sample"
exec "$bin/trctool" dump --tree --hex "$sample"
