#!/usr/bin/env bash
# Runs the GIF fuzz target for a given time (default 300 seconds).
#
#   tools/fuzz-gif.sh [SECONDS] [extra libFuzzer options...]
#
# Builds it with clang, libFuzzer and the address and undefined-behaviour
# sanitizers in build-fuzz-gif/, starts from the public GIF material and
# keeps what it finds in build-fuzz-gif/corpus-gif (crashes go to
# build-fuzz-gif/artifacts/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
shift || true
testdata=${DARVOLT_TESTDATA:-$(cd .. && pwd)/shared/testdata}

CC=clang CXX=clang++ cmake -S . -B build-fuzz-gif -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DDARVOLT_FUZZ=ON -DDARVOLT_SANITIZE=address,undefined -DDARVOLT_TESTDATA="$testdata" >/dev/null
cmake --build build-fuzz-gif -j2 --target fuzz_gif

mkdir -p build-fuzz-gif/corpus-gif build-fuzz-gif/artifacts
seeds=()
for d in wuffs giflib peterdn; do
  [ -d "$testdata/gif/$d" ] && seeds+=("$testdata/gif/$d")
done
exec build-fuzz-gif/fuzz/fuzz_gif -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=65536 \
  -artifact_prefix=build-fuzz-gif/artifacts/ "$@" build-fuzz-gif/corpus-gif "${seeds[@]}"
