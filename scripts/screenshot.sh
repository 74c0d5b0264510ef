#!/usr/bin/env bash
# Screenshots of the dialer as a user sees it, under a virtual X screen:
#   bash scripts/screenshot.sh [OUT_DIR]      (default: build/screenshots)
# It builds the program, makes a home folder with a sample campaign as the
# last campaign, starts the Skype stand-in on a private bus and the dialer
# on Xvfb, and saves main-window.png; then contact-window-in-call.png, the
# contact window during an answered call beside the main window, and
# main-window-dialing.png (drawn by the bus tests on Qt's offscreen
# platform); then options-<page>.png, each page of the Options dialog.
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

if [ "${1:-}" != "--inner" ] && [ "${2:-}" != "--inner" ]; then
  cmake -S . -B "${ZORVAN_BUILD_DIR:-build}" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "${ZORVAN_BUILD_DIR:-build}" -j "$(nproc)" --target zorvan-dialer skype-sim grab-screen zorvan_ui_bus_tests zorvan_ui_tests >/dev/null
  exec dbus-run-session -- bash "$0" "$out" --inner
fi

home="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/Documents/Zorvan" "$home/.config/Zorvan"
campaign="$home/Documents/Zorvan/Spring offers.xml"
{
  echo '<?xml version="1.0" encoding="UTF-8" standalone="no"?>'
  echo '<dialer><contacts>'
  n=1
  while IFS='|' read -r fname lname phone notes status ccon; do
    printf '<c%x><fname>%s</fname><lname>%s</lname><phone>%s</phone><email/><website/><fax/><company/><job/>' \
      "$n" "$fname" "$lname" "$phone"
    printf '<street/><city/><state/><country/><zip/><notes>%s</notes><cstatus>%s</cstatus><ctime/><ccon>%s</ccon><recfile/><others/></c%x>\n' \
      "$notes" "$status" "$ccon" "$n"
    n=$((n + 1))
  done <<'ROWS'
Ann|Lindqvist|+1 416 555 0101|Prefers mornings|Call Succeeded|00:01:42
Bernard|Okafor|+1 416 555 0102||Answering Machine Succeeded|00:00:31
Chloé|Dubois|+33 1 55 55 01 03|Speaks French|Line is Busy|
Dmitri|Ivanov|+7 495 555 0104||Call Failed|
Émilie|Tremblay|+1 514 555 0105|Call after 3 pm||
Farah|Haddad|+1 416 555 0106|||
Grace|O'Neill|(416) 555-0107|Do not leave a message||
Hiroshi|Tanaka|+81 3 5555 0108|||
Inés|García|+34 91 555 0109|||
Jonas|Berg|+46 8 555 0110|||
ROWS
  echo '</contacts></dialer>'
} > "$campaign"
cat > "$home/.config/Zorvan/conf.xml" <<XML
<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<dialer><conf><lastcamp>$campaign</lastcamp><pos>40,40,1000,640</pos></conf></dialer>
XML

./"${ZORVAN_BUILD_DIR:-build}"/tools/skype-sim/skype-sim --log "$home/sim.log" &
sleep 1
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1100x720x24 -nolisten tcp &
sleep 1
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" DISPLAY="$display" QT_QPA_PLATFORM=xcb \
  ZORVAN_AUDIO_PORTS=0,0 ./"${ZORVAN_BUILD_DIR:-build}"/src/zorvan-dialer &
dialer=$!
sleep 5
DISPLAY="$display" ./"${ZORVAN_BUILD_DIR:-build}"/tools/grab-screen/grab-screen "$out/main-window.png"
kill -TERM "$dialer"
wait "$dialer" || true
echo "Saved $out/main-window.png"
kill $(jobs -p) 2>/dev/null || true
ZORVAN_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=offscreen \
  dbus-run-session -- ./"${ZORVAN_BUILD_DIR:-build}"/tests/zorvan_ui_bus_tests >/dev/null 2>&1
echo "Saved $out/contact-window-in-call.png"
echo "Saved $out/main-window-dialing.png"
ZORVAN_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=offscreen \
  ./"${ZORVAN_BUILD_DIR:-build}"/tests/zorvan_ui_tests --gtest_filter='OptionsDialog.Screenshots' >/dev/null 2>&1
for page in general do-not-call detection preset advanced; do echo "Saved $out/options-$page.png"; done
