#!/usr/bin/env bash
# Installs what the tests need, then builds and tests every configuration CI
# cares about: warnings as errors, address+undefined sanitizers, the thread
# sanitizer for the threaded code, and the fuzz targets over their corpus.
# The first build also becomes the Debian package, which is installed, run
# and purged again.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-deps.sh test

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
# What CI runs: tests that need the shared test material fail without it.
export CI="${CI:-1}"

stage() { printf '\n=== %s ===\n' "$*"; }

stage "build and test (warnings are errors)"
cmake -S . -B build -G Ninja -DDARVOLT_WERROR=ON -DBUILD_TESTING=ON
cmake --build build -j "$jobs"
# The tests labelled "desktop" start X servers, window managers and a Wayland
# compositor to drive the real program, those labelled "root" attach loop
# devices and start udev and the disk service, and "slow" ones move gigabytes;
# this stage is the only one to run them.
ctest --no-tests=error --test-dir build -j "$jobs"

stage "Debian package: lintian, install, split and join, the window, purge"
tools/package-check.sh build

stage "address and undefined sanitizers"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDARVOLT_WERROR=ON \
      -DDARVOLT_SANITIZE=address,undefined -DBUILD_TESTING=ON
cmake --build build-asan -j "$jobs"
ctest --no-tests=error --test-dir build-asan -j "$jobs" -LE 'no-asan|desktop|root|slow'

stage "thread sanitizer (threaded tests only)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDARVOLT_WERROR=ON \
      -DDARVOLT_SANITIZE=thread -DBUILD_TESTING=ON
cmake --build build-tsan -j "$jobs" --target tsan_tests
ctest --no-tests=error --test-dir build-tsan -j "$jobs" -L 'tsan'

stage "clang: the whole tree (warnings are errors), fuzz targets over their corpus"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DDARVOLT_WERROR=ON -DDARVOLT_FUZZ=ON -DDARVOLT_SANITIZE=address,undefined \
      -DBUILD_TESTING=ON
cmake --build build-fuzz -j "$jobs"
ctest --no-tests=error --test-dir build-fuzz -j "$jobs" -L 'fuzz'

stage "all checks passed"
