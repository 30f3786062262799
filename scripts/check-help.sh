#!/usr/bin/env bash
# Checks a compiled help file: 7zz lists it as a CHM holding every page that
# the help project names (its [FILES] section) and every picture the pages
# show. Usage: scripts/check-help.sh <chm> [<help source folder>]
set -euo pipefail
chm=$1
source=${2:-$(dirname "$0")/../docs/help}
listing=$(7zz l -slt "$chm" 2>/dev/null) || { echo "check-help: 7zz cannot read $chm"; exit 1; }
grep -q '^Type = Chm' <<<"$listing" || { echo "check-help: $chm is no CHM file"; exit 1; }
paths=$(sed -n 's/^Path = //p' <<<"$listing")
status=0
pages=$(sed -n '/^\[FILES\]/,/^\[/p' "$source/quorvix.hhp" | grep -v '^\[' | sed '/^$/d' | tr -d '\r')
pictures=$(grep -oh 'src="images/[^"]*"' "$source"/*.html | sed 's/src="//; s/"$//' | sort -u || true)
count=0
for entry in $pages $pictures; do
  count=$((count + 1))
  grep -qxF "$entry" <<<"$paths" || { echo "check-help: $chm lacks $entry"; status=1; }
done
[ "$status" = 0 ] && echo "check-help: $(basename "$chm") holds all $count pages and pictures"
exit $status
