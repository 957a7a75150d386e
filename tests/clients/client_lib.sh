#!/usr/bin/env bash
# Other vCard programs on the other side of the Contacts folder, one function
# each (client_lib.sh FUNCTION), in a fresh folder that is also HOME so that no
# client touches the user's own files. CTest sets TWINBOOK_CLIENT_SYNC and _SETUP.
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
for p in khard vdirsyncer radicale sqlite3 curl; do command -v $p >/dev/null || fail "no $p: see scripts/install-deps"; done
run "$TWINBOOK_SETUP" --empty "$data" >/dev/null
mkdir -p "$XDG_CONFIG_HOME/khard" "$XDG_CONFIG_HOME/vdirsyncer"
# Twinbook's properties as khard's private objects; a card khard cannot read fails.
printf '%s\n' "[addressbooks]" "[[twinbook]]" "path = $contacts" "[general]" "editor = /bin/false" \
  "merge_editor = /bin/false" "[vcard]" "preferred_version = 3.0" "skip_unparsable = no" \
  "private_objects = Twinbook-User1, Twinbook-User2, Twinbook-User3, Twinbook-User4" \
  >"$XDG_CONFIG_HOME/khard/khard.conf"
khard() { run /usr/bin/khard "$@"; }

# The cards Twinbook writes from the PhoneBook as khard lists them: names,
# numbers as formatted under their kinds, addresses, Twinbook's properties; a
# rename in khard reaches the PhoneBook.
khard_reads_cards() {
  row 1 "O'Brien, Zoë" 3125550142 4 1; row 1 "O'Brien, Zoë" 5550117 2 2
  row 1 "O'Brien, Zoë" zoe@example.org 10 3; row 2 "Brennan, Thomas" 13125550178 0 4
  row 2 "Brennan, Thomas" 442071234567 9 5; row 2 "Brennan, Thomas" "164*12*3456" 1 6
  sync
  expect "khard phone" "$(printf '%s\t%s\t%s\n' "(312) 555-0142" "Zoë O'Brien" CELL \
    "1 (312) 555-0178" "Thomas Brennan" "WORK, VOICE" 442071234567 "Thomas Brennan" VOICE \
    555-0117 "Zoë O'Brien" "HOME, VOICE")" "$(khard phone --parsable | sort)"
  expect "khard email" "$(printf 'zoe@example.org\tZoë O'"'"'Brien\tINTERNET')" \
    "$(khard email --parsable | grep $'\t')"
  expect "khard show" "$(printf '%s\n' "First name: Thomas" "Last name: Brennan" \
    "Twinbook-User1: 164*12*3456" "Twinbook-User2: YES" "Twinbook-User3: '2'" \
    "Twinbook-User4: W2:4,DC:6,O:5")" "$(khard show --format yaml Brennan |
    grep -E '^ *(First|Last) name|Twinbook' | sed -E 's/^ +//; s/ +:/:/')"
  khard show --format yaml -o "$work/zoe.yaml" "Zoë" >/dev/null
  sed -i -e "s/^Last name *:.*/Last name: Smith/" "$work/zoe.yaml"
  khard edit -i "$work/zoe.yaml" "Zoë" <<<y >/dev/null
  sync
  expect "Zoë's PhoneBook name" "Smith, Zoë" "$(sql PhoneBook.mdb "SELECT DISTINCT ContactName
    FROM tblContactList WHERE ContactID = 1")"
}

# Contacts made with khard, in vCard 3.0 and 4.0 (numbers as tel: URIs),
# reach the PhoneBook under their kinds when marked; the card keeps every line
# khard wrote; a second run changes nothing; a PhoneBook change reaches khard.
khard_new_contact() {
  printf '%s\n' "First name : Zoë" "Last name : O'Brien" "Phone :" "  cell : +1 (555) 123-4567" \
    "  work : 555 234 5678" "  pager : 5550100" "Private :" "  Twinbook-User2 : YES" >"$work/zoe.yaml"
  printf '%s\n' "First name : Ana" "Last name : Núñez" "Phone :" "  cell : 555 222 3333" \
    "Email :" "  work : ana@example.org" "Private :" "  Twinbook-User2 : y" >"$work/ana.yaml"
  printf '%s\n' "First name : Not" "Last name : Marked" "Phone :" "  cell : 5559990000" >"$work/no.yaml"
  khard new -a twinbook -i "$work/zoe.yaml" >/dev/null
  khard new -a twinbook -i "$work/no.yaml" >/dev/null
  khard new --vcard-version 4.0 -a twinbook -i "$work/ana.yaml" >/dev/null
  grep -q "^TEL;.*VALUE=uri.*:tel:" "$contacts"/*.vcf || fail "khard wrote no tel: URI"
  cat "$contacts"/*.vcf >"$work/by-khard"
  sync
  expect "the PhoneBook rows" "$(printf '%s\n' "Núñez, Ana|10|ana@example.org" "Núñez, Ana|4|5552223333" \
    "O'Brien, Zoë|3|5552345678" "O'Brien, Zoë|4|15551234567" "O'Brien, Zoë|6|5550100")" "$(numbers)"
  expect "the lines Twinbook added" "$(printf '%s\r\n' X-TWINBOOK-USER2:No X-TWINBOOK-USER3:1 \
    X-TWINBOOK-USER3:2 X-TWINBOOK-USER4:M:4\\,E:5 X-TWINBOOK-USER4:W1:3\\,M:1\\,P:2 | sort)" \
    "$(cat "$contacts"/*.vcf | grep -vxFf "$work/by-khard" | sort)"
  before="$(cat "$contacts"/*.vcf "$data/PhoneBook.mdb" | md5sum)"
  sync
  expect "a second run" "$before" "$(cat "$contacts"/*.vcf "$data/PhoneBook.mdb" | md5sum)"
  sql PhoneBook.mdb "UPDATE tblContactList SET Number = '5556667777' WHERE NumberType = 4 AND ContactID = 2"
  sync
  grep -q $'^VERSION:4.0\r$' "$(grep -l Núñez "$contacts"/*.vcf)" || fail "the 4.0 card is no longer 4.0"
  expect "Ana's numbers in khard" "$(printf '(555) 666-7777\tAna Núñez\tcell')" "$(khard phone --parsable Núñez)"
}

# vdirsyncer between the Contacts folder and Radicale on 127.0.0.1 carries
# changes both ways: Twinbook's cards reach the server, a card put on the
# server and a deletion there reach the PhoneBook, a PhoneBook change reaches
# the server, and once in step nothing changes.
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
  expect "the PhoneBook rows" "$(printf '%s\n' "Dubois, Claire|4|33612345678" \
    "O'Brien, Zoë|4|3125550142")" "$(numbers)"
  sql PhoneBook.mdb "UPDATE tblContactList SET Number = '3125550177' WHERE ContactID = 1"
  sync
  run vdirsyncer sync >/dev/null
  expect "the server's numbers" "$(printf '%s\n' "(312) 555-0177" "+33 6 12 34 56 78")" "$(server TEL)"
  before="$(cat "$contacts"/*.vcf "$store"/collection-root/tb/contacts/*.vcf)"
  sync
  run vdirsyncer sync >/dev/null
  expect "once in step" "$before" "$(cat "$contacts"/*.vcf "$store"/collection-root/tb/contacts/*.vcf)"
}

"$1"
echo "$1: passed"
