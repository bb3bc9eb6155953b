#!/usr/bin/env bash
# Builds the Debian package with CPack and checks it: its files (dpkg-deb -c) are exactly the
# programs and their pages under /usr, owned by root with the usual modes; it declares the
# libraries the programs need, SDL2's with burstmap, each an installed package here; and the
# programs run from the unpacked package.
# Usage: package_test.sh BUILD_DIR PROGRAM...
set -uo pipefail
build=$1
shift
source "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB failed"
  finish
fi
debs=("$work"/package/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { fail "not one .deb: ${debs[*]}"; finish; }
deb=${debs[0]}
echo "built $(basename "$deb")"

# The files: each program and its page, with modes and owner
listing=$(dpkg-deb -c "$deb") || fail "dpkg-deb -c failed"
echo "$listing"
files=$(awk '$1 ~ /^-/ { print $1, $2, $6 }' <<<"$listing" | LC_ALL=C sort -k3)
expected=$(for program in "$@"; do
             echo "-rwxr-xr-x root/root ./usr/bin/$program"
             echo "-rw-r--r-- root/root ./usr/share/man/man1/$program.1"
           done | LC_ALL=C sort -k3)
[ "$files" = "$expected" ] ||
  fail "packaged files differ from the expected ones:"$'\n'"$(diff <(echo "$expected") <(echo "$files"))"
others=$(awk '$2 != "root/root"' <<<"$listing")
[ -z "$others" ] || fail "entries not owned by root:"$'\n'"$others"

# The control fields
[ "$(dpkg-deb -f "$deb" Package)" = zxkit ] || fail "package name is not zxkit"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] ||
  fail "architecture is not $(dpkg --print-architecture)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
needed=(libc6 libstdc++6)
[[ " $* " == *" burstmap "* ]] && needed+=(libsdl2-2.0-0)
declared=$(tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//' | sort -u)
for package in "${needed[@]}"; do
  grep -qx "$package" <<<"$declared" || fail "Depends does not name $package"
done
# Every alternative group can be met on this machine
while IFS= read -r group; do
  met=no
  for alternative in ${group//|/ }; do
    name=${alternative%%(*}
    name=${name%% *}
    [[ $name == *[a-z]* ]] || continue
    if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed"; then
      met=yes
    fi
  done
  [ "$met" = yes ] || fail "dependency '$group' is not an installed package here"
done < <(tr ',' '\n' <<<"$depends")

# The unpacked programs run and agree with their pages
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x failed"
check_programs "$work/root/usr/bin" "$work/root/usr/share/man/man1" "$@"
finish
