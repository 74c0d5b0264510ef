#!/usr/bin/env bash
# Builds the threaded tests with ThreadSanitizer (clang) in build-tsan/ and
# runs them: the audio ports and their stream threads, the recorder, the
# greeting player, the do-not-call loader, the autosave thread (all in the
# unit tests), the call controller with the stand-in, the call audio, and
# the whole program dialling a campaign. Any report fails the run; the
# summary goes to build-tsan/tsan-results.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${ZORVAN_SKIP_SETUP:-}" = 1 ] || bash scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVAN_TSAN=ON \
  -DZORVAN_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan
# Reports fail the test that causes them; Qt's own code is not instrumented,
# so races inside it are not ours to see.
# Qt's own event dispatcher rather than GLib's, which is not instrumented either.
export QT_NO_GLIB=1
export TSAN_OPTIONS="halt_on_error=1 abort_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp ${TSAN_OPTIONS:-}"
tests="unit|audio_sockets|call_audio|call_path|call_faults|skype_link|dial_campaign|recorder"
status=0
(cd build-tsan && ctest -R "^($tests)\$" --output-on-failure --timeout 900) | tee build-tsan/tsan.log || status=$?
summary="$(date -u +%Y-%m-%dT%H:%MZ) ThreadSanitizer on $tests: $(grep -E 'tests passed' build-tsan/tsan.log || echo 'no result')"
echo "$summary" | tee -a build-tsan/tsan-results.txt
exit "$status"
