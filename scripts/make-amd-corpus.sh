#!/usr/bin/env bash
# Makes a corpus for measuring answering machine detection: people who answer
# with a word or two and wait, and answering machines with greetings of 3 to
# 15 seconds followed by a beep and silence; several voices and speeds, with
# and without background noise. Files are named human-* and machine-* so that
# amd-eval scores them.
#
#   scripts/make-amd-corpus.sh OUTPUT_FOLDER
set -euo pipefail
out=${1:?usage: make-amd-corpus.sh OUTPUT_FOLDER}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

voices=(en-us en-gb+f3 en-us+m7 en-gb-scotland+f2)
speeds=(150 185)

people=(
  "Hello?"
  "Yes?"
  "Hello, who's this?"
  "Hi."
  "Speaking."
  "Hello? ... Hello?"
)
machines=(
  "Hi, you've reached Sam. Leave a message."
  "Hello, this is Chris. I can't take your call right now, please leave your name and number after the tone."
  "You have reached the office of Doctor Lane. Our office hours are nine to five, Monday to Friday. Please leave a message after the beep and we will call you back."
  "The person you are calling is not available. Please record your message after the tone. When you have finished recording, you may hang up."
  "Hey, it's Jordan. I'm probably out on a run or in a meeting. Leave me a message and I'll get back to you as soon as I can. Thanks, and have a great day!"
  "Thank you for calling Northwind Supplies. All of our staff are currently busy. Please leave your name, your phone number, and a short message, and a member of our team will return your call within one business day. Goodbye."
)

say() {  # text voice speed file: 16 kHz mono speech
  espeak-ng -v "$2" -s "$3" -w "$work/raw.wav" "$1"
  sox -q "$work/raw.wav" -r 16000 -c 1 -b 16 "$4"
}

noisy() {  # in out: low pink noise under the whole file
  local length
  length=$(soxi -D "$1")
  sox -q -n -r 16000 -c 1 -b 16 "$work/noise.wav" synth "$length" pinknoise vol 0.015
  sox -q -m "$1" "$work/noise.wav" "$2"
}

n=0
for voice in "${voices[@]}"; do
  for speed in "${speeds[@]}"; do
    i=0
    for text in "${people[@]}"; do
      i=$((i + 1)); n=$((n + 1))
      say "$text" "$voice" "$speed" "$work/speech.wav"
      # Picks up after a moment, speaks, then waits on the line.
      sox -q "$work/speech.wav" "$work/clean.wav" pad 0.4 6
      name="human-$i-${voice//+/_}-$speed"
      cp "$work/clean.wav" "$out/$name.wav"
      noisy "$work/clean.wav" "$out/$name-noise.wav"
    done
    i=0
    for text in "${machines[@]}"; do
      i=$((i + 1)); n=$((n + 1))
      say "$text" "$voice" "$speed" "$work/speech.wav"
      sox -q -n -r 16000 -c 1 -b 16 "$work/beep.wav" synth 0.5 sine 1000 vol 0.5
      sox -q "$work/speech.wav" "$work/beep.wav" "$work/greeting.wav" pad 0.3 0
      sox -q "$work/greeting.wav" "$work/clean.wav" pad 0.2 5
      name="machine-$i-${voice//+/_}-$speed"
      cp "$work/clean.wav" "$out/$name.wav"
      noisy "$work/clean.wav" "$out/$name-noise.wav"
    done
  done
done
# Two files at other rates and channel counts, to exercise the conversion.
sox -q "$out/human-1-en-us-150.wav" -r 8000 "$out/human-1-en-us-150-8k.wav"
sox -q "$out/machine-2-en-us-150.wav" -r 44100 -c 2 "$out/machine-2-en-us-150-44k-stereo.wav"
echo "$(ls "$out" | wc -l) files in $out"
