#!/usr/bin/env bash
# Static check of the i686 release: the programs are 32-bit PE (pei-i386),
# Windows GUI subsystem, with imports limited to system DLLs (no MinGW, C++
# runtime or OpenSSL DLLs; uninstall.exe not even OpenSSL's system DLLs); the
# distribution zip holds exactly the four files, its programs pass the same
# checks, and its help file holds every page.
# Usage: scripts/check-release.sh <win32 build folder>
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
check_programs() {  # $1 = folder with Quorvix.exe and uninstall.exe
  check "$1/Quorvix.exe" "$system WS2_32.DLL CRYPT32.DLL BCRYPT.DLL"
  check "$1/uninstall.exe" "$system"
}
check "$build/shell/Quorvix.exe" "$system WS2_32.DLL CRYPT32.DLL BCRYPT.DLL"
check "$build/uninstall/uninstall.exe" "$system"

# The distribution zip.
zips=("$build"/Quorvix-*-win32.zip)
if [ "${#zips[@]}" != 1 ] || [ ! -f "${zips[0]}" ]; then
  echo "check-release: expected one Quorvix-<version>-win32.zip in $build"
  exit 1
fi
zip=${zips[0]}
listed=$(7zz l -slt "$zip" | sed -n 's/^Path = //p' | grep -vxF "$zip" | sort | tr '\n' '|')
expected="License.txt|QVX Help.chm|Quorvix.exe|uninstall.exe|"
if [ "$listed" != "$expected" ]; then
  echo "check-release: $(basename "$zip") lists ${listed//|/, } instead of the four files"
  status=1
fi
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
7zz x -y -o"$unpacked" "$zip" >/dev/null
echo "$(basename "$zip"):"
check_programs "$unpacked"
cmp -s "$unpacked/Quorvix.exe" "$build/shell/Quorvix.exe" ||
  { echo "check-release: the zip's Quorvix.exe is not the one just built"; status=1; }
"$(dirname "$0")/check-help.sh" "$unpacked/QVX Help.chm" || status=1
grep -q $'\r$' "$unpacked/License.txt" || { echo "check-release: License.txt lacks CR LF"; status=1; }
exit $status
