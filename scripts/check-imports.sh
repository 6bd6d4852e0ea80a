#!/usr/bin/env bash
# Checks what the i686 korvane.exe imports, so that it stays loadable on old 32-bit
# Windows: only the allowed DLLs, and exactly the functions of the committed list
# res/korvane-i686.imports (one DLL!function a line, DLL in lower case, sorted), so that
# every new import is a reviewed change. Also checks that the program stays small.
#
# Usage: check-imports.sh [EXE [LIST]]          check (default build/win32/korvane.exe)
#        check-imports.sh --update [EXE [LIST]]  rewrite the list from the program
set -euo pipefail
cd "$(dirname "$0")/.."

update=0
if [ "${1:-}" = --update ]; then update=1; shift; fi
exe=${1:-build/win32/korvane.exe}
list=${2:-res/korvane-i686.imports}
max_bytes=$((1024 * 1024))
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll comdlg32.dll shell32.dll
msvfw32.dll avifil32.dll avicap32.dll msvcrt.dll"

[ -f "$exe" ] || { echo "check-imports: $exe not found (build the win32 preset first)" >&2; exit 1; }
i686-w64-mingw32-objdump -f "$exe" | grep -q 'file format pei-i386' ||
  { echo "check-imports: $exe is not an i686 program" >&2; exit 1; }

# objdump -p prints, per DLL, "DLL Name: X" and then "vma hint name" rows; imports by
# ordinal show as "<none>" or "Ordinal N" and are kept as they are printed.
current=$(i686-w64-mingw32-objdump -p "$exe" | awk '
  /^The Import Tables/ { inside = 1; next }
  /^The Export Tables/ || /^PE File Base Relocations/ || /^There is a/ { inside = 0 }
  !inside { next }
  /DLL Name:/ { dll = tolower($3); next }
  dll != "" && /^\t[0-9a-f]+\t/ {
    line = $0; sub(/^\t[0-9a-f]+\t */, "", line); sub(/^[0-9]+ +/, "", line)
    if (line != "") print dll "!" line
  }
  /^$/ { }' | LC_ALL=C sort -u)

[ -n "$current" ] || { echo "check-imports: no imports found in $exe" >&2; exit 1; }

status=0
bad=$(printf '%s\n' "$current" | cut -d'!' -f1 | LC_ALL=C sort -u | while read -r dll; do
  grep -qxF "$dll" <(tr ' ' '\n' <<<"$allowed" | tr -s '\n') || echo "$dll"
done)
if [ -n "$bad" ]; then
  echo "check-imports: $exe imports from DLLs that old Windows may lack:" >&2
  printf '  %s\n' $bad >&2
  status=1
fi

if [ "$update" = 1 ]; then
  printf '%s\n' "$current" >"$list"
  echo "check-imports: wrote $(wc -l <"$list") imports to $list"
else
  if ! diff -u "$list" <(printf '%s\n' "$current") >/tmp/korvane-imports.diff.$$; then
    echo "check-imports: the imports of $exe differ from $list" >&2
    echo "(review the change, then run scripts/check-imports.sh --update):" >&2
    cat /tmp/korvane-imports.diff.$$ >&2
    status=1
  fi
  rm -f /tmp/korvane-imports.diff.$$
fi

size=$(stat -c %s "$exe")
if [ "$size" -gt "$max_bytes" ]; then
  echo "check-imports: $exe is $size bytes, more than the $max_bytes allowed" >&2
  status=1
fi
[ "$status" = 0 ] && [ "$update" = 0 ] &&
  echo "check-imports: $exe: $(printf '%s\n' "$current" | wc -l) imports as listed, $size bytes"
exit $status
