#!/usr/bin/env bash
# Makes the Debian package in a build folder and checks it the way a user's
# machine meets it: lintian, then apt installs it, the installed programs
# split and join a file, the manual pages and the window come up, and a purge
# leaves nothing of it under /usr. The machine is left as it was, also when a
# step fails or the check is interrupted.
#
#   tools/package-check.sh [BUILD-FOLDER]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
# Someone else's apt may hold the lock for a while.
apt=($SUDO env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300)

say() { printf -- '--- %s\n' "$*"; }
fail() { printf 'package check: %s\n' "$*" >&2; exit 1; }
installed() { dpkg-query -W -f='${db:Status-Status} ${Package}\n' | awk '$1 == "installed" { print $2 }' | sort; }
known() { dpkg-query -W -f='${Package}\n' | sort -u; }

if installed | grep -qx darvolt; then
  fail "darvolt is installed on this machine and the check would remove it: apt-get purge darvolt first"
fi

work=$(mktemp -d)
installed_before=$(installed)
known_before=$(known)
put_back() {
  local status=$?
  trap - EXIT
  set +e
  if dpkg-query -W -f='${db:Status-Status}' darvolt 2>/dev/null | grep -qv '^not-installed$'; then
    "${apt[@]}" purge darvolt >/dev/null || $SUDO dpkg --purge --force-all darvolt
  fi
  # Whatever the installation brought in goes again; a package that only had
  # its configuration files here before keeps them.
  local added new
  added=$(comm -13 <(echo "$installed_before") <(installed))
  new=$(comm -12 <(echo "$added") <(comm -13 <(echo "$known_before") <(known)))
  [ -z "$new" ] || "${apt[@]}" purge $new >/dev/null
  added=$(comm -23 <(echo "$added") <(echo "$new"))
  [ -z "$added" ] || "${apt[@]}" remove $added >/dev/null
  rm -rf "$work"
  exit "$status"
}
trap put_back EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

say "package"
rm -f "$build"/darvolt_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/darvolt_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single darvolt_*.deb"
deb=${debs[0]}
[[ $(basename "$deb") =~ ^darvolt_2\.1\.[0-9]+_$(dpkg --print-architecture)\.deb$ ]] ||
  fail "unexpected package name $(basename "$deb")"
echo "$deb"

say "lintian"
status=0
report=$(lintian --fail-on error,warning "$deb" 2>&1) || status=$?
grep -v '^running with root privileges' <<< "$report" || true
[ "$status" -eq 0 ] || fail "lintian found errors or warnings"

say "the package's files as a software centre reads them"
dpkg-deb -x "$deb" "$work/tree"
appstreamcli validate-tree --no-net --pedantic "$work/tree"
desktop-file-validate "$work/tree/usr/share/applications/darvolt.desktop"

programs=(darvolt darvolt-split darvolt-join)

say "install"
(cd "$(dirname "$deb")" && "${apt[@]}" --no-install-recommends install "./$(basename "$deb")" >/dev/null)
missing=()
while read -r path; do
  [ -e "$path" ] || missing+=("$path")
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^\.\?$')
[ "${#missing[@]}" -eq 0 ] ||
  fail "not installed: ${missing[*]} (does a path-exclude in /etc/dpkg/dpkg.cfg.d leave them out?)"
for program in "${programs[@]}"; do
  [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not installed in /usr/bin"
  echo "man -w $program: $(man -w "$program")"
done

say "split and join with the installed programs"
head -c 3500000 /dev/urandom > "$work/sample.bin"
(cd "$work" && darvolt-split sample.bin)
parts=$work/SAMPLE_PARTS
ls "$parts"
(cd "$parts" && sha256sum -c --ignore-missing sample.bin.sha256)
darvolt-join --check "$parts/sample.bin.sha256"
darvolt-join --output "$work/joined.bin" "$parts/sample.bin.!00"
cmp "$work/sample.bin" "$work/joined.bin"
# The script the split wrote joins on its own too; it keeps the parts when
# asked whether to erase them.
(cd "$parts" && sh merge.sh < /dev/null)
cmp "$work/sample.bin" "$parts/sample.bin"
echo "darvolt-join and merge.sh give back the file that was split"

say "the installed window and its Help"
# Help hands the manual to the desktop's opener; this one only writes it down.
mkdir "$work/opener"
printf '#!/bin/sh\necho "$1" >> "%s/opened"\n' "$work" > "$work/opener/xdg-open"
chmod +x "$work/opener/xdg-open"
window='
  darvolt & pid=$!
  trap "kill $pid 2>/dev/null" EXIT
  id=$(timeout 60 xdotool search --sync --onlyvisible --name "^Darvolt - The File Splitter\$" | head -n 1)
  [ -n "$id" ] || { echo "the window did not show" >&2; exit 1; }
  # Keys go to the focused window: Qt ignores keys sent to a window by name.
  xdotool windowfocus --sync "$id"
  xdotool key F1
  timeout 30 sh -c "until [ -s \"\$1\" ]; do sleep 0.1; done" _ "$1" || { echo "Help opened nothing" >&2; exit 1; }
  xdotool key alt+e
  timeout 30 tail --pid=$pid -f /dev/null || { echo "Exit did not end the program" >&2; exit 1; }
  wait $pid'
env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH="$work/opener:$PATH" HOME="$work" \
  xvfb-run -a -s '-screen 0 1024x768x24 -nolisten tcp' bash -c "$window" _ "$work/opened" ||
  fail "the installed darvolt did not show its window, open its manual and end"
opened=$(cat "$work/opened")
[[ $opened =~ ^file:///usr/share/doc/darvolt/darvolt\.html(#.*)?$ ]] ||
  fail "Help opened $opened, not the installed manual"
echo "the window showed; Help opened $opened"

say "purge"
contents=$(dpkg -L darvolt)
"${apt[@]}" purge darvolt >/dev/null
left=()
while read -r path; do
  # Shared folders such as /usr/bin stay, of course.
  if [ -e "$path" ] && { [ ! -d "$path" ] || [[ $path == *darvolt* ]]; }; then
    left+=("$path")
  fi
done <<< "$contents"
while read -r path; do left+=("$path"); done < <(find /usr -path /usr/local -prune -o -path '*darvolt*' -print)
[ "${#left[@]}" -eq 0 ] || fail "left after the purge: ${left[*]}"
echo "nothing of darvolt is left under /usr"
