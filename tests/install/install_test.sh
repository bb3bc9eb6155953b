#!/usr/bin/env bash
# Installs the build into a temporary prefix with `cmake --install` and checks what lands
# there: exactly the programs in bin/ and their pages in share/man/man1, every page free of
# formatter warnings, found by man, and in agreement with the installed program.
# Usage: install_test.sh BUILD_DIR PROGRAM...
set -uo pipefail
build=$1
shift
source "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  fail "cmake --install failed"
  finish
fi

# Exactly the expected files, nothing more
installed=$(find "$prefix" -type f | LC_ALL=C sort)
expected=$(expected_files "$prefix" "$@")
[ "$installed" = "$expected" ] ||
  fail "installed files differ from the expected ones:"$'\n'"$(diff <(echo "$expected") <(echo "$installed"))"

for program in "$@"; do
  [ -x "$prefix/bin/$program" ] || fail "$program is not installed as an executable"
  page=$prefix/share/man/man1/$program.1
  [ -f "$page" ] || continue
  check_page "$page"
  # man finds the page under the prefix by the program's name alone
  found=$(man -M "$prefix/share/man" -w "$program" 2>/dev/null) || found=
  [ "$found" = "$page" ] || fail "man -M PREFIX/share/man -w $program gives '$found', not $page"
done

check_programs "$prefix/bin" "$prefix/share/man/man1" "$@"
finish
