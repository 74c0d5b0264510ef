#!/usr/bin/env bash
# Makes a corpus for measuring answering machine detection, in ten
# categories, every file sent through a telephone channel (300-3400 Hz,
# G.711 mu-law at 8 kHz):
#
#   people    oneword   "Hello?", "Yes?" ... then waiting on the line
#             twowords  "Hello?" ... a pause of 0.8-1.6 s ... "Hello?"
#             triple    "Hello? Hello? Hello?" in one breath
#             business  a long greeting: "Good morning, Riverside Garage ..."
#             silent    picks up, says nothing for 1-2 s, then "Hello?"
#   machines  long      a greeting of 6 s and more
#             short     "Kim here. Leave it after the beep."
#             pause     a greeting with a pause of 0.8-1.6 s in it
#             late      the greeting starts 1.5-3 s after the answer
#             carrier   the network's announcements, some after the
#                       three-tone information signal
#
# Machines end with a beep (400-1800 Hz, 0.2-1.5 s) or without one. Six
# voices, three speeds, three loudness levels, clean or with line noise, all
# chosen by a seeded sequence so that every run makes the same files.
#
# Files are named KIND-CATEGORY-NUMBER[-beep].wav, so that amd-eval scores
# them; labels.tsv beside them gives, for each, where the speech ends and
# where the beep starts and ends (in seconds after the answer).
#
# --check makes a second corpus to check the detection against, made
# differently: other voices, speeds, loudness and texts, louder line noise,
# quieter beeps from 400 to 2000 Hz and up to 2 s long, pauses of up to 2 s,
# later starts, and another seed.
#
# --third makes a third corpus, never used to set any of the detection's
# numbers: other voices, texts and seed again.
#
# --fourth makes a fourth, made after all of the detection's numbers were
# set, with voices, texts and a seed of its own.
#
# --flite makes the third corpus in flite's voices instead of espeak-ng's
# (three of the five are among those the detection's phrases are rendered in).
#
# --festival makes a fifth, in festival's voices (another synthesiser), with
# texts of its own (and the third corpus's seed).
#
# --sixth makes a sixth, made after everything was set: three of espeak-ng's
# named voices and festival's three, texts and a seed of its own.
#
#   scripts/make-amd-corpus.sh [--per-category N] [--check | --third | --fourth | --flite | --festival | --sixth] OUTPUT_FOLDER
set -euo pipefail
usage="usage: make-amd-corpus.sh [--per-category N] [--check | --third | --fourth | --flite | --festival | --sixth] OUTPUT_FOLDER"
per=40
check=0
third=0
fourth=0
flite=0
festival=0
sixth=0
while [[ ${1:-} == --* ]]; do
  case $1 in
    --per-category) per=${2:?$usage}; shift 2 ;;
    --check) check=1; shift ;;
    --third) third=1; shift ;;
    --fourth) fourth=1; shift ;;
    --flite) third=1; flite=1; shift ;;
    --festival) festival=1; shift ;;
    --sixth) sixth=1; shift ;;
    --help) echo "$usage"; exit 0 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
out=${1:?$usage}
# sox seeds its noise and dither afresh on every run unless told not to.
sox() { command sox -R "$@"; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seed=2026

voices=(en-us en-gb+f3 en-us+m7 en-gb-scotland+f2 en-029+f4 en-us-nyc+m3)
speeds=(135 165 195)
loudness=(0.35 0.6 1.0)

oneword=("Hello?" "Yes?" "Hi." "Speaking." "Hello." "Yeah, hello?" "Hello, who's this?")
twowords=("Hello?|Hello?" "Yes?|Hello? Anybody there?" "Hello?|Hello, who is this?" "Hi?|Hello?")
triple=("Hello? Hello? Hello?" "Hello, hello, hello?" "Yes? Hello? Hello?")
business=(
  "Good morning, Riverside Garage, Paul here, what can I do for you?"
  "Baker and Sons, Maria speaking, how can I help you?"
  "Hello, Westfield Dental, Janet speaking."
  "Good afternoon, Northside Pharmacy, how may I help?"
  "Hi, Tom from accounts here, what can I do for you?"
)
silentword=("Hello?" "Yes, hello?" "Hello, who is it?" "Hi.")
long=(
  "Hello, this is Chris. I can't take your call right now, please leave your name and number after the tone."
  "You have reached the office of Doctor Lane. Our office hours are nine to five, Monday to Friday. Please leave a message and we will call you back."
  "Hey, it's Jordan. I'm probably out on a run or in a meeting. Leave me a message and I'll get back to you as soon as I can. Thanks, and have a great day!"
  "Thank you for calling Northwind Supplies. All of our staff are currently busy. Please leave your name, your phone number, and a short message, and a member of our team will return your call within one business day."
)
short=("Kim here. Leave it after the beep." "Hi, it's Sam. Leave a message." "This is Alex, leave a message." "You've reached Dana. Talk soon." "Robin. Message please.")
pause=(
  "Hi, this is Chris.|I can't come to the phone right now, please leave a message after the tone."
  "Hi, you've reached Jo and Sam.|Sorry we missed you. Leave a message after the beep."
  "You've reached the Millers.|We're not home right now. Please leave a message."
  "Hi, this is Lee from Lee's Plumbing.|Sorry I missed you, leave your number and I'll call back."
)
late=(
  "Hello, you've reached Pat. Please leave a message after the beep."
  "Hi, this is the Garcia family. We can't come to the phone, leave us a message."
  "You have reached five five five, one two three four. Please leave a message."
)
carrier=(
  "The number you have dialed is not in service. Please check the number and dial again."
  "The subscriber you have called is not available at the moment. Please try again later."
  "Welcome to the voice mail service. The person you are calling is unavailable. Please leave a message after the tone."
  "The person you are calling cannot take your call. Please record your message after the tone."
)

# A seeded sequence in this shell (subshells would each start their own):
# next sets r to 0..32767, pick NAME sets it to an element of the array
# NAME, between A B to a number from A to B.
next() { seed=$(( (seed * 1103515245 + 12345) % 2147483648 )); r=$(( seed / 65536 % 32768 )); }
# The check corpus: the same categories, made differently.
beepVolume=0.4 noiseFrom=0.01 noiseTo=0.03
beepGap=(0.1 0.6) beepHz=(400 1800) beepLength=(0.2 1.5)
pauseFrom=0.8 pauseTo=1.6 lateFrom=1.5 lateTo=3.0 silentFrom=1.0 silentTo=2.0
if [[ $check == 1 ]]; then
  seed=777
  voices=(en-gb-x-rp en-us+f2 en-gb+m3 en-us+klatt en-gb-x-gbclan+f1 en+m5)
  speeds=(145 175 205)
  loudness=(0.25 0.5 0.9)
  oneword=("Hello?" "Yep?" "Hi there." "Good morning?" "Hello, yes?" "Mm, hello?")
  twowords=("Hello?|Hello?" "Yes?|Hello?" "Hi?|Who is this?")
  triple=("Hello? Hello? Hello?" "Hi? Hello? Hello?")
  business=(
    "Good morning, Riverside Garage, Paul here, what can I do for you?"
    "City Cabs, how can I help?"
    "Hello, Green Street Bakery, this is Ann."
    "Good evening, Palace Hotel reception, how may I help you?"
  )
  silentword=("Hello?" "Hello, anyone there?" "Yes?")
  long=(
    "Hi, you have reached the voice mail of Morgan Blake. I am away from my desk or on another call. Please leave your name, number and a short message and I will return your call."
    "Welcome to Harbor Insurance. Our offices are now closed. Please leave a message with your policy number and we will contact you on the next working day."
  )
  short=("Kim here. Leave it after the beep." "It's Max. Speak after the tone." "Hi, Lou here. Leave a message.")
  pause=(
    "Hello, this is Nina.|I am not here right now, so please leave a message."
    "You have reached Quinn Electrical.|We are out on a job. Leave your details after the tone."
  )
  late=("This is the answering machine of the Parker family. Please speak after the tone." "Hi, Ray here. I can't answer right now, leave a message.")
  carrier=(
    "We are sorry, the number you have called cannot be reached. Please try again later."
    "The mobile phone you are calling is switched off. Please leave a message after the tone."
  )
  beepVolume=0.15 noiseFrom=0.02 noiseTo=0.05
  beepGap=(0.05 0.8) beepHz=(400 2000) beepLength=(0.2 2.0)
  pauseFrom=0.7 pauseTo=2.0 lateFrom=1.2 lateTo=3.5 silentFrom=1.0 silentTo=2.2
fi

if [[ $third == 1 ]]; then
  seed=4242
  voices=(en-us+f3 en-gb+m2 en-us+m5 en-gb-scotland+m4 en-029+m1 en+f5)
  speeds=(140 170 200)
  loudness=(0.3 0.55 0.95)
  oneword=("Hello?" "Yeah?" "Hi, who's calling?" "Hello, yes?")
  twowords=("Hello?|Hello?" "Yes?|Is someone there?")
  triple=("Hello? Hello? Hello?" "Hello? Hi? Hello?")
  business=(
    "Morning, Sunrise Florists, how can I help?"
    "Hi, Carter Law, Emma speaking."
    "Thanks for calling Pizza Roma, what would you like?"
    "Hello, this is Dave at the front desk."
  )
  silentword=("Hello?" "Hi, hello?")
  long=(
    "Hi, this is Olivia. Sorry I missed your call. Please leave your name and number and I will call you back as soon as possible."
    "Thank you for calling Lakeside Dental. Our office is currently closed. Please leave a message and we will return your call tomorrow."
  )
  short=("Ellis here, leave a message." "You've reached Nora, leave a message." "Hey, it's Pat, I'll call you back." "Mia here, speak after the tone.")
  pause=(
    "Hi, you've reached Sarah.|I'm not available right now, please leave a message."
    "Hello, this is the Brown residence.|Nobody can take your call, please leave a message after the tone."
  )
  late=("Hi, this is Greg's voicemail. Please leave a message." "You have reached the office of Doctor Patel. Please leave your name and number.")
  carrier=(
    "The number you have dialed is not available. Please try again later."
    "The customer you are calling is busy. Please try again later."
    "Your call cannot be completed as dialed. Please check the number and try again."
  )
  beepVolume=0.25 noiseFrom=0.015 noiseTo=0.04
  beepGap=(0.05 0.7) beepHz=(450 1900) beepLength=(0.25 1.8)
  pauseFrom=0.8 pauseTo=1.8 lateFrom=1.3 lateTo=3.2 silentFrom=1.0 silentTo=2.0
fi
if [[ $fourth == 1 ]]; then
  seed=9001
  voices=(en-us+f1 en-gb+m5 en-us-nyc+m6 en-029+f3 en-gb-scotland+f4 en+m2)
  speeds=(150 180 210)
  loudness=(0.3 0.6 0.9)
  oneword=("Hello?" "Yes, hello?" "Hi?" "Who's this?")
  twowords=("Hello?|Hello?" "Hi?|Can you hear me?")
  triple=("Hello? Hello? Hello?" "Hi? Hi? Hello?")
  business=(
    "Good morning, Hillside Vets, Rachel speaking."
    "Metro Taxis, where can we pick you up?"
    "Hello, Parkview School office, how may I help you?"
    "Afternoon, Brooks and Partners, Jim here."
  )
  silentword=("Hello?" "Yes?")
  long=(
    "Hello, you have reached Tom and Lisa. We are not able to answer the phone right now. Please leave your name and a short message and we will call you back."
    "Thank you for calling Greenfield Library. The library is closed at the moment. Please leave a message with your name and number after the tone."
  )
  short=("Hi, Jess here, leave a message." "This is Mark, please leave a message." "You've reached Amy, call you back soon." "Leave a message after the tone.")
  pause=(
    "Hi, this is Leo.|I can't take your call right now, please leave a message."
    "Good day, you have reached Wilson Builders.|We are on site, leave your details after the beep."
  )
  late=("Hi, you have reached the Lee family, please leave a message after the beep." "This is Nick's phone, I'm not available, please leave a message.")
  carrier=(
    "The number you have called has been disconnected. Please check the number and try again."
    "Sorry, the person you are calling is not available. Please try your call again later."
    "This call cannot be completed at this time. Please try again later."
  )
  beepVolume=0.3 noiseFrom=0.01 noiseTo=0.04
  beepGap=(0.05 0.6) beepHz=(420 1950) beepLength=(0.2 1.6)
  pauseFrom=0.8 pauseTo=1.8 lateFrom=1.3 lateTo=3.0 silentFrom=1.0 silentTo=2.0
fi
if [[ $festival == 1 ]]; then
  seed=4242
  voices=(festival:kal_diphone festival:ked_diphone festival:cmu_us_slt_arctic_hts)
  speeds=(145 170 200)
  loudness=(0.3 0.55 0.95)
  oneword=("Hello?" "Yeah?" "Hello, yes?" "Hiya." "Good evening.")
  twowords=("Hello?|Hello? Who is this?" "Yes?|Is anyone there?" "Hello?|Hi?")
  triple=("Hello? Hello? Hello?" "Hello, hello, who's there?" "Yes? Yes? Hello?")
  business=(
    "Good morning, Oakridge Dental Practice, this is Helen, how can I help you today?"
    "Thanks for calling Sunrise Bakery, Dave speaking."
    "City Plumbing, this is Frank, what seems to be the problem?"
    "Hello, Lakeside Hotel reception, Anna speaking, how may I help?"
  )
  silentword=("Hello?" "Hello, who is it?" "Yes?")
  long=(
    "Hi, you have reached Ben and Clara. We can't get to the phone right now. Leave us your name and number and we will return your call as soon as we can."
    "Thank you for calling the Harbour Medical Centre. Our reception is closed. If this is an emergency, please hang up and dial nine one one, otherwise leave a message after the tone."
    "Hello, this is Victor Hughes. I am out of the office until Monday. Please leave a detailed message and I will get back to you on my return."
  )
  short=("Hey, it's Zoe. Leave a message." "Olly here, speak after the beep." "Sorry, can't talk. Leave a message." "This is Ray. Message after the tone." "Nina. Please leave a message.")
  pause=(
    "Hi, it's Paula.|Sorry I missed your call, leave a message and I'll call you back."
    "You have reached Grant Electrical.|We are closed for the day. Please leave your details after the tone."
    "Hello, this is the Novak residence.|We are not home, please leave a message after the beep."
  )
  late=("Hello, you've reached Sean. I can't answer right now, leave a message after the beep." "Thank you for calling. The person you want is not available. Please leave a message.")
  carrier=(
    "The number you have dialled is not recognised. Please check and try again."
    "The mobile phone you are calling is switched off. Please try again later."
    "We are sorry, your call cannot be connected. Please hang up and try again."
    "The person you are calling is not available. Please leave a message after the tone."
  )
  beepVolume=0.35 noiseFrom=0.01 noiseTo=0.035
  beepGap=(0.05 0.65) beepHz=(410 1900) beepLength=(0.2 1.7)
  pauseFrom=0.8 pauseTo=1.7 lateFrom=1.4 lateTo=3.0 silentFrom=1.0 silentTo=2.0
fi
if [[ $sixth == 1 ]]; then
  seed=31337
  voices=(en-us+Annie festival:ked_diphone en-gb+Andy festival:cmu_us_slt_arctic_hts en-gb-x-rp+Belinda
          festival:kal_diphone)
  speeds=(140 170 205)
  loudness=(0.3 0.6 1.0)
  oneword=("Hello?" "Hello, yes?" "Yep?" "Hello, who's calling?" "Morning.")
  twowords=("Hello?|Hello? I can't hear you." "Yes?|Hello?" "Hi?|Is somebody there?")
  triple=("Hello? Hello? Hello?" "Hello, hello? Hello?" "Hi? Hello? Hello?")
  business=(
    "Good afternoon, Maple Street Surgery, Sophie speaking, how can I help?"
    "Bright Sparks Electrical, Kevin here."
    "Morning, Greenway Travel, this is Lucy, what can I do for you?"
    "Hello, Castle Insurance, claims department, Mike speaking."
  )
  silentword=("Hello?" "Yes, hello?" "Who is this?")
  long=(
    "Hi there, you've reached Fiona. I'm not around at the moment, but if you leave your name and number I'll give you a ring later."
    "Welcome to Dalton Removals. Our office is now closed. Our opening hours are eight till six, Monday to Saturday. Please call back then, or leave a message after the tone."
    "This is the answering service for Doctor Hassan. Please state your name, your date of birth and the reason for your call, and the surgery will contact you."
  )
  short=("It's Liam, leave a message." "Hi, Tess here. Please leave a message." "Joe's phone. Leave a message." "Ivy. Speak after the tone." "You've reached Kate. Leave a message.")
  pause=(
    "Hello, it's Martin.|I'm busy right now, so leave a message and I'll call you back."
    "Hi, you've reached the Okafor family.|We can't take your call, please leave a message."
    "Thanks for calling Pine Dental.|We are closed right now, please leave a message after the beep."
  )
  late=("Hi, this is Owen, sorry I missed you, leave a message after the beep." "You have reached the voicemail of Sandra Cole. Please leave a message.")
  carrier=(
    "The number you have called is not available. Please try again later."
    "Your call could not be connected. Please check the number you have dialled."
    "The person you are calling is unavailable. Please leave your message after the tone."
    "This number is no longer in service."
  )
  beepVolume=0.35 noiseFrom=0.01 noiseTo=0.035
  beepGap=(0.05 0.6) beepHz=(400 1950) beepLength=(0.2 1.8)
  pauseFrom=0.9 pauseTo=1.8 lateFrom=1.4 lateTo=3.0 silentFrom=1.0 silentTo=2.0
fi
if [[ $flite == 1 ]]; then
  voices=(flite:kal16 flite:awb flite:rms flite:slt flite:kal flite:slt)
fi

pick() { local -n list=$1; next; it=${list[$((r % ${#list[@]}))]}; }
between() { next; it=$(awk -v a="$1" -v b="$2" -v r="$r" 'BEGIN { printf "%.2f", a + (b - a) * r / 32767 }'); }
seconds() { soxi -D "$1"; }

# text voice speed loudness file: 16 kHz speech without its trailing silence.
say() {
  if [[ $2 == flite:* ]]; then
    flite -voice "${2#flite:}" --setf duration_stretch="$(awk -v s="$3" 'BEGIN { printf "%.2f", 165 / s }')" -t "$1" -o "$work/raw.wav"
  elif [[ $2 == festival:* ]]; then
    printf '%s\n' "$1" > "$work/text.txt"
    text2wave -eval "(voice_${2#festival:})" \
      -eval "(Parameter.set 'Duration_Stretch $(awk -v s="$3" 'BEGIN { printf "%.2f", 165 / s }'))" \
      -o "$work/raw.wav" "$work/text.txt"
  else
    espeak-ng -v "$2" -s "$3" -w "$work/raw.wav" "$1"
  fi
  sox -q "$work/raw.wav" -r 16000 -c 1 -b 16 "$5" vol "$4" reverse silence 1 0.02 0.5% reverse
}
silence() { sox -q -n -r 16000 -c 1 -b 16 "$2" trim 0 "$1"; }
tone() { sox -q -n -r 16000 -c 1 -b 16 "$3" synth "$2" sine "$1" vol "$beepVolume" fade 0.01 "$2" 0.01; }

# The three-tone information signal before a network announcement.
sit() {
  tone 913.8 0.274 "$work/t1.wav"; tone 1370.6 0.274 "$work/t2.wav"; tone 1776.7 0.38 "$work/t3.wav"
  sox -q "$work/t1.wav" "$work/t2.wav" "$work/t3.wav" "$1"
}

# in out noisy: the telephone line, with line noise when noisy is 1.
line() {
  if [[ $3 == 1 ]]; then
    between "$noiseFrom" "$noiseTo"
    sox -q -n -r 16000 -c 1 -b 16 "$work/noise.wav" synth "$(seconds "$1")" pinknoise vol "$it"
    sox -q -m "$1" "$work/noise.wav" "$work/mixed.wav"
  else
    cp "$1" "$work/mixed.wav"
  fi
  sox -q "$work/mixed.wav" -r 8000 -e u-law -b 8 "$2" sinc 300-3400
}

add() { awk -v a="$1" -v l="$2" 'BEGIN { printf "%.3f", a + l }'; }

printf 'file\tkind\tcategory\tspeech_end\tbeep_start\tbeep_end\n' > "$out/labels.tsv"
# make KIND CATEGORY: makes one file of the parts listed in the array
# parts, in order after the answer: "speech:TEXT", "gap:SECONDS",
# "beep:FREQUENCY:SECONDS" or "sit".
count=0
make() {
  local kind=$1 category=$2 voice speed loud noisy
  pick voices; voice=$it; pick speeds; speed=$it; pick loudness; loud=$it; next; noisy=$((r % 2))
  local at=0 speechEnd=0 beepStart=- beepEnd=- files=() i=0 part name length freq
  for part in "${parts[@]}"; do
    i=$((i + 1))
    local piece="$work/piece$i.wav"
    case $part in
      speech:*) say "${part#speech:}" "$voice" "$speed" "$loud" "$piece" ;;
      gap:*) silence "${part#gap:}" "$piece" ;;
      beep:*) IFS=: read -r _ freq length <<<"$part"; tone "$freq" "$length" "$piece" ;;
      sit) sit "$piece" ;;
    esac
    length=$(seconds "$piece")
    case $part in
      speech:*) speechEnd=$(add "$at" "$length") ;;
      beep:*) beepStart=$at; beepEnd=$(add "$at" "$length") ;;
    esac
    at=$(add "$at" "$length")
    files+=("$piece")
  done
  silence 6 "$work/tail.wav"
  sox -q "${files[@]}" "$work/tail.wav" "$work/call.wav"
  count=$((count + 1))
  name="$kind-$category-$count"; [[ $beepStart != - ]] && name+=-beep
  line "$work/call.wav" "$out/$name.wav" "$noisy"
  printf '%s.wav\t%s\t%s\t%s\t%s\t%s\n' "$name" "$kind" "$category" "$speechEnd" "$beepStart" "$beepEnd" >> "$out/labels.tsv"
}

gap() { between "$1" "$2"; parts+=("gap:$it"); }
say_one() { pick "$1"; parts+=("speech:$it"); }
say_two() {  # a text of two parts "A|B" with a pause of PAUSE_FROM to PAUSE_TO s
  local first second
  pick "$1"; IFS='|' read -r first second <<<"$it"
  parts+=("speech:$first"); gap "$2" "$3"; parts+=("speech:$second")
}
# A beep after a machine's greeting, on every other file.
ending() {
  local freq length
  if (( $1 % 2 == 0 )); then
    gap "${beepGap[@]}"; between "${beepHz[@]}"; freq=$it; between "${beepLength[@]}"; length=$it
    parts+=("beep:$freq:$length")
  fi
}

for ((n = 1; n <= per; n++)); do
  parts=(); gap 0.2 0.7; say_one oneword; make human oneword
  parts=(); gap 0.2 0.7; say_two twowords 0.8 1.6; make human twowords
  parts=(); gap 0.2 0.7; say_one triple; make human triple
  parts=(); gap 0.2 0.7; say_one business; make human business
  parts=(); gap "$silentFrom" "$silentTo"; say_one silentword; make human silent
  parts=(); gap 0.2 0.6; say_one long; ending "$n"; make machine long
  parts=(); gap 0.2 0.6; say_one short; ending "$n"; make machine short
  parts=(); gap 0.2 0.6; say_two pause "$pauseFrom" "$pauseTo"; ending "$n"; make machine pause
  parts=(); gap "$lateFrom" "$lateTo"; say_one late; ending "$n"; make machine late
  parts=()
  if (( n % 3 == 0 )); then parts+=("gap:0.3" sit); gap 0.05 0.4; else gap 0.2 0.6; fi
  say_one carrier; ending "$n"; make machine carrier
done
echo "$(($(wc -l < "$out/labels.tsv") - 1)) files in $out"
