#!/usr/bin/env bash
# Sets up the machine, builds Quorvix (all presets) and starts it: the x86_64
# build of Quorvix.exe under wine64 (32-bit programs cannot run on this kind of
# machine; the i686 release build is the same source). With DISPLAY set it runs
# on that display in a persistent Wine prefix, in a virtual desktop with a
# taskbar whose notification area holds the tray icon; without DISPLAY it runs
# in a private headless Xvfb desktop and writes screenshots of the desktop and
# of the opened tray menu. Arguments are passed to Quorvix.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR="${CCACHE_DIR:-${QUORVIX_CACHE:-$HOME/.cache/quorvix}/ccache}"
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
scripts/setup.sh
mkdir -p build
for preset in native win64 win32; do
  echo "building $preset"
  cmake --preset "$preset" >"build/$preset.log" 2>&1 || { tail -n 40 "build/$preset.log"; exit 1; }
  cmake --build --preset "$preset" >>"build/$preset.log" 2>&1 || { tail -n 60 "build/$preset.log"; exit 1; }
done
echo "release build: build/win32/shell/Quorvix.exe, build/win32/uninstall/uninstall.exe"
echo "command-line tool: build/native/cli/qvx"

program="$PWD/build/win64/shell/Quorvix.exe"
if [ -n "${DISPLAY:-}" ]; then
  export WINEPREFIX="${WINEPREFIX:-$HOME/.cache/quorvix/wineprefix}"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  [ -d "$WINEPREFIX" ] || /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  # A virtual desktop named "shell" gets Wine's taskbar with the notification area.
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f >/dev/null 2>&1
  echo "starting Quorvix.exe on $DISPLAY (exit from its tray menu)"
  exec /usr/lib/wine/wine64 "$program" "$@"
fi
exec scripts/with-wine.sh scripts/run-headless.sh "$program" "$@"
