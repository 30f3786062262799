#!/usr/bin/env bash
# Static check of the i686 release programs: 32-bit PE (pei-i386), Windows GUI
# subsystem, and imports limited to system DLLs (no MinGW, C++ runtime or
# OpenSSL DLLs). Usage: scripts/check-release.sh <win32 build folder>
set -euo pipefail
build=${1:-build/win32}
objdump=i686-w64-mingw32-objdump
status=0

check() {  # $1 = program, $2 = allowed DLLs (upper case, space separated)
  local exe=$1 allowed=" $2 "
  if [ ! -f "$exe" ]; then echo "check-release: missing $exe"; status=1; return; fi
  local format subsystem
  format=$($objdump -f "$exe" | sed -n 's/.*file format //p')
  subsystem=$($objdump -p "$exe" | awk '/^Subsystem/ {print $2}')
  local line="$(basename "$exe"): $format"
  [ "$format" = pei-i386 ] || { echo "check-release: $exe is $format, not pei-i386"; status=1; }
  [ "$subsystem" = 00000002 ] || { echo "check-release: $exe is not a GUI program"; status=1; }
  local dll imports=""
  for dll in $($objdump -p "$exe" | awk '/DLL Name:/ {print toupper($3)}'); do
    imports+="$dll "
    case "$allowed" in
      *" $dll "*) ;;
      *) echo "check-release: $(basename "$exe") imports unexpected $dll"; status=1 ;;
    esac
  done
  echo "$line, GUI, imports: $imports"
}

system="KERNEL32.DLL USER32.DLL GDI32.DLL COMCTL32.DLL COMDLG32.DLL SHELL32.DLL OLE32.DLL ADVAPI32.DLL MSVCRT.DLL"
check "$build/shell/Quorvix.exe" "$system WS2_32.DLL CRYPT32.DLL BCRYPT.DLL"
check "$build/uninstall/uninstall.exe" "$system"
exit $status
