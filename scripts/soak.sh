#!/usr/bin/env bash
# Dials a campaign of N contacts (default 500) automatically against the
# stand-in, with short rings and calls, under a mix of faults: statuses
# sent twice, "ERROR 96" (another call being set up), incoming calls, the
# voice connection dropped by the client, a logout and a login, the
# stand-in killed and started again in the middle of a call, and the
# do-not-call file changed while dialling goes on. Then checks that the
# dialer never crashed and exited cleanly, that every contact has exactly
# one status, that every recording decodes, and that the dialer's resident
# memory after the run is within 10 % of what it was after the first 50
# calls.
#
#   scripts/soak.sh [N]        (BUILD_DIR=build by default; built there)
set -euo pipefail
cd "$(dirname "$0")/.."
contacts="${1:-500}"
case "$contacts" in ''|*[!0-9]*) echo "soak.sh: N must be a whole number, not '$contacts'" >&2; exit 2;; esac
[ "$contacts" -ge 20 ] || { echo "soak.sh: N must be at least 20" >&2; exit 2; }
script=soak.sh
source scripts/dialer-run-env.sh

sim_pid=""
dialer_pid=""
trap 'for p in $sim_pid $dialer_pid; do kill -9 "$p" 2>/dev/null || true; done; [ -n "${KEEP_SOAK:-}" ] || rm -rf "$work"' EXIT
rec="$work/recordings"
mkdir -p "$rec"
campaign="$work/soak.xml"

# The callees: one number a contact, the outcomes in turn.
outcomes=("ring 0.3 answer hangup-after 1"
          "ring 0.2 busy"
          "ring 0.3 answer hangup-after 1.5 drop-output-at 0.4"
          "noanswer"
          "ring 0.2 fail 4"
          "reject 92"
          "ring 0.3 answer net-loss-at 0.6"
          "reject 96"
          "ring 0.2 refuse"
          "ring 0.3 answer hangup-after 0.8")
{
  echo "attach immediate"
  echo "repeat-status all"
  echo "call-ids sparse"
  # Timed faults, from the stand-in's start (it is started twice).
  echo "at 40 incoming +15557654321 pstn ring 2 missed"
  echo "at 70 logout"
  echo "at 74 login"
  echo "at 100 incoming +15557654322 pstn ring 1 refused"
} >"$work/scenario.txt"
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo '<dialer><contacts>'
  for i in $(seq 1 "$contacts"); do
    number=$(printf '212555%04d' "$i")
    echo "number +1$number ${outcomes[$((i % ${#outcomes[@]}))]}" >>"$work/scenario.txt"
    printf '<c%d><fname>Soak %d</fname><phone>(212) 555-%04d</phone></c%d>\n' "$i" "$i" "$i" "$i"
  done
  echo '</contacts></dialer>'
} >"$campaign"
: >"$work/dnc.txt"
cat >"$home/.config/Zorvan/conf.xml" <<CONF
<?xml version="1.0" encoding="UTF-8"?><dialer><conf><countrycode>+1</countrycode><waitforanswer>2</waitforanswer>
<redial>1</redial><callinterval>0</callinterval><donotcall>true</donotcall><donotcallfile>$work/dnc.txt</donotcallfile>
<autorec>true</autorec><recfolder>$rec/</recfolder><donotpopcinfo>true</donotpopcinfo></conf></dialer>
CONF

start_sim() {
  "$sim" --scenario "$work/scenario.txt" --log "$work/sim.log" --heard "$work/heard" >>"$work/sim.out" 2>&1 &
  sim_pid=$!
  disown "$sim_pid"
}
calls() { grep -c '<- CALL +' "$work/sim.log" 2>/dev/null || true; }
rss() { awk '/^VmRSS/ {print $2}' "/proc/$dialer_pid/status" 2>/dev/null || echo 0; }
start_sim
for _ in $(seq 50); do grep -q "started as" "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
"$dialer" --open "$campaign" --dial auto >"$work/dialer.log" 2>&1 &
dialer_pid=$!
disown "$dialer_pid"

began=$SECONDS
rss50=""
killed_sim=0
changed_dnc=0
statuses() { xmllint --xpath 'count(/dialer/contacts/*[normalize-space(cstatus) != ""])' "$campaign" 2>/dev/null || echo 0; }
limit=$((contacts * 8 + 300))
while :; do
  sleep 1
  kill -0 "$dialer_pid" 2>/dev/null || { echo "soak.sh: the dialer is gone (crashed?); see $work/dialer.log" >&2; KEEP_SOAK=1; exit 1; }
  n=$(calls)
  if [ -z "$rss50" ] && [ "$n" -ge 50 ]; then rss50=$(rss); echo "after 50 calls: ${rss50} kB resident"; fi
  # The stand-in killed in the middle of a call, and started again.
  # (while a call rings or talks; a few calls later at the latest).
  if [ "$killed_sim" = 0 ] && [ "$n" -ge $((contacts / 3)) ] &&
     { tail -3 "$work/sim.log" | grep -q "STATUS \(INPROGRESS\|RINGING\|ROUTING\)" || [ "$n" -ge $((contacts / 3 + 5)) ]; }; then
    kill -9 "$sim_pid"; killed_sim=1; echo "stand-in killed at call $n"; sleep 3; start_sim
  fi
  # Numbers still to come go onto the do-not-call list.
  if [ "$changed_dnc" = 0 ] && [ "$n" -ge $((contacts / 2)) ]; then
    for i in $(seq $((contacts - 9)) "$contacts"); do printf '212-555-%04d\n' "$i"; done >"$work/dnc.txt"
    changed_dnc=1; echo "do-not-call list changed at call $n"
  fi
  # Done when every contact has a status and no call has been placed for
  # 15 s (the redials come at once, a ring lasts at most 2 s).
  if [ "$n" != "${last_n:-}" ]; then last_n=$n; last_change=$SECONDS; fi
  [ "$(statuses)" -ge "$contacts" ] && [ $((SECONDS - last_change)) -ge 15 ] && break
  if [ $((SECONDS - began)) -gt "$limit" ]; then
    echo "soak.sh: not done after ${limit}s: $(statuses) of $contacts contacts have a status" >&2; KEEP_SOAK=1; exit 1
  fi
done
sleep 2
rss_end=$(rss)
kill -TERM "$dialer_pid"
for _ in $(seq 60); do kill -0 "$dialer_pid" 2>/dev/null || break; sleep 0.5; done
if kill -0 "$dialer_pid" 2>/dev/null; then echo "soak.sh: the dialer did not exit within 30 s" >&2; KEEP_SOAK=1; exit 1; fi
dialer_pid=""

failures=0
with=$(statuses)
twice=$(xmllint --xpath 'count(/dialer/contacts/*[count(cstatus) != 1])' "$campaign")
[ "$with" = "$contacts" ] || { echo "soak.sh: $((contacts - with)) contacts have no status"; failures=$((failures + 1)); }
[ "$twice" = 0 ] || { echo "soak.sh: $twice contacts have more or less than one status element"; failures=$((failures + 1)); }
recordings=0; broken=0
for f in "$rec"/*.mp3; do
  [ -e "$f" ] || continue
  recordings=$((recordings + 1))
  mpg123 -q -t "$f" 2>/dev/null || broken=$((broken + 1))
done
[ "$broken" = 0 ] || { echo "soak.sh: $broken of $recordings recordings do not decode"; failures=$((failures + 1)); }
growth="n/a"
# A sanitizer build keeps freed memory in quarantine: its resident size says
# nothing about leaks, so it is printed but not judged.
sanitized=0
# (Read whole: with pipefail, "ldd | grep -q" fails whenever grep stops reading
# before ldd has finished writing.)
case "$(ldd "$dialer" 2>/dev/null)" in *libasan*|*libtsan*) sanitized=1 ;; esac
if [ -n "$rss50" ] && [ "$rss50" -gt 0 ] && [ "$sanitized" = 0 ]; then
  awk -v a="$rss50" -v b="$rss_end" 'BEGIN { exit !(b <= a * 1.10) }' ||
    { echo "soak.sh: resident memory grew from $rss50 kB to $rss_end kB"; failures=$((failures + 1)); }
fi
if [ -n "$rss50" ] && [ "$rss50" -gt 0 ]; then
  growth=$(awk -v a="$rss50" -v b="$rss_end" 'BEGIN { printf "%+.1f %%", (b - a) * 100 / a }')
  [ "$sanitized" = 0 ] || growth="$growth, a sanitizer build: not judged"
fi
echo "soak: $contacts contacts, $(calls) calls in $((SECONDS - began)) s, every contact one status: $([ "$with" = "$contacts" ] && [ "$twice" = 0 ] && echo yes || echo NO)," \
     "$recordings recordings ($broken broken), resident ${rss50:-?} kB after 50 calls, ${rss_end} kB at the end ($growth)," \
     "stand-in killed: $killed_sim, do-not-call changed: $changed_dnc"
xmllint --xpath '/dialer/contacts/*/cstatus/text()' "$campaign" | sed 's/^ *//' | sort | uniq -c | sort -rn
[ "$failures" = 0 ]
