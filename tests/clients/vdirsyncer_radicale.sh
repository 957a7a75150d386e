#!/usr/bin/env bash
# Twinbook's contacts folder kept in step with a CardDAV server (Radicale on
# 127.0.0.1) by vdirsyncer: the cards Twinbook writes reach the server;
# changes, new contacts and deletions made on the server reach the PhoneBook
# database; changes and deletions made in the PhoneBook database reach the
# server; and once everything is in step, neither side changes anything.
# shellcheck source=tests/clients/client_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/client_lib.sh"
need vdirsyncer radicale sqlite3 curl

user=twinbook password=secret

step "Radicale on 127.0.0.1"
mkdir -p "$work/radicale"
printf '%s:%s\n' "$user" "$password" >"$work/radicale/users"
free_port() {
  /usr/bin/python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}
# The port is free when asked but another program may take it before
# Radicale does: then Radicale ends at once, and another port is tried.
radicale_pid=""
stop_radicale() {
  if [ -n "$radicale_pid" ]; then
    kill "$radicale_pid" 2>/dev/null || true
    wait "$radicale_pid" 2>/dev/null || true
    radicale_pid=""
  fi
}
exit_steps+=(stop_radicale)
for _ in 1 2 3; do
  port="$(free_port)"
  cat >"$work/radicale/config" <<EOF
[server]
hosts = 127.0.0.1:$port
[auth]
type = htpasswd
htpasswd_filename = $work/radicale/users
htpasswd_encryption = plain
[rights]
type = owner_only
[storage]
filesystem_folder = $work/radicale/collections
[web]
type = none
[logging]
level = info
mask_passwords = True
EOF
  # Limited to the test's own time, so that it cannot outlive a killed test.
  timeout 300 /usr/bin/radicale --config "$work/radicale/config" >"$work/radicale/log" 2>&1 &
  radicale_pid=$!
  for _ in $(seq 1 100); do
    if curl -s -o /dev/null --max-time 2 "http://127.0.0.1:$port/"; then
      break 2
    fi
    kill -0 "$radicale_pid" 2>/dev/null || break
    sleep 0.1
  done
  stop_radicale
done
[ -n "$radicale_pid" ] || { cat "$work/radicale/log" >&2; fail "Radicale did not start"; }
base="http://127.0.0.1:$port"
book="/$user/contacts/"

diagnose_more() {
  echo "-- Radicale's log"
  tail -n 40 "$work/radicale/log"
  echo "-- the server's address book"
  curl -s --max-time 10 -u "$user:$password" "$base$book" | tr -d '\r'
}

# curl against the server, failing the test on an HTTP error.
dav() {
  run 30 curl -sS --fail-with-body --max-time 20 -u "$user:$password" "$@"
}

step "an address book on the server"
dav -X MKCOL -H 'Content-Type: application/xml; charset=utf-8' --data-binary @- "$base$book" \
  >/dev/null <<'EOF'
<?xml version="1.0" encoding="utf-8"?>
<D:mkcol xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav">
  <D:set><D:prop>
    <D:resourcetype><D:collection/><C:addressbook/></D:resourcetype>
    <D:displayname>Twinbook</D:displayname>
  </D:prop></D:set>
</D:mkcol>
EOF

# The address book's cards as their hrefs, one a line.
server_hrefs() {
  local listing
  listing="$(dav -X PROPFIND -H 'Depth: 1' "$base$book")"
  grep -o '<href>[^<]*\.vcf</href>' <<<"$listing" | sed -e 's|<href>||' -e 's|</href>||' | sort
}
# The href of the one card on the server with a line matching REGEX.
server_href_with() {
  local href card found=""
  for href in $(server_hrefs); do
    card="$(dav "$base$href")"
    if grep -qE "$1" <<<"$card"; then
      [ -z "$found" ] || fail "more than one card on the server matches $1"
      found="$href"
    fi
  done
  [ -n "$found" ] || fail "no card on the server has a line matching $1"
  echo "$found"
}
# The values of one property of every card on the server, sorted: what a
# CardDAV client sees, whatever order or folding the server keeps.
server_values() {
  local href
  for href in $(server_hrefs); do
    dav "$base$href" | tr -d '\r' | sed -e ':a' -e '$!N' -e 's/\n //' -e 'ta' -e 'P' -e 'D' |
      sed -nE "s/^$1(;[^:]*)?://p"
  done | LC_ALL=C sort
}

step "vdirsyncer between the contacts folder and the server"
mkdir -p "$XDG_CONFIG_HOME/vdirsyncer"
cat >"$XDG_CONFIG_HOME/vdirsyncer/config" <<EOF
[general]
status_path = "$work/vdirsyncer-status/"

# One collection on each side: the folder itself and the address book.
# Without a conflict_resolution, a conflict fails the sync, and the test.
[pair twinbook]
a = "contacts_folder"
b = "server"
collections = null

[storage contacts_folder]
type = "filesystem"
path = "$contacts"
fileext = ".vcf"

[storage server]
type = "carddav"
url = "$base$book"
username = "$user"
password = "$password"
EOF
vdirsyncer_sync() {
  run 120 /usr/bin/vdirsyncer sync >/dev/null
}

step "Twinbook's first run writes the PhoneBook's contacts as cards"
make_data
phonebook_row 1 "O'Brien, Zoë" 3125550142 4 1
phonebook_row 1 "O'Brien, Zoë" zoe.obrien@example.org 10 2
phonebook_row 2 "Brennan, Thomas" 3125550163 3 3
phonebook_row 2 "Brennan, Thomas" 5550117 2 4
phonebook_row 3 "Chen, Wei" 3125550129 4 5
twinbook_sync
run 60 /usr/bin/vdirsyncer discover >/dev/null
vdirsyncer_sync
expect_lines "the names on the server" "$(printf '%s\n' "Thomas Brennan" "Wei Chen" \
  "Zoë O'Brien")" "$(server_values FN)"
expect_lines "the numbers on the server" "$(printf '%s\n' "(312) 555-0129" "(312) 555-0142" \
  "(312) 555-0163" "555-0117")" "$(server_values TEL)"
expect_lines "the addresses on the server" "zoe.obrien@example.org" "$(server_values EMAIL)"

step "changes made on the server reach the PhoneBook"
# Another client of the server changes Zoë's mobile number and gives her a
# home number, as a CardDAV client does: fetch, edit, store with If-Match.
href="$(server_href_with "^FN:Zoë O'Brien")"
etag="$(dav -o "$work/zoe.vcf" -w '%header{etag}' "$base$href")"
sed -i -e 's/(312) 555-0142/+1 312 555 0199/' \
  -e 's/^END:VCARD/TEL;TYPE=HOME:555-0188\r\nEND:VCARD/' "$work/zoe.vcf"
dav -X PUT -H "If-Match: $etag" -H 'Content-Type: text/vcard; charset=utf-8' \
  --data-binary "@$work/zoe.vcf" "$base$href" >/dev/null
# A new contact, marked for synchronisation, written by another client.
cat >"$work/new.vcf" <<'EOF'
BEGIN:VCARD
VERSION:3.0
UID:6f1c2b9e-from-the-server
FN:Dubois Claire
N:Dubois;Claire;;;
TEL;TYPE=CELL:+33 6 12 34 56 78
EMAIL;TYPE=INTERNET,HOME:claire@example.fr
X-TWINBOOK-USER2:Y
END:VCARD
EOF
dav -X PUT -H 'If-None-Match: *' -H 'Content-Type: text/vcard; charset=utf-8' \
  --data-binary "@$work/new.vcf" "$base${book}claire.vcf" >/dev/null
vdirsyncer_sync
twinbook_sync
expect_lines "the PhoneBook rows" "$(printf '%s\n' \
  "Brennan, Thomas|2|5550117" \
  "Brennan, Thomas|3|3125550163" \
  "Chen, Wei|4|3125550129" \
  "Dubois, Claire|10|claire@example.fr" \
  "Dubois, Claire|4|33612345678" \
  "O'Brien, Zoë|10|zoe.obrien@example.org" \
  "O'Brien, Zoë|2|5550188" \
  "O'Brien, Zoë|4|13125550199")" "$(phonebook_numbers)"

step "changes made in the PhoneBook reach the server"
sql PhoneBook.mdb "UPDATE tblContactList SET Number = '3125550177' WHERE ContactID = 2 AND NumberType = 3"
sql PhoneBook.mdb "UPDATE tblContactList SET Number = '3125550130' WHERE ContactID = 3 AND NumberType = 4"
twinbook_sync
vdirsyncer_sync
expect_lines "the numbers on the server" "$(printf '%s\n' "(312) 555-0130" "(312) 555-0177" \
  "+1 312 555 0199" "+33 6 12 34 56 78" "555-0117" "555-0188")" "$(server_values TEL)"
# Twinbook gave the server's new contact its contact ID and speed dials.
claire="$(dav "$base${book}claire.vcf")"
grep -q '^X-TWINBOOK-USER3:[0-9]' <<<"$claire" || fail "no contact ID on the server: $claire"
grep -q '^X-TWINBOOK-USER4:M:[0-9]' <<<"$claire" || fail "no speed dials on the server: $claire"

step "once in step, nothing changes"
snapshot() {
  echo "$(cat "$contacts"/*.vcf | md5sum) $(phonebook_numbers | md5sum)"
  dav -X PROPFIND -H 'Depth: 1' "$base$book" | grep -o '<getetag>[^<]*</getetag>' | sort
}
vdirsyncer_sync
twinbook_sync
before="$(snapshot)"
vdirsyncer_sync
twinbook_sync
vdirsyncer_sync
[ "$before" = "$(snapshot)" ] || fail "runs and syncs without changes changed something"

step "deletions on either side"
# Chen removed from the server, Brennan from the PhoneBook.
href="$(server_href_with "^FN:Wei Chen")"
dav -X DELETE "$base$href" >/dev/null
vdirsyncer_sync
twinbook_sync
sql PhoneBook.mdb "DELETE FROM tblContactList WHERE ContactID = 2"
twinbook_sync
vdirsyncer_sync
names="$(sql PhoneBook.mdb "SELECT DISTINCT ContactName FROM tblContactList" | LC_ALL=C sort)"
expect_lines "the PhoneBook's contacts" "$(printf '%s\n' "Dubois, Claire" "O'Brien, Zoë")" "$names"
expect_lines "the names on the server" "$(printf '%s\n' "Dubois Claire" "Zoë O'Brien")" \
  "$(server_values FN)"
# Twinbook keeps the card it deleted where it can be taken back by hand.
grep -qs "^FN:Thomas Brennan" "$contacts"/.deleted/*.vcf || fail "Brennan's card is not in .deleted"
echo "vdirsyncer keeps Twinbook's contacts and the server in step"
