#!/usr/bin/env bash
# Installs the Debian packages Darvolt needs. "run" covers building and
# starting the program; "package" adds what making its Debian package takes;
# "test" adds what the test suite, the package checks and benchmarks use.
set -euo pipefail

run_pkgs=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libssl-dev libsystemd-dev
  libgf-complete-dev zlib1g-dev
  fonts-liberation xdg-utils
  par2
)
package_pkgs=(
  dpkg-dev file
)
test_pkgs=(
  xvfb xauth xdotool
  clang libclang-rt-14-dev llvm-14
  libgif-dev giflib-tools
  wine locales mtools dosfstools fusefat fiu-utils
  dbus udisks2 udev e2fsprogs
  valgrind time
  dbus-daemon dbus-bin at-spi2-core python3-pyatspi
  openbox xfwm4 metacity x11-utils
  weston libweston-10-dev qt6-wayland
  dash busybox p7zip-full
  lintian desktop-file-utils appstream man-db groff-base
)

case "${1:-run}" in
  run) pkgs=("${run_pkgs[@]}") ;;
  package) pkgs=("${run_pkgs[@]}" "${package_pkgs[@]}") ;;
  test) pkgs=("${run_pkgs[@]}" "${package_pkgs[@]}" "${test_pkgs[@]}") ;;
  *) echo "usage: $0 [run|package|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
