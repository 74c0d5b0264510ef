# Sourced by the scripts that run the real dialer against the stand-in
# (crash-trials.sh, soak.sh): finds the two programs in BUILD_DIR (default
# build), runs the calling script again inside a private session bus when
# there is none, and gives it a fresh work folder with a home of its own.
# The caller sets `script` (its name for messages) before sourcing.
build="${BUILD_DIR:-build}"
dialer="$build/src/zorvan-dialer"
sim="$build/tools/skype-sim/skype-sim"
for f in "$dialer" "$sim"; do
  [ -x "$f" ] || { echo "$script: $f is missing; build first (cmake --build $build)" >&2; exit 2; }
done
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session -- bash "$0" "$@"
fi
work=$(mktemp -d)
home="$work/home"
runtime="$work/runtime"
mkdir -p "$home/.config/Zorvan" "$runtime" && chmod 700 "$runtime"
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen
export ZORVAN_UPDATE_ROOT=http://127.0.0.1:9/ ZORVAN_AUDIO_PORTS=0,0
