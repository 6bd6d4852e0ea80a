#!/usr/bin/env bash
# Checks that the committed resource pictures (res/*.ico, res/*.bmp) are what
# scripts/make-artwork.py draws. Python is not among the build's packages, so without
# python3 the check is skipped with a notice.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v python3 >/dev/null; then
  echo "check-artwork: no python3, skipped"
  exit 0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 scripts/make-artwork.py "$out"
status=0
for f in korvane.ico korvane-small.ico folder.bmp me.bmp; do
  cmp -s "$out/$f" "res/$f" || { echo "check-artwork: res/$f differs from what scripts/make-artwork.py draws"; status=1; }
done
[ "$status" = 0 ] && echo "check-artwork: res/ pictures match scripts/make-artwork.py"
exit $status
