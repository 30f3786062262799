#!/usr/bin/env bash
# Inside scripts/with-wine.sh: starts Quorvix.exe in the virtual desktop, takes
# screenshots, and keeps it running until Enter (or at once when not interactive).
set -uo pipefail
program=$1; shift
shots="$(cd "$(dirname "$0")/.." && pwd)/build/screenshots"
mkdir -p "$shots"
/usr/lib/wine/wine64 "$program" "$@" &
pid=$!
sleep 6
import -window root "$shots/run-desktop.png" 2>/dev/null && echo "screenshot: $shots/run-desktop.png"
if [ -t 0 ]; then
  echo "Quorvix is running headless on $DISPLAY; press Enter to stop it."
  read -r _
fi
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit 0
