#!/usr/bin/env bash
# The HTML report as a browser shows it: builds the dialer, writes the
# report of a campaign (the demo campaign made by scripts/make-demo.sh, with
# outcomes filled in, unless a campaign file is given) with
# `zorvan-dialer --html-report`, and has headless Chromium take a picture.
#   bash scripts/report-screenshot.sh [OUT_DIR] [CAMPAIGN.xml]   (default: build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
build="${ZORVAN_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target zorvan-dialer >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
campaign="${2:-}"
if [ -z "$campaign" ]; then
  campaign="$work/campaign.xml"
  {
    echo '<?xml version="1.0" encoding="UTF-8" standalone="no"?><dialer><contacts>'
    n=1
    while IFS='|' read -r fname lname phone status ctime ccon recfile; do
      printf '<c%x><fname>%s</fname><lname>%s</lname><phone>%s</phone><cstatus>%s</cstatus><ctime>%s</ctime><ccon>%s</ccon><recfile>%s</recfile></c%x>\n' \
        "$n" "$fname" "$lname" "$phone" "$status" "$ctime" "$ccon" "$recfile" "$n"
      n=$((n + 1))
    done <<'ROWS'
Olivia|Bennett|(555) 014-2001|Call Succeeded (100%)|09:12:40|00:00:14|/home/ann/Documents/Zorvan/+15550142001_12-09-2026_09-12-46.mp3
Marcus|Hale|555-014-2002|Answering Machine Succeeded (100%)|09:12:58|00:00:29|/home/ann/Documents/Zorvan/+15550142002 #2.mp3
Priya|Raman|555 014 2003|Line is Busy|09:13:32||
Tom|Becker|5550142004|Call Failed|09:13:37||
Lena|Fischer|555.014.2005|Call Failed|09:13:50||
Wrong|Number|555-014-2006|Invalid Phone Number|09:13:54||
Greg|Novak|555-014-2007|DNC Number|||
Hiroshi|Tanaka|555-014-2008|Call Succeeded (100%)|09:13:57|00:00:10|
Amélie|Laurent|555-014-2009|Answering Machine Succeeded (100%)|09:14:10|00:00:22|
Diego|Álvarez|+44 20 7946 0123|Call Succeeded (100%)|09:14:40|00:00:09|
Sara|Lindqvist|555-014-2011|Call Succeeded|10:12:40|00:02:13|
Noah|Kim||||| 
ROWS
    echo '</contacts></dialer>'
  } > "$campaign"
fi
"./$build/src/zorvan-dialer" --html-report "$campaign" "$out/report.html"
browser="$(command -v chromium || command -v chromium-browser || true)"
if [ -z "$browser" ]; then
  echo "Chromium is not installed (scripts/setup.sh installs it)." >&2
  exit 1
fi
"$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1100,900 \
  --screenshot="$out/report.png" "file://$out/report.html" >/dev/null 2>&1
echo "Saved $out/report.html and $out/report.png"
