#!/usr/bin/env bash
# Installs every Debian package the dialer needs to build, run and test.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git clang libclang-rt-14-dev
  # Qt 6: core, widgets, D-Bus, network, multimedia, test, platform plugins
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-qpa-plugins
  libqt6dbus6 libqt6network6 libqt6test6 libgl-dev
  # core libraries
  libpugixml-dev libmp3lame-dev libsamplerate0-dev libmad0-dev
  # phone numbers (and their time-zone table, from the Python port), local times
  libphonenumber-dev libprotobuf-dev python3-phonenumbers libicu-dev
  # the SIP gateway: SIP, RTP and G.711 (libre, librem and what their static
  # libraries need); a real SIP callee for its tests
  libre-dev librem-dev libssl-dev zlib1g-dev baresip-core
  # the answering machine detection's phrases, rendered at build time
  espeak-ng flite festival festvox-kallpc16k festvox-kdlpc16k festvox-us-slt-hts sox
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # a private session bus, test speech and sound, a virtual microphone, a virtual display
  dbus dbus-bin dbus-daemon espeak-ng sox lame mpg123 pulseaudio xvfb xauth libxml2-utils
  # the HTML report as a browser shows it (scripts/report-screenshot.sh)
  chromium
  # the package and its checks (scripts/package.sh)
  dpkg-dev desktop-file-utils appstream debootstrap
  # fonts so that offscreen and Xvfb windows render text
  fonts-dejavu-core
)

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${packages[@]}"
