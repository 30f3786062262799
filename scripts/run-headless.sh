#!/usr/bin/env bash
# Inside scripts/with-wine.sh: starts Quorvix.exe in the private virtual
# desktop, saves a screenshot of the desktop (tray icon at the right end of the
# taskbar) and one of the opened tray menu, and keeps Quorvix running until
# Enter (or closes it at once when not interactive).
# Usage: run-headless.sh <Quorvix.exe> [arguments...]
set -uo pipefail
program=$1; shift
root="$(cd "$(dirname "$0")/.." && pwd)"
shots="$root/build/screenshots"
tool="$root/build/win64/tests/support/e2e/qvx_e2e_tool.exe"
wine64=/usr/lib/wine/wine64
mkdir -p "$shots"

"$wine64" "$program" "$@" &
pid=$!
if ! "$wine64" "$tool" wait-tray; then
  echo "Quorvix did not put its icon into the notification area" >&2
  wait "$pid"
  exit 1
fi
"$wine64" "$tool" desktop "Z:$shots/run-desktop.png" && echo "screenshot of the desktop: $shots/run-desktop.png"
"$wine64" "$tool" tray-menu "Z:$shots/run-tray-menu.png" && echo "screenshot of the tray menu: $shots/run-tray-menu.png"
if [ -t 0 ]; then
  echo "Quorvix is running headless on $DISPLAY; press Enter to stop it."
  read -r _
fi
"$wine64" "$tool" close >/dev/null 2>&1 || kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit 0
