#!/usr/bin/env bash
# The package made by scripts/package, checked by lintian, installed, started
# twice by a throwaway user under Xvfb: the first start makes the user's data
# folder and nothing under /usr; in the second, Alt+M S synchronizes a card
# into the user's PhoneBook. Only with TWINBOOK_SYSTEM_TESTS=1, as root or
# with sudo, and no twinbook package installed (else 77: skipped). The trap
# removes the user and the package whatever happens.
set -euo pipefail
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
installed() { dpkg-query -W -f='${Status}' twinbook 2>/dev/null | grep -q "ok installed"; }
[ "${TWINBOOK_SYSTEM_TESTS:-0}" = 1 ] || skip "TWINBOOK_SYSTEM_TESTS=1 installs and uses the package"
! installed || skip "a twinbook package is installed already"
su=(sudo -n)
[ "$(id -u)" -ne 0 ] || su=()
"${su[@]}" true || skip "needs root or sudo without a password"

work="$(mktemp -d)" user="twinbook-test-$$" pids=()
cleanup() {
  for pid in "${pids[@]}"; do "${su[@]}" kill "$pid" 2>/dev/null || true; done
  ! id "$user" >/dev/null 2>&1 || "${su[@]}" userdel -r "$user" 2>/dev/null || true
  ! installed || "${su[@]}" apt-get remove -y -qq twinbook >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"  # apt and the user read from it

"$1/scripts/package" "$work" >/dev/null
deb="$(echo "$work"/twinbook_*_amd64.deb)"
lintian --fail-on error "$deb" || fail "lintian reports errors in $deb"
"${su[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
[ "$(readlink -f /usr/bin/twinbook)" = /usr/lib/twinbook/twinbook ] || fail "no /usr/bin/twinbook"
[ ! -e /usr/lib/twinbook/Data ] || fail "the package has a Data folder"

"${su[@]}" useradd --create-home "$user"
home="$(getent passwd "$user" | cut -d: -f6)"
data="$home/.local/share/Twinbook"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -ac 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
as_user() {  # with no XDG variables, as a fresh login has them
  "${su[@]}" runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin DISPLAY="$DISPLAY" "$@"
}
start() {
  as_user /usr/bin/twinbook >>"$work/twinbook.log" 2>&1 &
  pids+=($!)
  main="$(timeout 30 xdotool search --sync --onlyvisible --name '^Twinbook - ' | head -n1)"
  [ -n "$main" ] || fail "no main window: $(cat "$work/twinbook.log")"
}
quit() {
  xdotool windowfocus --sync "$main" key alt+m q
  timeout 10 tail --pid="${pids[-1]}" -f /dev/null || fail "Main > Quit did not end Twinbook"
}

ls -lR /usr/lib/twinbook >"$work/program-before"
start
[ -f "$data/PhoneBook.mdb" ] && [ -f "$data/Twinbook.mdb" ] && [ -d "$data/Contacts" ] ||
  fail "the first start made no data folder $data"
quit
[ -z "$(find /usr -xdev -user "$user" -print -quit)" ] || fail "the program wrote under /usr"
ls -lR /usr/lib/twinbook | diff "$work/program-before" - || fail "the program folder changed"

printf '%s\r\n' BEGIN:VCARD VERSION:3.0 UID:ann "FN:Ann Doe" "N:Doe;Ann;;;" \
  "TEL;TYPE=CELL:5550101" X-TWINBOOK-USER2:YES END:VCARD >"$work/ann.vcf"
chmod 644 "$work/ann.vcf"
as_user cp "$work/ann.vcf" "$data/Contacts/"
start
xdotool windowfocus --sync "$main" key alt+m s
rows() {  # read as the user, so that any file SQLite adds stays the user's
  as_user sqlite3 "$data/PhoneBook.mdb" "SELECT count(*) FROM tblContactList WHERE ContactName LIKE '%Ann%'"
}
for _ in $(seq 120); do [ "$(rows 2>/dev/null)" -gt 0 ] 2>/dev/null && break; sleep 0.5; done
[ "$(rows)" -gt 0 ] || fail "the contact did not reach the PhoneBook: $(cat "$data/SyncLog.txt")"
quit
"${su[@]}" apt-get remove -y -qq twinbook >/dev/null
[ ! -e /usr/lib/twinbook ] || fail "removing the package left /usr/lib/twinbook"
echo "package ok"
