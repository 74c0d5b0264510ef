#!/usr/bin/env bash
# Renders the phrases the answering machine detection listens for, in
# sixteen voices at two speeds, through a telephone channel (300-3400 Hz, G.711
# mu-law at 8 kHz), and writes them as cepstrum frames into a C++ source.
#
#   scripts/make-phrase-templates.sh PHRASES.txt PHRASE_TABLE_TOOL OUTPUT.cpp
#
# PHRASES.txt holds "machine<TAB>text" or "person<TAB>text" lines; # starts
# a comment. The voices are none of those the evaluation corpora use.
set -euo pipefail
usage="usage: make-phrase-templates.sh PHRASES.txt PHRASE_TABLE_TOOL OUTPUT.cpp"
phrases=${1:?$usage}; tool=${2:?$usage}; out=${3:?$usage}
for program in espeak-ng sox; do
  command -v "$program" >/dev/null || { echo "make-phrase-templates: $program is needed (scripts/setup.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
voices=(en-us+m1 en-gb+f1 en-us+f4 en-gb-x-gbcwmd+m2 en-gb-scotland+f1 en-029+m2 en-us-nyc+f1 en-gb-x-rp+m6
        en-us+m4 en-gb+m1 en-gb+f2 en-us+f5 en-029+f1 en-gb-scotland+m1 en-gb-x-gbclan+m3 en+f3)
speeds=(140 190)
count=0
: > "$work/list.tsv"
while IFS=$'\t' read -r kind text; do
  [[ -z $kind || $kind == \#* ]] && continue
  [[ $kind == machine || $kind == person ]] || { echo "make-phrase-templates: $phrases: bad kind '$kind'" >&2; exit 1; }
  for voice in "${voices[@]}"; do
    for speed in "${speeds[@]}"; do
      count=$((count + 1))
      espeak-ng -v "$voice" -s "$speed" -w "$work/raw.wav" "$text"
      # Without the silence before and after, through the line, and back as
      # the call audio's format.
      sox -q -V1 "$work/raw.wav" -r 16000 -c 1 -b 16 "$work/trim.wav" silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse
      sox -q -V1 "$work/trim.wav" -r 8000 -e u-law -b 8 "$work/line.wav" sinc 300-3400
      sox -q -V1 "$work/line.wav" -t raw -r 16000 -e signed -b 16 -c 1 "$work/$count.raw"
      printf '%s\t%s %s %s\t%s\n' "$kind" "$text" "$voice" "$speed" "$work/$count.raw" >> "$work/list.tsv"
    done
  done
done < "$phrases"
"$tool" "$work/list.tsv" "$out.tmp"
mv "$out.tmp" "$out"
