#!/usr/bin/env bash
# Builds the dialer and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target zorvan-dialer

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting on a virtual screen (Xvfb)." >&2
  exec xvfb-run -a -s "-screen 0 1280x800x24" ./build/src/zorvan-dialer
fi
exec ./build/src/zorvan-dialer
