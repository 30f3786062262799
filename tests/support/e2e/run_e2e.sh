#!/usr/bin/env bash
# Runs one end-to-end test program under Wine: scripts/with-wine.sh's session.
# Its output goes through a file, not straight to CTest: a program that the
# test started and that outlives it (the folder window the installer opens,
# the help viewer) inherits the output, and CTest would wait for it to close.
# Afterwards the Wine session ends, which ends such programs too; the next test
# starts on a fresh desktop.
# Usage: run_e2e.sh <wine64> <test.exe> [args...]
set -u
emulator=$1
shift
log=$(mktemp /tmp/qvx-e2e-log.XXXXXX)
"$emulator" "$@" >"$log" 2>&1 </dev/null
rc=$?
cat "$log"
rm -f "$log"
if [ "${QVX_WINE_SANDBOX:-0}" = 1 ]; then
  wineserver="$(dirname "$(readlink -f "$emulator")")/wineserver"
  [ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver
  "$wineserver" -k >/dev/null 2>&1
  "$wineserver" -w >/dev/null 2>&1
fi
exit $rc
