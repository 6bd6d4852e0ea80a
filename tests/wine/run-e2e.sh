#!/usr/bin/env bash
# End-to-end tests of korvane.exe under Wine and Xvfb: the x86_64 build under wine64, the
# i686 build under the 32-bit Wine of scripts/setup-wine32.sh; one scratch Wine prefix
# per run; tests/wine/driver.cc drives the real window through the Windows API. Checks
# the resources, the start state, Go! against `korvane-cli.exe run`, the switches, Open
# AVI from the menu and the browse button, Save log as, the About box, the four ways of
# closing, the settings written at exit, Help and How to... opening Korvane.hlp in Wine's
# help engine, and the start state and reports with Wine set to report Windows 98 and NT 4.
#
# Usage: tests/wine/run-e2e.sh [BUILD_DIR]     (default build/win64)
# Screenshots go to build/screenshots/NAME/ and logs of a failed check to build/e2e/NAME/,
# NAME being the build folder's name.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
shots=$root/build/screenshots/${build##*/}
logs=$root/build/e2e/${build##*/}
mkdir -p "$shots" "$logs"
rm -f "$logs"/*

# shellcheck source-path=SCRIPTDIR/../.. source=tests/wine/wine-env.sh
. "$root/tests/wine/wine-env.sh"
wine_for_build "$build" || exit 1
scratch_prefix e2e

# ---- the scratch machine ------------------------------------------------------------
for exe in korvane.exe korvane-cli.exe korvane-wine-driver.exe; do
  [ -f "$build/$exe" ] || { echo "run-e2e: $build/$exe is missing (build the win32 or win64 preset)"; exit 1; }
done
start_xvfb 90 140 || { echo "run-e2e: cannot start Xvfb"; exit 1; }

note "making a scratch $WINE_BITS-bit Wine prefix"
make_prefix >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
# Let Wine draw the window frames itself: there is no window manager on Xvfb.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
c=$WINEPREFIX/drive_c
# Debian's Wine does not register its own TrueType fonts; without Marlett the caption
# buttons show as letters in the screenshots. Fonts in C:\windows\Fonts are always found.
cp /usr/share/wine/fonts/*.ttf "$c/windows/Fonts/" 2>/dev/null
mkdir -p "$c/korvane" "$c/korvane-test"
cp "$build"/korvane.exe "$build"/korvane-cli.exe "$build"/korvane-wine-driver.exe "$c/korvane/"
"$root/scripts/make-sample-avis.sh" "$root/build/samples" >/dev/null
cp "$root/build/samples/cinepak-upper.avi" "$c/korvane-test/first.avi"
cp "$root/build/samples/msmpeg4v3-divx.avi" "$c/korvane-test/second.avi"

driver_at 'C:\korvane\korvane-wine-driver.exe'
cli() { "$WINE" 'C:\korvane\korvane-cli.exe' "$@" | tr -d '\r'; }
start_program() {
  "$WINE" 'C:\korvane\korvane.exe' >"$work/program.log" 2>&1 &
  program_pid=$!
  drv wait-window 60 || { fail "korvane.exe shows its main window"; return 1; }
}
# stop_program HOW: closes the program that way; checks exit code 0 and that it is gone.
stop_program() {
  drv close "$1"
  local status=0 _
  for _ in $(seq 300); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$program_pid" 2>/dev/null; then
    fail "closing with $1 ends the program within 30 seconds"
    kill "$program_pid" 2>/dev/null
  fi
  wait "$program_pid" || status=$?
  program_pid=
  equal "closing with $1 ends the program with exit code 0" 0 "$status"
  drv wait-gone 10 && pass "no main window left after $1" || fail "main window left after $1"
}
reg_value() { "$WINE" reg add 'HKCU\Software\Ruv Korvane' /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1; }
repeat() { printf "%${2}s" "" | tr ' ' "$1"; }
hex() { printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n' | tr a-f A-F; }
# settings_are FILE: the registry dump must equal FILE.
check_settings() {
  drv registry >"$work/registry.txt" || { fail "$1: the settings key exists"; return; }
  same "$1" "$2" "$work/registry.txt"
}
# Splits a report into its sections: the version line, the Video for Windows line and
# each section that opens with a heading ("======== ...").
split_sections() {
  rm -rf "$work/sections"; mkdir -p "$work/sections"
  awk -v dir="$work/sections" '
    NR == 1 { name = "version" }
    /^Video for Windows version: / { name = "vfw" }
    /^======== / {
      if ($0 ~ /^======== system\.ini/) name = "systemini"
      else if ($0 ~ /msvc\*\.\*/) name = "msvc"
      else if ($0 ~ /drivers\.desc entries/) name = "desc"
      else if ($0 ~ /^======== Loading SOFTWARE/) name = "loadreg"
      else if ($0 ~ /^======== Loading DLL/) name = "loaddll"
      else if ($0 ~ /Well known DLLs/) name = "wellknown"
      else if ($0 ~ /capture drivers/) name = "capture"
      else if ($0 ~ /registry entries/) name = "avifile"
      else if ($0 ~ /uninstall section/) name = "uninstall"
      else name = "other"
    }
    NR > 1 && !/^Video for Windows version: / && !/^======== / && name == "vfw" { name = "after-vfw" }
    { print > (dir "/" name) }' "$1"
}
# sections NAME...: those sections of the whole report, in that order; fails when the
# whole report has no such section.
sections() {
  local s
  for s in "$@"; do
    [ -f "$work/sections/$s" ] || { echo "(the whole report has no $s section)"; continue; }
    cat "$work/sections/$s"
  done
}

# ---- resources ----------------------------------------------------------------------
note "resources of korvane.exe"
drv resources 'C:\korvane\korvane.exe' >"$work/resources.txt"
same "dialog templates 1 and 2, menu 1000, icon groups, bitmaps; no other resources" \
  "$root/tests/wine/expected-resources.txt" "$work/resources.txt"

# ---- first start: a new user ----------------------------------------------------------
note "first start (no settings key yet), closed with Esc"
start_program || exit 1
equal "caption" "Korvane - why does this AVI not play? - (c) 2001 Ruv" "$(drv caption)"
printf '%s 1\n' 105 106 107 108 109 110 111 112 >"$work/boxes.expected"
drv boxes >"$work/boxes.txt"
same "the eight boxes start ticked, NT specific tests too (Wine is platform 2)" \
  "$work/boxes.expected" "$work/boxes.txt"
equal "the report list starts empty" 0 "$(drv count)"
equal "the path field starts empty" "" "$(drv field)"

note "Go! against korvane-cli.exe run"
drv click 103
drv list >"$work/gui-full.txt"
lines=$(wc -l <"$work/gui-full.txt")
[ "$lines" -gt 10 ] && pass "Go! writes a report ($lines lines)" || fail "Go! writes a report ($lines lines)"
grep -q '^GetVersionEx() reports: .* platform 2 (WinNT), ' "$work/gui-full.txt" &&
  pass "the version line names platform 2 (WinNT)" || fail "the version line names platform 2"
import -window root -crop "$(drv rect main)" +repage "$shots/main-window.png" 2>/dev/null &&
  pass "screenshot ${shots#"$root"/}/main-window.png" || fail "screenshot of the main window"
have_run=0
cli --help 2>/dev/null | grep -q '^  run ' && have_run=1
if [ "$have_run" = 1 ]; then
  cli run >"$work/cli-full.txt" 2>"$work/cli-run.err"
  same "the list equals what korvane-cli.exe run prints in the same prefix" \
    "$work/cli-full.txt" "$work/gui-full.txt"
else
  skip "the list against korvane-cli.exe run: this korvane-cli.exe has no run command"
fi

note "the switches decide the sections"
split_sections "$work/gui-full.txt"
all_off="105=0 106=0 107=0 108=0 109=0 110=0 111=0 112=0"
# combination BOXES... -- SECTIONS...
combination() {
  local boxes=() sections_wanted=() seen=0
  for a in "$@"; do
    if [ "$a" = -- ]; then seen=1; elif [ $seen = 0 ]; then boxes+=("$a"); else sections_wanted+=("$a"); fi
  done
  drv set-boxes $all_off "${boxes[@]}"
  drv click 103
  drv list >"$work/gui-part.txt"
  sections "${sections_wanted[@]}" >"$work/expected-part.txt"
  same "ticked ${boxes[*]:-nothing}: ${sections_wanted[*]}" "$work/expected-part.txt" "$work/gui-part.txt"
  if [ "$have_run" = 1 ]; then
    cli run --tests "$(test_names "${boxes[@]}")" >"$work/cli-part.txt" 2>/dev/null
    same "ticked ${boxes[*]:-nothing}: as korvane-cli.exe run --tests $(test_names "${boxes[@]}")" \
      "$work/cli-part.txt" "$work/gui-part.txt"
  fi
}
# test_names ID=1...: the names that `korvane run --tests` gives the ticked boxes.
test_names() {
  local names=() a
  declare -A name_of=([105]=systemIni [106]=loadDll [107]=captureDrivers [108]=registryAviFile
                   [109]=registryUninstall [110]=ntTests [111]=msvcList [112]=wellKnownDlls)
  for a in "$@"; do [ "${a#*=}" = 1 ] && names+=("${name_of[${a%=*}]}"); done
  [ ${#names[@]} = 0 ] && { echo none; return; }
  (IFS=,; echo "${names[*]}")
}
combination -- version vfw
combination 105=1 -- version systemini vfw
combination 111=1 -- version vfw msvc
combination 110=1 -- version vfw desc
combination 110=1 106=1 -- version vfw desc loadreg loaddll
combination 106=1 -- version vfw loaddll
combination 110=1 112=1 -- version vfw desc wellknown
# Without the NT box the well-known list is the Windows 9x one.
drv set-boxes $all_off 112=1
drv click 103
drv list >"$work/gui-part.txt"
{ sections version vfw; head -n1 "$work/sections/wellknown"; } >"$work/expected-part.txt"
head -n3 "$work/gui-part.txt" >"$work/gui-head.txt"
same "ticked 112=1: version vfw and the well-known heading" "$work/expected-part.txt" "$work/gui-head.txt"
if [ "$have_run" = 1 ]; then
  cli run --tests wellKnownDlls >"$work/cli-part.txt" 2>/dev/null
  same "ticked 112=1: as korvane-cli.exe run --tests wellKnownDlls" "$work/cli-part.txt" "$work/gui-part.txt"
fi
if cmp -s "$work/gui-part.txt" <(sections version vfw wellknown); then
  fail "ticked 112=1 without 110: the Windows 9x list differs from the NT list"
else
  pass "ticked 112=1 without 110: the Windows 9x list differs from the NT list"
fi
combination 107=1 -- version vfw capture
combination 108=1 -- version vfw avifile
combination 109=1 -- version vfw uninstall
drv set-boxes 105=1 106=1 107=1 108=1 109=1 110=1 111=1 112=1
drv click 103
drv list >"$work/gui-again.txt"
same "all boxes ticked again: the whole report" "$work/gui-full.txt" "$work/gui-again.txt"

note "Open AVI from the menu and from the browse button"
first='C:\korvane-test\first.avi'
second='C:\korvane-test\second.avi'
cli dump "$first" >"$work/dump-first.txt"
cli dump "$second" >"$work/dump-second.txt"
drv command 210
drv open-file "Load an AVI file" "$first"
equal "IDC_PATH shows the file opened from the menu" "$first" "$(drv field)"
drv list >"$work/gui-dump1.txt"
cat "$work/gui-full.txt" "$work/dump-first.txt" >"$work/expected-dump1.txt"
same "the dump is appended to the report (korvane-cli.exe dump)" "$work/expected-dump1.txt" "$work/gui-dump1.txt"
drv post-click 102
drv open-file "Load an AVI file" "$second"
equal "IDC_PATH shows the file opened with the browse button" "$second" "$(drv field)"
drv list >"$work/gui-dump2.txt"
cat "$work/expected-dump1.txt" "$work/dump-second.txt" >"$work/expected-dump2.txt"
same "a second dump is appended after the first" "$work/expected-dump2.txt" "$work/gui-dump2.txt"
drv command 210
drv cancel-file "Load an AVI file"
drv list >"$work/gui-cancel.txt"
same "cancelling the Open dialog changes nothing" "$work/expected-dump2.txt" "$work/gui-cancel.txt"

note "Save log as"
drv command 215
drv open-file "Save report as" 'C:\korvane-test\report.txt'
if [ -f "$c/korvane-test/report.txt" ]; then
  sed 's/$/\r/' "$work/gui-dump2.txt" >"$work/report.expected"
  same "the saved report holds every line followed by CR LF" "$work/report.expected" "$c/korvane-test/report.txt"
else
  fail "Save log as wrote C:\\korvane-test\\report.txt"
fi

note "the saved report as the machine of korvane-cli.exe check"
# The report the window saved (CR LF, the two dumps after it) answers check as the machine
# it was saved on does: Cinepak ready, DIV3 without a decoder in a plain Wine prefix.
answers_of() {  # answers_of CHECK.json: per file, its stream's decoder and the verdict
  python3 - "$1" <<'PY'
import json, re, sys
for f in json.load(open(sys.argv[1], encoding="utf-8"))["files"]:
    d = f["streams"][0]["decoder"]
    print("%s: registered %s, entry %s, loads %s, playable %s" % (
        re.split(r"[\\/]", f["file"])[-1], d["registered"], d.get("entry"), d.get("loads"),
        f["playable"]))
PY
}
cli check --json --machine 'C:\korvane-test\report.txt' "$first" "$second" \
  >"$work/saved-check.json" 2>"$work/saved-check.err"
printf '%s\n' "first.avi: registered True, entry vidc.cvid, loads True, playable True" \
  "second.avi: registered False, entry None, loads None, playable False" >"$work/saved.expected"
answers_of "$work/saved-check.json" >"$work/saved-answers.txt" 2>&1
same "check --machine on the saved report: Cinepak loads, DIV3 is not registered" \
  "$work/saved.expected" "$work/saved-answers.txt"
cli check --json "$first" "$second" >"$work/live-check.json" 2>/dev/null
if python3 "$root/tests/report/compare_checks.py" "$work/live-check.json" \
    "$work/saved-check.json" --whole >"$work/saved-check.diff" 2>&1; then
  pass "check from the saved report agrees field by field with check on the live machine"
else
  fail "check from the saved report differs from check on the live machine"
  cat "$work/saved-check.diff" "$work/saved-check.err"
fi
drv click 103
drv list >"$work/gui-cleared.txt"
same "Go! clears the dumps and writes a new report" "$work/gui-full.txt" "$work/gui-cleared.txt"
equal "Go! leaves IDC_PATH alone" "$second" "$(drv field)"

note "the About box"
drv command 201
drv about-text >"$work/about.txt"
printf 'Korvane  [ build Sep 26 2001 ]\r\n\r\n (c) 1999-2001 Ruv and the Korvane authors\r\n\r\n' >"$work/about-head.expected"
head -c "$(stat -c %s "$work/about-head.expected")" "$work/about.txt" >"$work/about-head.txt"
same "the About text starts with the version line and the maker's notice" \
  "$work/about-head.expected" "$work/about-head.txt"
grep -q 'web site    https://www.example.com/korvane/' "$work/about.txt" &&
  pass "the About text shows the web site" || fail "the About text shows the web site"
[ "$(tail -c 27 "$work/about.txt" | tr -d '\n')" = "Thank you for using Korvane" ] || tail -n1 "$work/about.txt" | grep -q 'Thank you for using Korvane$'
[ $? = 0 ] && pass "the About text ends with \"Thank you for using Korvane\"" || fail "the About text ends with \"Thank you for using Korvane\""
import -window root -crop "$(drv rect about)" +repage "$shots/about-box.png" 2>/dev/null &&
  pass "screenshot ${shots#"$root"/}/about-box.png" || fail "screenshot of the About box"
drv about-esc && pass "Esc leaves the About box open" || fail "Esc leaves the About box open"
drv about-ok && pass "OK closes the About box" || fail "OK closes the About box"
drv command 201
drv about-text >/dev/null
drv about-close && pass "the close button closes the About box" || fail "the close button closes the About box"

# The boxes are not settings: the next start shows the initial values again.
drv set-boxes 105=0 106=0 110=0 112=0
stop_program esc
defaults=$work/defaults.txt
{
  echo "ExportDir 1 $(hex 'c:\')00"
  echo "OpenDir 1 $(hex 'c:\')00"
  echo "SaveDir 1 $(hex 'c:\')00"
  for n in 1 2 3 4 5; do echo "mru$n 1 00"; done
} >"$defaults"
check_settings "a new user's key holds the eight defaults" "$defaults"

# ---- second start: settings edge cases, empty save, Done ------------------------------
note "second start: long and odd settings values, closed with Done"
open254=$(repeat d 254)
reg_value mru3 REG_SZ "$(repeat m 300)"
reg_value OpenDir REG_SZ "$open254"
reg_value SaveDir REG_DWORD 0x41
start_program || exit 1
drv boxes >"$work/boxes.txt"
same "unticked boxes start ticked again at the next start" "$work/boxes.expected" "$work/boxes.txt"
drv command 215
drv no-dialog 2 && pass "Save log as with an empty list shows no dialog" ||
  fail "Save log as with an empty list shows no dialog"
stop_program "done"
{
  echo "ExportDir 1 $(hex 'c:\')00"
  echo "OpenDir 1 $(hex "$open254")00"
  echo "SaveDir 1 4100"
  for n in 1 2 3 4 5; do echo "mru$n 1 00"; done
} >"$work/expected.txt"
check_settings "mru3 of 300 characters becomes empty, OpenDir of 254 is kept, SaveDir 0x41 is \"A\"" \
  "$work/expected.txt"

# ---- third start: Exit ---------------------------------------------------------------------
note "third start: OpenDir of 255 characters, closed with Exit"
reg_value OpenDir REG_SZ "$(repeat e 255)"
reg_value Unrelated REG_SZ keep
start_program || exit 1
stop_program exit
{
  echo "ExportDir 1 $(hex 'c:\')00"
  echo "OpenDir 1 $(hex 'c:\')00"
  echo "SaveDir 1 4100"
  echo "Unrelated 1 $(hex keep)00"
  for n in 1 2 3 4 5; do echo "mru$n 1 00"; done
} >"$work/expected.txt"
check_settings "OpenDir of 255 characters becomes c:\\, other values stay" "$work/expected.txt"

# ---- fourth start: the close button ----------------------------------------------------------
note "fourth start: closed with the close button"
start_program || exit 1
stop_program button
check_settings "the eight values are written again at exit" "$work/expected.txt"

# ---- Help and How to... open Korvane.hlp in the help engine (winhlp32) -------------------
# Self-contained: copies the help files beside korvane.exe, starts the program in its own
# folder (the engine looks there and in the current folder), presses Help and How to...,
# then opens every topic of Korvane.cnt in the engine and checks the title it shows.
note "Help and How to... show Korvane's help"
if [ -f "$build/Korvane.hlp" ] && [ -f "$build/Korvane.cnt" ]; then
  cp "$build/Korvane.hlp" "$build/Korvane.cnt" "$c/korvane/"
  help_title=$(sed -n 's/^:Title //p' "$build/Korvane.cnt" | tr -d '\r')
  pushd "$c/korvane" >/dev/null || exit 1
  if start_program; then
    for how in "post-click 9:the Help button" "command 208:How to... in the menu"; do
      drv ${how%%:*}
      if drv help-wait "$help_title" 60 >/dev/null; then
        pass "${how#*:} opens the help engine on \"$help_title\""
        drv help-text "$help_title" >"$work/help-contents.txt"
        equal "${how#*:}: the page shown is the contents page" "$help_title" \
          "$(head -n1 "$work/help-contents.txt")"
        if [ "$how" = "post-click 9:the Help button" ]; then
          import -window root -crop "$(drv help-rect "$help_title")" +repage \
            "$shots/help-contents.png" 2>/dev/null &&
            pass "screenshot build/screenshots/help-contents.png" || fail "screenshot of the help contents"
        fi
        drv help-close "$help_title" || fail "${how#*:}: the help window closes"
      else
        fail "${how#*:} opens the help engine on \"$help_title\""
      fi
    done
    stop_program esc
  fi
  popd >/dev/null || exit 1
  # Each topic the contents file lists, opened by its context id as a jump opens it.
  tr -d '\r' <"$build/Korvane.cnt" | sed -n 's/^2 //p' >"$work/help-topics.txt"
  contents_id=$(head -n1 "$work/help-topics.txt" | sed 's/.*=//')
  awk -F '\t' 'NF > 1 { print $2 }' "$work/help-contents.txt" >"$work/help-jumps.txt"
  while IFS='=' read -r title id <&3; do
    if [ "$id" != "$contents_id" ]; then
      grep -qxF -e "$title" "$work/help-jumps.txt" && pass "the contents page lists \"$title\"" ||
        fail "the contents page lists \"$title\""
    fi
    (cd "$c/korvane" && "$WINE" winhlp32.exe -i "$id" 'C:\korvane\Korvane.hlp' >/dev/null 2>&1 &)
    if drv help-wait "$title" 60 >/dev/null; then
      equal "topic $id shows its title" "$title" "$(drv help-text "$title" | head -n1)"
      if [ "$id" = loading ]; then
        import -window root -crop "$(drv help-rect "$title")" +repage "$shots/help-topic.png" 2>/dev/null &&
          pass "screenshot build/screenshots/help-topic.png" || fail "screenshot of a help topic"
      fi
      drv help-close "$title" || fail "topic $id: the help window closes"
    else
      fail "topic $id opens in the help engine"
    fi
  done 3<"$work/help-topics.txt"
else
  fail "the build put Korvane.hlp and Korvane.cnt beside korvane.exe"
fi

# ---- Windows 98 and NT 4, as Wine reports them to the program ----------------------------
# The version Wine reports decides the platform, so the start state of "NT specific tests"
# and which sections and lists the report holds. win98 is set for each program under
# AppDefaults, nt40 for all programs at once.
all_on="105=1 106=1 107=1 108=1 109=1 110=1 111=1 112=1"
all_tests=systemIni,loadDll,captureDrivers,registryAviFile,registryUninstall,ntTests,msvcList,wellKnownDlls
split_sections "$work/gui-full.txt"
cp "$work/sections/wellknown" "$work/wellknown-nt.txt"
# mode_run SETTING NAME VERSION_LINE NT_BOX: one start with Wine's version set so.
mode_run() {
  local setting=$1 name=$2 version=$3 nt=$4
  note "Wine set to $name ($setting): start state, Go! against korvane-cli.exe run"
  set_wine_version "$setting" korvane.exe korvane-cli.exe || { fail "$name: setting Wine's version"; return; }
  start_program || return
  printf '%s 1\n' 105 106 107 108 109 >"$work/mode-boxes.expected"
  printf '110 %s\n111 1\n112 1\n' "$nt" >>"$work/mode-boxes.expected"
  drv boxes >"$work/mode-boxes.txt"
  same "$name: the boxes start ticked, \"NT specific tests\" only on NT ($nt)" \
    "$work/mode-boxes.expected" "$work/mode-boxes.txt"
  drv click 103
  drv list >"$work/gui-$name.txt"
  equal "$name: the version line" "$version" "$(head -n1 "$work/gui-$name.txt")"
  cli run >"$work/cli-$name.txt" 2>/dev/null
  same "$name: Go! equals korvane-cli.exe run" "$work/cli-$name.txt" "$work/gui-$name.txt"
  if [ "$nt" = 0 ]; then
    import -window root -crop "$(drv rect main)" +repage "$shots/main-window-$name.png" 2>/dev/null &&
      pass "screenshot ${shots#"$root"/}/main-window-$name.png" || fail "screenshot of the $name report"
    split_sections "$work/gui-$name.txt"
    [ ! -f "$work/sections/desc" ] && [ ! -f "$work/sections/loadreg" ] &&
      pass "$name: no NT sections" || fail "$name: no NT sections"
    equal "$name: Loading DLL lists system.ini [drivers32]" "[drivers32]" \
      "$(sed -n 2p "$work/sections/loaddll" 2>/dev/null)"
    if [ -f "$work/sections/wellknown" ] && ! cmp -s "$work/sections/wellknown" "$work/wellknown-nt.txt"; then
      pass "$name: the Windows 9x list of well-known libraries"
    else
      fail "$name: the Windows 9x list of well-known libraries"
    fi
  fi
  drv set-boxes $all_on
  drv click 103
  drv list >"$work/gui-$name-all.txt"
  cli run --tests "$all_tests" >"$work/cli-$name-all.txt" 2>/dev/null
  same "$name: every box ticked equals korvane-cli.exe run --tests (all eight)" \
    "$work/cli-$name-all.txt" "$work/gui-$name-all.txt"
  stop_program esc
}
mode_run app:win98 win98 'GetVersionEx() reports: ver. 4.10, build 0x40A08AE (2222), platform 1 (Win9x), " A "' 0
mode_run global:nt40 nt40 'GetVersionEx() reports: ver. 4.0, build 0x565 (1381), platform 2 (WinNT), "Service Pack 6a"' 1

summary
