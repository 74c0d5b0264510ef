#!/usr/bin/env bash
# Builds the dialer and the Skype stand-in and starts both: the stand-in
# plays tools/skype-sim/demo.scenario on the session bus (a private bus when
# none is running), the dialer attaches to it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--inner" ]; then
  bash scripts/setup.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j "$(nproc)" --target zorvan-dialer skype-sim
  if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "No session bus: starting a private one." >&2
    exec dbus-run-session -- bash "$0" --inner
  fi
fi

log="${TMPDIR:-/tmp}/zorvan-skype-sim.log"
./build/tools/skype-sim/skype-sim --scenario tools/skype-sim/demo.scenario --log "$log" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
echo "Skype stand-in running (log: $log)." >&2

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting on a virtual screen (Xvfb)." >&2
  xvfb-run -a -s "-screen 0 1280x800x24" ./build/src/zorvan-dialer
else
  ./build/src/zorvan-dialer
fi
