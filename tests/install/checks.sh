# Checks shared by the install and package tests: sourced, not run.

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The sections that every page must have.
required_sections=(NAME SYNOPSIS DESCRIPTION FILES DIAGNOSTICS "EXIT STATUS" EXAMPLES)

# check_page PAGE: the page formats without a single warning, as man shows it and as groff
# checks it, has the required sections, and its NAME line is one that whatis can index.
check_page() {
  local page=$1 warnings
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
             man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) \
    || fail "$page: man -l failed"
  [ -z "$warnings" ] || fail "$page: man -l warns:"$'\n'"$warnings"
  warnings=$(groff -man -ww -z "$page" 2>&1) || fail "$page: groff failed"
  [ -z "$warnings" ] || fail "$page: groff warns:"$'\n'"$warnings"
  local section
  for section in "${required_sections[@]}"; do
    grep -qx "\.SH \"\?$section\"\?" "$page" || fail "$page: no $section section"
  done
  lexgrog "$page" >/dev/null 2>&1 || fail "$page: whatis cannot read its NAME line"
}

# The page as plain text, one line per output line, leading blanks removed.
page_text() {
  LC_ALL=C groff -man -Tascii -P-cbou -rLL=200n "$1" | sed 's/^ *//'
}

# check_usage PROGRAM PAGE: the program run without arguments prints its usage text, every
# line of which the page's text quotes, with CR LF line ends, and exits with status 2.
check_usage() {
  local program=$1 page=$2 out status line
  out=$(cd "$work" && "$program" </dev/null; echo "status $?")
  status=${out##*status }
  out=${out%status *}
  [ "$status" = 2 ] || fail "$program without arguments: exit status $status, not 2"
  [ -n "$out" ] || { fail "$program without arguments printed nothing"; return; }
  local text
  text=$(page_text "$page")
  while IFS= read -r line; do
    [[ $line == *$'\r' ]] || fail "$program: usage line does not end with CR LF: $line"
    line=${line%$'\r'}
    grep -qxF -- "$line" <<<"$text" || fail "$program: usage line not in $page: $line"
  done <<<"${out%$'\n'}"
}

# check_burstmap PROGRAM: with SDL's dummy driver it writes screen.bin whole and exits 0.
check_burstmap() {
  local program=$1 status=0
  mkdir -p "$work/burstmap"
  (cd "$work/burstmap" && SDL_VIDEODRIVER=dummy timeout 60 "$program" </dev/null) || status=$?
  [ "$status" = 0 ] || fail "$program: exit status $status, not 0"
  local size
  size=$(stat -c %s "$work/burstmap/screen.bin" 2>/dev/null) || size=none
  [ "$size" = 1536 ] || fail "$program: screen.bin is $size bytes, not 1536"
}

# check_programs BIN_DIR MAN1_DIR PROGRAM...: each installed program runs from BIN_DIR and
# agrees with its page in MAN1_DIR; the console tools are run side by side, since each pauses.
check_programs() {
  local bin=$1 man1=$2 program
  shift 2
  local logs=()
  for program in "$@"; do
    if [ "$program" = burstmap ]; then
      check_burstmap "$bin/burstmap"
    else
      check_usage "$bin/$program" "$man1/$program.1" >"$work/$program.log" 2>&1 &
      logs+=("$program")
    fi
  done
  wait
  for program in "${logs[@]}"; do
    if [ -s "$work/$program.log" ]; then
      cat "$work/$program.log" >&2
      failures=$((failures + 1))
    fi
  done
}

# expected_files PREFIX PROGRAM...: the files that installing the programs gives, sorted.
expected_files() {
  local prefix=$1 program
  shift
  for program in "$@"; do
    echo "$prefix/bin/$program"
    echo "$prefix/share/man/man1/$program.1"
  done | LC_ALL=C sort
}

finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
