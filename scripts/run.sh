#!/usr/bin/env bash
# Builds the dialer and the Skype stand-in and starts both with the demo:
# a campaign of a dozen contacts in the documents folder (made on the first
# run, never replaced), callees with spoken voices (a person, an answering
# machine, busy, no answer, a failure, a rejected number, a do-not-call
# number), and the demo's own settings, so the user's stay as they are.
# Press "Start Dialing" and watch the outcomes arrive.
#
#   scripts/run.sh [--dial auto|semi] ...   the demo with the stand-in
#   scripts/run.sh --sip [DIALER OPTIONS]   real calls: the SIP gateway with
#       ~/.config/Zorvan/sip-gateway.conf (or $ZORVAN_SIP_CONFIG) takes the
#       client's place; the dialer starts with your own settings and no demo
set -euo pipefail
cd "$(dirname "$0")/.."

sip=0
args=()
inner=0
for a in "$@"; do
  case "$a" in
    --inner) inner=1 ;;
    --sip) sip=1 ;;
    *) args+=("$a") ;;
  esac
done
sip_config="${ZORVAN_SIP_CONFIG:-${XDG_CONFIG_HOME:-$HOME/.config}/Zorvan/sip-gateway.conf}"

if [ "$inner" = 0 ]; then
  if [ "$sip" = 1 ] && [ ! -r "$sip_config" ]; then
    cat >&2 <<TEXT
run.sh: no SIP settings in $sip_config
Write them first, for example:
  domain   = sip.example.com
  registrar = sip.example.com
  username = 4420001
  password = your-password
(see "SIP gateway" in README.md)
TEXT
    exit 1
  fi
  bash scripts/setup.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j "$(nproc)" --target zorvan-dialer skype-sim zorvan-sip-gateway
  if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "No session bus: starting a private one." >&2
    exec dbus-run-session -- bash "$0" --inner "$@"
  fi
fi

start_dialer() {
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting on a virtual screen (Xvfb)." >&2
    xvfb-run -a -s "-screen 0 1280x800x24" ./build/src/zorvan-dialer "$@"
  else
    ./build/src/zorvan-dialer "$@"
  fi
}

if [ "$sip" = 1 ]; then
  log="${TMPDIR:-/tmp}/zorvan-sip-gateway.log"
  ./build/gateway/zorvan-sip-gateway --config "$sip_config" --log "$log" &
  gateway=$!
  trap 'kill "$gateway" 2>/dev/null || true' EXIT
  sleep 1
  if ! kill -0 "$gateway" 2>/dev/null; then
    echo "run.sh: the SIP gateway did not start (see above)." >&2
    exit 1
  fi
  echo "SIP gateway running (log: $log)." >&2
  start_dialer ${args[@]+"${args[@]}"}
  exit
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
start_dialer --open "$campaign" ${args[@]+"${args[@]}"}
