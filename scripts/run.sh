#!/usr/bin/env bash
# Builds the dialer and the Skype stand-in and starts both with the demo:
# a campaign of a dozen contacts in the documents folder (made on the first
# run, never replaced), callees with spoken voices (a person, an answering
# machine, busy, no answer, a failure, a rejected number, a do-not-call
# number), and the demo's own settings, so the user's stay as they are.
# Press "Start Dialing" and watch the outcomes arrive.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--inner" ]; then
  bash scripts/setup.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j "$(nproc)" --target zorvan-dialer skype-sim
  if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "No session bus: starting a private one." >&2
    exec dbus-run-session -- bash "$0" --inner "$@"
  fi
else
  shift
fi

demo="${XDG_DATA_HOME:-$HOME/.local/share}/zorvan-dialer-demo"
campaign="$(bash scripts/make-demo.sh "$demo")"

log="${TMPDIR:-/tmp}/zorvan-skype-sim.log"
./build/tools/skype-sim/skype-sim --scenario "$demo/scenario.txt" --log "$log" --heard "$demo/heard" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
mkdir -p "$demo/heard"
echo "Skype stand-in running (log: $log)." >&2
echo "Demo campaign: $campaign" >&2
echo "Recordings go to $demo/recordings; what callees heard to $demo/heard." >&2

export XDG_CONFIG_HOME="$demo/config"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting on a virtual screen (Xvfb)." >&2
  xvfb-run -a -s "-screen 0 1280x800x24" ./build/src/zorvan-dialer --open "$campaign" "$@"
else
  ./build/src/zorvan-dialer --open "$campaign" "$@"
fi
