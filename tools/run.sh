#!/usr/bin/env bash
# Installs what the program needs, builds it and starts it on the file given.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-deps.sh run
cmake -S . -B build -G Ninja -DBUILD_TESTING=OFF
cmake --build build
if [ -x build/bin/darvolt ]; then
  exec build/bin/darvolt "$@"
fi
exec build/bin/darvolt-split "$@"
