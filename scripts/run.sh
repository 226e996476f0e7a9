#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job: the desktop program
# MarloTrc on the emulated card (File > Open Adapter, then Trace > Start).
# With no display it says so and runs the same job in the terminal instead:
# `trctool capture` traces the emulated card and prints 50 decoded records
# as they arrive (arguments given to this script replace those options).
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
echo "trctool capture: the emulated card's D-channel, decoded as it arrives (Ctrl-C stops)."
if [ $# -eq 0 ]; then
  set -- --count 50
fi
exec "$bin/trctool" capture "$@"
