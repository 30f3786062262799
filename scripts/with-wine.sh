#!/usr/bin/env bash
# Runs a command inside a private Wine environment: its own Xvfb display and a
# fresh 64-bit WINEPREFIX whose default is a virtual desktop named "shell", in
# which Wine draws a taskbar with the notification area (so tray icons show in
# screenshots). Both are removed afterwards; QVX_WINE_SANDBOX=1 tells the
# end-to-end tests that they may change this prefix's registry and desktop.
# Usage: scripts/with-wine.sh <command> [args...]
# QVX_KEEP_PREFIX=1 keeps the prefix for inspection; QVX_DESKTOP sets its size.
set -euo pipefail

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
desktop_size="${QVX_DESKTOP:-1024x768}"

export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64

# A display number nobody uses yet.
display=""
for n in $(seq 90 250); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "with-wine: no free X display" >&2; exit 1; }

xvfb_pid=""
prefix=$(mktemp -d /tmp/qvx-wine.XXXXXX)
cleanup() {
  WINEPREFIX="$prefix" "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
  wait "$xvfb_pid" 2>/dev/null || true
  if [ "${QVX_KEEP_PREFIX:-0}" = 1 ]; then
    echo "with-wine: prefix kept in $prefix" >&2
  else
    rm -rf "$prefix"
  fi
}
trap cleanup EXIT

Xvfb ":$display" -screen 0 "${desktop_size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
export DISPLAY=":$display"
export WINEPREFIX="$prefix"
export QVX_WINE_SANDBOX=1

"$WINE64" wineboot -i >/dev/null 2>&1
"$WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
"$WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "$desktop_size" /f >/dev/null 2>&1
# A crashing program ends with a backtrace on stderr instead of waiting in a
# crash dialog that nobody will close.
"$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
"$WINESERVER" -w

set +e
"$@"
rc=$?
set -e
exit $rc
