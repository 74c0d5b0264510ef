#!/usr/bin/env bash
# Kills the dialer at random moments while it writes, N times (default 20),
# and checks after each kill that the campaign and the settings files parse
# and are whole: the campaign still holds every contact, the settings file
# is a settings file. Each trial opens the campaign and dials it with the
# stand-in (every number busy at once), so that the program writes the
# campaign as it opens it, autosaves it every ten seconds and writes it and
# the settings out when asked to quit; the kill (SIGKILL) comes at a random
# moment of that, half of the trials right after a SIGTERM, in the middle
# of the exit write-out.
#
#   scripts/crash-trials.sh [N]      (BUILD_DIR=build by default; built there)
#
# Prints one line per damaged file and a summary; exit status 1 when any
# file was damaged.
set -euo pipefail
cd "$(dirname "$0")/.."
trials="${1:-20}"
case "$trials" in ''|*[!0-9]*) echo "crash-trials.sh: N must be a whole number, not '$trials'" >&2; exit 2;; esac
script=crash-trials.sh
source scripts/dialer-run-env.sh

sim_pid=""
trap '[ -z "$sim_pid" ] || kill -9 "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
contacts=300
campaign="$work/campaign.xml"
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<dialer><contacts>'
  for i in $(seq 1 $contacts); do
    printf '<c%d><fname>Contact %d</fname><phone>212 555 %04d</phone><notes>Trial contact &amp; notes %d</notes></c%d>\n' \
      "$i" "$i" "$i" "$i" "$i"
  done
  echo '</contacts></dialer>'
} >"$work/original.xml"
printf '<?xml version="1.0" encoding="UTF-8"?><dialer><conf><countrycode>+1</countrycode><waitforanswer>5</waitforanswer><callinterval>0</callinterval><donotpopcinfo>true</donotpopcinfo></conf></dialer>\n' \
  >"$home/.config/Zorvan/conf.xml"
printf 'attach immediate\nnumber default ring 0.05 busy\n' >"$work/scenario.txt"

"$sim" --scenario "$work/scenario.txt" --log "$work/sim.log" >/dev/null 2>&1 &
sim_pid=$!
disown "$sim_pid"
for _ in $(seq 50); do grep -q "started as" "$work/sim.log" 2>/dev/null && break; sleep 0.1; done

damaged=0
check() {  # file, what, trial
  local file="$1" what="$2" trial="$3"
  if ! xmllint --noout "$file" 2>/dev/null; then
    echo "trial $trial: the $what file does not parse"; damaged=$((damaged + 1)); cp "$file" "$work/../damaged-$trial-$what.xml" 2>/dev/null || true; return
  fi
  if [ "$what" = campaign ]; then
    local n; n=$(xmllint --xpath 'count(/dialer/contacts/*)' "$file")
    [ "$n" = "$contacts" ] || { echo "trial $trial: the campaign holds $n of $contacts contacts"; damaged=$((damaged + 1)); }
  else
    [ "$(xmllint --xpath 'count(/dialer/conf/countrycode)' "$file")" = 1 ] ||
      { echo "trial $trial: the settings file lost its keys"; damaged=$((damaged + 1)); }
  fi
}

RANDOM=${CRASH_SEED:-20261209}
written=0
for trial in $(seq 1 "$trials"); do
  # Every third trial starts from a fresh campaign, so that dialling (and
  # so writing) goes on; the others keep what the last one left.
  if [ $((trial % 3)) = 1 ]; then cp "$work/original.xml" "$campaign"; fi
  before=$(md5sum <"$campaign")
  "$dialer" --open "$campaign" --dial auto >"$work/dialer.log" 2>&1 &
  pid=$!
  # 0.2 to 12 s: the open, the first calls, the autosave at ten seconds.
  sleep "$(printf '%d.%03d' $((RANDOM % 12)) $((200 + RANDOM % 800)))"
  if [ $((RANDOM % 2)) = 0 ]; then
    kill -TERM "$pid" 2>/dev/null || true
    sleep "0.$(printf '%03d' $((RANDOM % 400)))"
  fi
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  check "$campaign" campaign "$trial"
  check "$home/.config/Zorvan/conf.xml" settings "$trial"
  [ "$(md5sum <"$campaign")" = "$before" ] || written=$((written + 1))
done
leftovers=$(find "$work" "$home" -name '*.tmp*' 2>/dev/null | wc -l)
echo "crash-trials: $trials kills, campaign rewritten in $written of them, $damaged damaged files, $leftovers temporary files left"
[ "$damaged" = 0 ]
