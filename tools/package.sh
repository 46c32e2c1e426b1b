#!/usr/bin/env bash
# Installs what building needs, builds Darvolt and makes its Debian package,
# build/darvolt_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-deps.sh package
cmake -S . -B build -G Ninja -DBUILD_TESTING=OFF
cmake --build build
cd build
rm -f darvolt_*.deb
cpack -G DEB
