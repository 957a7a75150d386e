#!/usr/bin/env bash
# Other vCard programs on the other side of the Contacts folder (client_lib.sh FUNCTION), in a
# fresh folder that is also HOME. CTest sets TWINBOOK_CLIENT_SYNC and TWINBOOK_SETUP. khard reads
# Twinbook's properties as private objects, and fails on a card it cannot read.
set -euo pipefail
work="$(mktemp -d)" data="$work/Data" contacts="$work/Data/Contacts"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work" XDG_CONFIG_HOME="$work/.config" LC_ALL=C.UTF-8 PATH="/usr/bin:/bin:$PATH"
unset PYTHONPATH PYTHONHOME VIRTUAL_ENV
fail() { echo "FAIL: $*" >&2; tr -d '\r' <"$data/SyncLog.txt" >&2 2>/dev/null; exit 1; }
run() { timeout 120 "$@" >"$work/out" 2>&1 || fail "$* said: $(cat "$work/out")"; cat "$work/out"; }
sync() { run "$TWINBOOK_CLIENT_SYNC" "$data" >/dev/null; }
sql() { sqlite3 -batch -bail "$data/$1" "$2"; }
row() { sql PhoneBook.mdb "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType,
  SpeedDial, PhoneNumberLength) VALUES ($1, '${2//\'/\'\'}', '$3', $4, $5, 0)"; }
numbers() { sql PhoneBook.mdb "SELECT ContactName, NumberType, Number FROM tblContactList" | sort; }
expect() { [ "$2" = "$3" ] || fail "$1: expected"$'\n'"$2"$'\n'"-- got"$'\n'"$3"; }
run "$TWINBOOK_SETUP" --empty "$data" >/dev/null
mkdir -p "$XDG_CONFIG_HOME/khard" "$XDG_CONFIG_HOME/vdirsyncer"
printf '%s\n' "[addressbooks]" "[[twinbook]]" "path = $contacts" "[general]" "editor = /bin/false" \
  "merge_editor = /bin/false" "[vcard]" "preferred_version = 3.0" "skip_unparsable = no" \
  "private_objects = Twinbook-User1, Twinbook-User2, Twinbook-User3, Twinbook-User4" \
  >"$XDG_CONFIG_HOME/khard/khard.conf"
khard() { run /usr/bin/khard "$@"; }

# The cards Twinbook writes from the PhoneBook as khard lists them; a rename in khard reaches the PhoneBook.
khard_reads_cards() {
  row 1 "O'Brien, Zoë" 3125550142 4 1; row 1 "O'Brien, Zoë" 5550117 2 2
  row 1 "O'Brien, Zoë" zoe@example.org 10 3; row 2 "Brennan, Thomas" 13125550178 0 4
  row 2 "Brennan, Thomas" 442071234567 9 5; row 2 "Brennan, Thomas" "164*12*3456" 1 6
  sync
  expect "khard phone" "$(printf '%s\t%s\t%s\n' "(312) 555-0142" "Zoë O'Brien" CELL \
    "1 (312) 555-0178" "Thomas Brennan" "WORK, VOICE" 442071234567 "Thomas Brennan" VOICE \
    555-0117 "Zoë O'Brien" "HOME, VOICE")" "$(khard phone --parsable | sort)"
  khard show --format yaml -o "$work/zoe.yaml" "Zoë" >/dev/null
  sed -i -e "s/^Last name *:.*/Last name: Smith/" "$work/zoe.yaml"
  khard edit -i "$work/zoe.yaml" "Zoë" <<<y >/dev/null
  sync
  expect "Zoë's PhoneBook name" "Smith, Zoë" "$(sql PhoneBook.mdb "SELECT DISTINCT ContactName FROM tblContactList WHERE ContactID = 1")"
}

# Contacts made with khard in vCard 3.0 and 4.0 (tel: URIs) reach the PhoneBook when marked, keeping
# every line khard wrote; a PhoneBook change reaches khard.
khard_new_contact() {
  printf '%s\n' "First name : Zoë" "Last name : O'Brien" "Phone :" "  cell : +1 (555) 123-4567" \
    "  work : 555 234 5678" "  pager : 5550100" "Private :" "  Twinbook-User2 : YES" >"$work/zoe.yaml"
  printf '%s\n' "First name : Ana" "Last name : Núñez" "Phone :" "  cell : 555 222 3333" \
    "Email :" "  work : ana@example.org" "Private :" "  Twinbook-User2 : y" >"$work/ana.yaml"
  printf '%s\n' "First name : Not" "Last name : Marked" "Phone :" "  cell : 5559990000" >"$work/no.yaml"
  for card in zoe no; do khard new -a twinbook -i "$work/$card.yaml" >/dev/null; done
  khard new --vcard-version 4.0 -a twinbook -i "$work/ana.yaml" >/dev/null
  grep -q "^TEL;.*VALUE=uri.*:tel:" "$contacts"/*.vcf || fail "khard wrote no tel: URI"
  cat "$contacts"/*.vcf >"$work/by-khard"
  sync
  expect "the PhoneBook rows" "$(printf '%s\n' "Núñez, Ana|10|ana@example.org" "Núñez, Ana|4|5552223333" \
    "O'Brien, Zoë|3|5552345678" "O'Brien, Zoë|4|15551234567" "O'Brien, Zoë|6|5550100")" "$(numbers)"
  expect "the lines Twinbook added" "$(printf '%s\r\n' X-TWINBOOK-USER2:No X-TWINBOOK-USER3:1 \
    X-TWINBOOK-USER3:2 X-TWINBOOK-USER4:M:4\\,E:5 X-TWINBOOK-USER4:W1:3\\,M:1\\,P:2 | sort)" \
    "$(cat "$contacts"/*.vcf | grep -vxFf "$work/by-khard" | sort)"
  sql PhoneBook.mdb "UPDATE tblContactList SET Number = '5556667777' WHERE NumberType = 4 AND ContactID = 2"
  sync
  grep -q $'^VERSION:4.0\r$' "$(grep -l Núñez "$contacts"/*.vcf)" || fail "the 4.0 card is no longer 4.0"
  expect "Ana's numbers in khard" "$(printf '(555) 666-7777\tAna Núñez\tcell')" "$(khard phone --parsable Núñez)"
}

# vdirsyncer between the Contacts folder and Radicale on 127.0.0.1 carries cards, a deletion and
# changes both ways.
vdirsyncer_radicale() {
  port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
  store="$work/radicale" base="http://127.0.0.1:$port/tb/contacts/"
  printf '%s\n' "[server]" "hosts = 127.0.0.1:$port" "[auth]" "type = none" "[storage]" \
    "filesystem_folder = $store" "[web]" "type = none" >"$work/radicale.conf"
  timeout 300 /usr/bin/radicale --config "$work/radicale.conf" >"$work/radicale.log" 2>&1 &
  for _ in $(seq 100); do curl -s -o /dev/null "$base" && break; sleep 0.1; done
  dav() { run curl -sS --fail-with-body -u tb:x "$@"; }
  dav -X MKCOL --data-binary '<mkcol xmlns="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav"><set><prop>
    <resourcetype><collection/><C:addressbook/></resourcetype></prop></set></mkcol>' "$base" >/dev/null
  printf '%s\n' "[general]" "status_path = \"$work/status/\"" "[pair tb]" 'a = "folder"' 'b = "server"' \
    "collections = null" "[storage folder]" 'type = "filesystem"' "path = \"$contacts\"" 'fileext = ".vcf"' \
    "[storage server]" 'type = "carddav"' "url = \"$base\"" 'username = "tb"' 'password = "x"' \
    >"$XDG_CONFIG_HOME/vdirsyncer/config"
  server() { cat "$store"/collection-root/tb/contacts/*.vcf | tr -d '\r' | sed -nE "s/^$1(;[^:]*)?://p" | sort; }
  row 1 "O'Brien, Zoë" 3125550142 4 1; row 2 "Chen, Wei" 3125550129 4 2
  sync
  run vdirsyncer discover >/dev/null
  run vdirsyncer sync >/dev/null
  expect "the server's names" "$(printf '%s\n' "Wei Chen" "Zoë O'Brien")" "$(server FN)"
  printf '%s\r\n' BEGIN:VCARD VERSION:3.0 UID:claire FN:Claire N:Dubois\;Claire\;\;\; \
    "TEL;TYPE=CELL:+33 6 12 34 56 78" X-TWINBOOK-USER2:Y END:VCARD >"$work/claire.vcf"
  dav -X PUT -H 'If-None-Match: *' --data-binary "@$work/claire.vcf" "${base}claire.vcf" >/dev/null
  dav -X DELETE "$base$(grep -l "FN:Wei Chen" "$store"/collection-root/tb/contacts/*.vcf | xargs basename)" >/dev/null
  run vdirsyncer sync >/dev/null
  sync
  expect "the PhoneBook rows" "$(printf '%s\n' "Dubois, Claire|4|33612345678" "O'Brien, Zoë|4|3125550142")" "$(numbers)"
  sql PhoneBook.mdb "UPDATE tblContactList SET Number = '3125550177' WHERE ContactID = 1"
  sync
  run vdirsyncer sync >/dev/null
  expect "the server's numbers" "$(printf '%s\n' "(312) 555-0177" "+33 6 12 34 56 78")" "$(server TEL)"
}

"$1"
