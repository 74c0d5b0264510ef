#!/usr/bin/env bash
# Makes what the demo needs, once, and prints the campaign file's path:
#   - the demo campaign "Demo Campaign.xml" in the documents folder's
#     Zorvan sub-folder (never replacing a file of that name);
#   - in the demo's own folder: the callees' voices and the greetings,
#     spoken by espeak-ng; the stand-in's scenario; a do-not-call file; and
#     the dialer's settings for the demo (its own configuration folder, so
#     the user's settings stay as they are).
# Usage: scripts/make-demo.sh DEMO_FOLDER
set -euo pipefail

demo="${1:?usage: make-demo.sh DEMO_FOLDER}"
mkdir -p "$demo/voices" "$demo/config/Zorvan" "$demo/recordings"

documents="$(xdg-user-dir DOCUMENTS 2>/dev/null || true)"
if [ -z "$documents" ] || [ "$documents" = "$HOME" ]; then documents="$HOME/Documents"; fi
mkdir -p "$documents/Zorvan"
campaign="$documents/Zorvan/Demo Campaign.xml"

say() {  # say FILE VOICE TEXT [sox effects...]: speech at 16 kHz mono
  local out="$1" voice="$2" text="$3"
  shift 3
  [ -s "$out" ] && return 0
  espeak-ng -v "$voice" -s 150 -w "$out.tmp.wav" "$text"
  sox -q "$out.tmp.wav" -r 16000 -c 1 -b 16 "$out" "$@"
  rm -f "$out.tmp.wav"
}

# The callees. A person answers briefly and waits for the caller; a
# machine talks on.
say "$demo/voices/person-olivia.wav" en-us+f3 "Hello?" pad 0.3 0
say "$demo/voices/person-hiroshi.wav" en+m3 "Yes, hello?" pad 0.3 0
say "$demo/voices/person-diego.wav" en-gb "Diego here." pad 0.3 0
say "$demo/voices/machine-marcus.wav" en-us "Hello, you have reached the voice mail of Marcus Hale. I am not able to take \
your call right now. Please leave your name, your number and a short message after the tone, and I will call \
you back as soon as I can." pad 0.2 0
say "$demo/voices/machine-amelie.wav" en+f2 "Thank you for calling Laurent Design. Our office is closed. Please leave a \
message after the tone." pad 0.2 0
if [ ! -s "$demo/voices/beep.wav" ]; then
  sox -q -n -r 16000 -c 1 -b 16 "$demo/voices/beep.wav" synth 0.6 sine 1000 vol 0.5
  for m in marcus amelie; do
    sox -q "$demo/voices/machine-$m.wav" "$demo/voices/beep.wav" "$demo/voices/machine-$m-beep.wav"
  done
fi

# The dialer's greetings, as a text-to-speech tool writes them (22 050 Hz).
[ -s "$demo/greeting-machine.wav" ] || espeak-ng -s 150 -w "$demo/greeting-machine.wav" \
  "Hello, this is Zorvan Dental. This is a reminder of your appointment on Monday at nine in the morning. \
Please call us if you cannot come. Thank you."
[ -s "$demo/greeting-human.wav" ] || espeak-ng -s 150 -w "$demo/greeting-human.wav" \
  "Hello, this is Zorvan Dental with a reminder of your appointment on Monday at nine."

cat > "$demo/scenario.txt" <<EOF
# The demo's Skype client (format: docs/skype-sim.md), made by scripts/make-demo.sh.
version 8.99.0.403
handle zorvan.demo
attach immediate

# Olivia, Hiroshi and Diego answer in person; Marcus and Amelie have answering machines.
number +15550142001 ring 2 answer voice voices/person-olivia.wav hangup-after 14
number +15550142002 ring 2 answer voice voices/machine-marcus-beep.wav
number +15550142003 ring 2 busy
number +15550142004 noanswer
number +15550142005 ring 2 fail 34
number +15550142006 reject 92
number +15550142008 ring 1 answer voice voices/person-hiroshi.wav hangup-after 10
number +15550142009 ring 3 answer voice voices/machine-amelie-beep.wav
number +442079460123 ring 2 answer voice voices/person-diego.wav hangup-after 9
number default ring 2 answer hangup-after 6
EOF

echo "555-014-2007" > "$demo/do-not-call.txt"

# The demo's settings: detection on, a message left on machines, the human
# greeting offered, every answered call recorded, one redial.
conf="$demo/config/Zorvan/conf.xml"
if [ ! -s "$conf" ]; then
  cat > "$conf" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<dialer><conf>
<countrycode>+1</countrycode><waitforanswer>10</waitforanswer><redial>1</redial><callinterval>2</callinterval>
<donotcall>true</donotcall><donotcallfile>$demo/do-not-call.txt</donotcallfile>
<vad>true</vad><threshold>2</threshold>
<leavemsgtotam>true</leavemsgtotam><leavemsgtotamfile>$demo/greeting-machine.wav</leavemsgtotamfile>
<hangupamline>false</hangupamline>
<msgtohuman>true</msgtohuman><msgtohumanfile>$demo/greeting-human.wav</msgtohumanfile><autohnafmsg>false</autohnafmsg>
<autorec>true</autorec><recfolder>$demo/recordings/</recfolder><msgpercent>true</msgpercent>
<notes>Interested;Call back later;Wrong person</notes>
<lastcamp>$campaign</lastcamp>
</conf></dialer>
EOF
fi

if [ ! -e "$campaign" ]; then
  cat > "$campaign" <<'EOF'
<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<dialer><contacts>
<c1><fname>Olivia</fname><lname>Bennett</lname><phone>(555) 014-2001</phone><city>Portland</city><notes>Cleaning due</notes></c1>
<c2><fname>Marcus</fname><lname>Hale</lname><phone>555-014-2002</phone><city>Denver</city></c2>
<c3><fname>Priya</fname><lname>Raman</lname><phone>555 014 2003</phone><notes>Busy line: redialled once</notes></c3>
<c4><fname>Tom</fname><lname>Becker</lname><phone>5550142004</phone><notes>Never answers</notes></c4>
<c5><fname>Lena</fname><lname>Fischer</lname><phone>555.014.2005</phone></c5>
<c6><fname>Wrong</fname><lname>Number</lname><phone>555-014-2006</phone></c6>
<c7><fname>Greg</fname><lname>Novak</lname><phone>555-014-2007</phone><notes>Asked not to be called</notes></c7>
<c8><fname>Hiroshi</fname><lname>Tanaka</lname><phone>555-014-2008</phone><company>Tanaka Trading</company></c8>
<c9><fname>Amélie</fname><lname>Laurent</lname><phone>555-014-2009</phone><company>Laurent Design</company></c9>
<c10><fname>Diego</fname><lname>Álvarez</lname><phone>+44 20 7946 0123</phone><city>London</city></c10>
<c11><fname>Sara</fname><lname>Lindqvist</lname><phone>555-014-2011</phone><cstatus>Call Succeeded</cstatus><ctime>10:12:40</ctime><ccon>00:02:13</ccon></c11>
<c12><fname>Noah</fname><lname>Kim</lname><notes>No phone number yet</notes></c12>
</contacts></dialer>
EOF
fi
echo "$campaign"
