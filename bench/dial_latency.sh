#!/usr/bin/env bash
# From a call's end to the next CALL the Skype client receives, with the
# real program and the stand-in on a private bus, callinterval 0: thirty
# busy numbers in a row. Dial's own pause (the 200 ms that lets the client
# take the hang-up of a call still live) is taken off; the rest is ours.
#   bash bench/dial_latency.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build}" && pwd)"
if [ -z "${ZORVAN_LATENCY_INNER:-}" ]; then
  cmake --build "$build" --target zorvan-dialer skype-sim >/dev/null
  ZORVAN_LATENCY_INNER=1 exec dbus-run-session -- bash "$0" "$build"
fi

work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen ZORVAN_AUDIO_PORTS=0,0
unset XDG_CONFIG_HOME XDG_DATA_HOME
mkdir -p "$HOME/.config/Zorvan" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
calls=30
{
  echo '<?xml version="1.0" encoding="UTF-8"?><dialer><contacts>'
  for i in $(seq 1 $calls); do printf '<c%x><fname>N%d</fname><phone>555%07d</phone></c%x>' "$i" "$i" "$i" "$i"; done
  echo '</contacts></dialer>'
} > "$work/campaign.xml"
echo '<?xml version="1.0"?><dialer><conf><callinterval>0</callinterval><redial>0</redial></conf></dialer>' \
  > "$HOME/.config/Zorvan/conf.xml"
printf 'attach immediate\nnumber default ring 0.3 busy\n' > "$work/scenario.txt"

"$build/tools/skype-sim/skype-sim" --scenario "$work/scenario.txt" --log "$work/sim.log" &
for _ in $(seq 50); do grep -q "started as" "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
"$build/src/zorvan-dialer" --open "$work/campaign.xml" --dial auto 2>/dev/null &
dialer=$!
for _ in $(seq 600); do
  [ "$(grep -c -- '-> CALL .* STATUS BUSY' "$work/sim.log" || true)" -ge "$calls" ] && break
  sleep 0.1
done
kill -TERM "$dialer"; wait "$dialer" || true

python3 - "$work/sim.log" <<'PY'
import re, sys
fixed, goal = 200.0, 50.0
gaps, ended = [], None
for line in open(sys.argv[1]):
    t = float(line.split(" ", 1)[0])
    if re.search(r" -> CALL \d+ STATUS BUSY$", line):
        ended = t
    elif " <- CALL " in line and ended is not None:
        gaps.append((t - ended) * 1000 - fixed)
        ended = None
if not gaps:
    sys.exit("no calls measured")
gaps.sort()
median = gaps[(len(gaps) - 1) // 2]
p90 = gaps[min(len(gaps) - 1, int(len(gaps) * 0.9))]
print(f"From a call's end to the next CALL at callinterval 0 ({len(gaps)} calls), beyond Dial's {fixed:.0f} ms pause:")
print(f"  {'median':<10} {median:8.1f} ms   goal <= {goal:.0f} ms  {'ok' if median <= goal else 'OVER'}")
print(f"  {'90th':<10} {p90:8.1f} ms")
print(f"  {'worst':<10} {gaps[-1]:8.1f} ms")
sys.exit(0 if median <= goal else 1)
PY
