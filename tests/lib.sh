# shellcheck shell=bash
# Sourced by the shell suites (tests/ and scripts/): the check counters and the helpers
# every suite would otherwise write again.
#
# pass TEXT, fail TEXT: count one check ($checks; a failed one also in $failures) and say
#   it; skip TEXT: count a check that could not run here ($skips) and say why.
# check TEXT COMMAND...: pass or fail as COMMAND succeeds.
# equal NAME EXPECTED ACTUAL: pass when the two texts are the same.
# same NAME EXPECTED_FILE ACTUAL_FILE: pass when the two files hold the same bytes; else
#   the difference is shown and both files are kept in $logs when that is set.
# summary: the count of checks and failures (and skips, if any); fails if any check failed.
# end_checks NAME: for a suite that says only what failed: exits 1, saying how many
#   failed, if any did.
# note TEXT: the heading of the checks that follow.
# winpath PATH: a host path as Wine's Z: drive shows it.
# driver_at WINDOWS_PATH, then drv ARG...: the Windows test driver (tests/wine/driver.cc)
#   at that path, run under $WINE.

lib_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

checks=0 failures=0 skips=0
pass() { checks=$((checks + 1)); printf '  ok   %s\n' "$*"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); printf '  FAIL %s\n' "$*"; }
skip() { skips=$((skips + 1)); printf '  SKIP %s\n' "$*"; }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
equal() { if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi; }
same() {
  if cmp -s "$2" "$3"; then pass "$1"; else
    if [ -n "${logs:-}" ]; then
      fail "$1 (diff in ${logs#"$lib_root"/}/)"
      local tag=${1//[^A-Za-z0-9]/_}
      cp "$2" "$logs/$tag.expected"; cp "$3" "$logs/$tag.actual"
    else
      fail "$1"
    fi
    diff -u "$2" "$3" | head -30 | sed 's/^/       /'
  fi
}
summary() {
  if [ "$skips" = 0 ]; then
    printf '\n%d checks, %d failed\n' "$checks" "$failures"
  else
    printf '\n%d checks, %d failed, %d skipped\n' "$checks" "$failures" "$skips"
  fi
  [ "$failures" = 0 ]
}

end_checks() { [ "$failures" = 0 ] || { echo "$1: $failures failed"; exit 1; }; }
note() { printf '\n-- %s\n' "$*"; }
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

lib_driver=
driver_at() { lib_driver=$1; }
drv() { "$WINE" "${lib_driver:?driver_at names the test driver first}" "$@"; }
