#!/usr/bin/env bash
# Renders the phrases the answering machine detection listens for, in
# sixteen espeak-ng voices, three of flite's and three of festival's at two
# speeds, through a telephone channel (300-3400 Hz, G.711 mu-law at 8 kHz),
# at the slower speed also with line hiss (pink noise about 20 dB under the
# phrase), and writes them as cepstrum frames into a C++ source.
#
#   scripts/make-phrase-templates.sh PHRASES.txt PHRASE_TABLE_TOOL OUTPUT.cpp
#
# PHRASES.txt holds "machine<TAB>text" or "person<TAB>text" lines; # starts
# a comment. None of the espeak-ng voices is one the evaluation corpora use.
set -euo pipefail
usage="usage: make-phrase-templates.sh PHRASES.txt PHRASE_TABLE_TOOL OUTPUT.cpp"
phrases=${1:?$usage}; tool=${2:?$usage}; out=${3:?$usage}
for program in espeak-ng flite text2wave sox; do
  command -v "$program" >/dev/null || { echo "make-phrase-templates: $program is needed (scripts/setup.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
voices=(en-us+m1 en-gb+f1 en-us+f4 en-gb-x-gbcwmd+m2 en-gb-scotland+f1 en-029+m2 en-us-nyc+f1 en-gb-x-rp+m6
        en-us+m4 en-gb+m1 en-gb+f2 en-us+f5 en-029+f1 en-gb-scotland+m1 en-gb-x-gbclan+m3 en+f3
        flite:slt flite:rms flite:kal16
        festival:kal_diphone festival:ked_diphone festival:cmu_us_slt_arctic_hts)
speeds=(140 190)
# render VOICE_NUMBER VOICE: every phrase in one voice, listed in
# list-VOICE_NUMBER.tsv.
render() {
  local n=$1 voice=$2 count=0 kind text speed file
  while IFS=$'\t' read -r kind text; do
    [[ -z $kind || $kind == \#* ]] && continue
    for speed in "${speeds[@]}"; do
      count=$((count + 1))
      file="$work/$n-$count"
      if [[ $voice == flite:* ]]; then
        flite -voice "${voice#flite:}" --setf duration_stretch="$(awk -v s="$speed" 'BEGIN { printf "%.2f", 165 / s }')" \
          -t "$text" -o "$file.wav"
      elif [[ $voice == festival:* ]]; then
        printf '%s\n' "$text" > "$file.txt"
        text2wave -eval "(voice_${voice#festival:})" \
          -eval "(Parameter.set 'Duration_Stretch $(awk -v s="$speed" 'BEGIN { printf "%.2f", 165 / s }'))" \
          -o "$file.wav" "$file.txt"
      else
        espeak-ng -v "$voice" -s "$speed" -w "$file.wav" "$text"
      fi
      # Without the silence before and after, through the line, and back as
      # the call audio's format.
      sox -R -q -V1 "$file.wav" -r 16000 -c 1 -b 16 "$file-trim.wav" silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse
      sox -R -q -V1 "$file-trim.wav" -r 8000 -e u-law -b 8 "$file-line.wav" sinc 300-3400
      sox -R -q -V1 "$file-line.wav" -t raw -r 16000 -e signed -b 16 -c 1 "$file.raw"
      printf '%s\t%s %s %s\t%s\n' "$kind" "$text" "$voice" "$speed" "$file.raw" >> "$work/list-$n.tsv"
      # At the slower speed, once more on a line with hiss: a noisy line
      # hides the quiet parts of the words that a clean rendering keeps.
      if [[ $speed == "${speeds[0]}" ]]; then
        sox -R -q -V1 "$file-trim.wav" "$file-norm.wav" norm -3
        sox -R -q -V1 "$file-norm.wav" "$file-hiss.wav" synth pinknoise vol 0.05
        sox -R -q -V1 -m "$file-norm.wav" "$file-hiss.wav" "$file-noisy.wav"
        sox -R -q -V1 "$file-noisy.wav" -r 8000 -e u-law -b 8 "$file-noisy-line.wav" sinc 300-3400
        sox -R -q -V1 "$file-noisy-line.wav" -t raw -r 16000 -e signed -b 16 -c 1 "$file-noisy.raw"
        printf '%s\t%s %s %s hiss\t%s\n' "$kind" "$text" "$voice" "$speed" "$file-noisy.raw" >> "$work/list-$n.tsv"
      fi
    done
  done < "$phrases"
}

while IFS=$'\t' read -r kind text; do
  [[ -z $kind || $kind == \#* ]] && continue
  [[ $kind == machine || $kind == person ]] || { echo "make-phrase-templates: $phrases: bad kind '$kind'" >&2; exit 1; }
done < "$phrases"
# The voices side by side, as many at once as there are processors.
pids=()
for n in "${!voices[@]}"; do
  while (( $(jobs -rp | wc -l) >= $(nproc) )); do wait -n || true; done
  render "$n" "${voices[$n]}" &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || { echo "make-phrase-templates: rendering failed" >&2; exit 1; }; done
for n in "${!voices[@]}"; do cat "$work/list-$n.tsv"; done > "$work/list.tsv"
"$tool" "$work/list.tsv" "$out.tmp"
mv "$out.tmp" "$out"
