#!/usr/bin/env bash
# qvx storage end to end: every action over real account files, and the exit
# codes scripts rely on. Usage: storage_cli_test.sh [runner...] <qvx>
set -uo pipefail
qvx=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

check() {  # check <expected exit code> <description> <qvx arguments...>
  local expected=$1 what=$2; shift 2
  "${qvx[@]}" "$@" >out.txt 2>err.txt
  local code=$?
  if [ "$code" != "$expected" ]; then
    echo "FAIL: $what: exit $code, expected $expected"; cat err.txt out.txt; failures=$((failures + 1))
  fi
}

expect_output() {  # expect_output <description> <expected stdout>
  local actual
  actual=$(tr -d '\r' <out.txt)
  if [ "$actual" != "$2" ]; then
    echo "FAIL: $1: got"; echo "$actual"; echo "expected"; echo "$2"; failures=$((failures + 1))
  fi
}

mkdir store
printf 'account pw\n' >pw
printf 'other pw\n' >pw2
printf 'wrong\n' >bad
printf 'rec pw\n' >rec
printf '%064d\n' 0 >long
printf '%063d\n' 0 >max
A=(--store store --account alice --password-file pw)

check 6 "list without an account" storage list "${A[@]}"
check 2 "create with a device name" storage create --store store --account CON --password-file pw
check 2 "create with a path in the name" storage create --store store --account ../x --password-file pw
check 0 "create" storage create "${A[@]}"
check 1 "create again" storage create "${A[@]}"
[ "$(stat -c %s store/alice.qvxp)" = 36 ] || { echo "FAIL: new account file is not 36 bytes"; failures=$((failures + 1)); }

check 0 "add" storage add "${A[@]}" --owner Bank --note "tab	here" --record-password-file rec
RECORD_ENV='env pw' check 0 "add from env" storage add "${A[@]}" --owner Mail --record-password-env RECORD_ENV
check 0 "add 63 characters" storage add "${A[@]}" --owner Max --record-password-file max
check 2 "add 64 characters" storage add "${A[@]}" --owner Long --record-password-file long
check 2 "add without owner" storage add "${A[@]}" --record-password-file rec
[ "$(stat -c %s store/alice.qvxp)" = $((36 + 3 * 484)) ] || { echo "FAIL: file size after 3 records"; failures=$((failures + 1)); }

check 3 "wrong password" storage list --store store --account alice --password-file bad
check 0 "list" storage list "${A[@]}"
cut -f1,2,3,5 out.txt >cols.txt && mv cols.txt out.txt
expect_output "list" "$(printf '1\tBank\t******\ttab\\there\n2\tMail\t******\t\n3\tMax\t%s\t' "$(printf '%063d' 0 | tr 0 '*')")"
check 0 "list shown, sorted, filtered" storage list "${A[@]}" --show-passwords --sort owner --owner-filter 'm*'
cut -f1,2,3 out.txt >cols.txt && mv cols.txt out.txt
expect_output "filtered list" "$(printf '2\tMail\tenv pw\n3\tMax\t%063d' 0)"
# The list goes to a file first: a reader that stops early would leave qvx
# running beside the next command.
check 0 "list with times" storage list "${A[@]}"
grep -Eq '^1	Bank	[*]+	[0-9]{2}\.[0-9]{2}\.[0-9]{4}  [0-9]{2}:[0-9]{2}:[0-9]{2}	' out.txt \
  || { echo "FAIL: creation time column"; failures=$((failures + 1)); }

check 0 "show by owner" storage show "${A[@]}" --owner Bank --password-only
expect_output "show" "rec pw"
check 6 "show a missing owner" storage show "${A[@]}" --owner Nobody
check 6 "show a missing index" storage show "${A[@]}" --index 9
check 2 "show without a record" storage show "${A[@]}"

QVX_STORE=store check 0 "QVX_STORE names the folder" storage show --account alice --password-file pw --index 2 --password-only
expect_output "show from QVX_STORE" "env pw"

check 0 "change the account password" storage passwd "${A[@]}" --new-password-file pw2
check 3 "old password" storage list "${A[@]}"
B=(--store store --account alice --password-file pw2)
check 0 "remove the first" storage remove "${B[@]}" --index 1
check 0 "list after removing" storage list "${B[@]}" --show-passwords
cut -f1,2,3 out.txt >cols.txt && mv cols.txt out.txt
expect_output "after removing" "$(printf '1\tMail\tenv pw\n2\tMax\t%063d' 0)"

# A damaged record: reported, and the file is not written.
python3 - store/alice.qvxp <<'EOF'
import sys
p = sys.argv[1]
d = bytearray(open(p, 'rb').read())
d[36 + 20] ^= 1
open(p, 'wb').write(d)
EOF
before=$(sha256sum store/alice.qvxp)
check 4 "list a damaged file" storage list "${B[@]}"
check 4 "add to a damaged file" storage add "${B[@]}" --owner X --record-password-file rec
[ "$(sha256sum store/alice.qvxp)" = "$before" ] || { echo "FAIL: damaged file was rewritten"; failures=$((failures + 1)); }
head -c 20 pw >store/short.qvxp
check 4 "a file shorter than its header" storage list --store store --account short --password-file pw

# Two qvx processes adding to one account at the same time: each holds the
# account's lock from reading the file to replacing it, so no record is lost.
C=(--store store --account carol --password-file pw)
check 0 "create for the concurrent writers" storage create "${C[@]}"
writer() {  # writer <name>: adds 8 records, counts the failures in writer-<name>.fail
  local i fails=0
  for i in 1 2 3 4 5 6 7 8; do
    "${qvx[@]}" storage add "${C[@]}" --owner "$1-$i" --record-password-file rec >/dev/null 2>>"writer-$1.err" ||
      { fails=$((fails + 1)); echo "(that was $1-$i)" >>"writer-$1.err"; }
  done
  echo "$fails" >"writer-$1.fail"
}
writer one & writer two & wait
check 0 "list after the concurrent writers" storage list "${C[@]}"
count=$(tr -d '\r' <out.txt | grep -c -e '	one-' -e '	two-')
if [ "$count" != 16 ] || [ "$(cat writer-one.fail writer-two.fail)" != "$(printf '0\n0')" ]; then
  echo "FAIL: concurrent writers: $count of 16 records kept, failures $(cat writer-one.fail writer-two.fail | tr '\n' ' ')"
  cat out.txt writer-one.err writer-two.err; failures=$((failures + 1))
fi
[ -e store/carol.qvxp.lock ] && { echo "FAIL: a lock file was left behind"; failures=$((failures + 1)); }

[ "$failures" = 0 ] && echo "all storage command checks passed"
exit "$((failures > 0))"
