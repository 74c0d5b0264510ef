#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (plus ASan and UBSan) and
# runs the Skype receive-path fuzzer for a while (default 60 s).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZORVAN_FUZZ=ON -DZORVAN_SANITIZE=ON
cmake --build build-fuzz --target skype_receive_fuzzer
mkdir -p build-fuzz/corpus-skype
./build-fuzz/fuzz/skype_receive_fuzzer -max_total_time="$seconds" -max_len=4096 \
  build-fuzz/corpus-skype fuzz/corpus/skype
