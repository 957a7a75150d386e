#!/usr/bin/env bash
# A contact made with khard reaches the PhoneBook in the next run, with
# every number under its kind; the card keeps what khard wrote; a change made
# with khard's editor reaches the PhoneBook too. A contact not marked for
# synchronisation stays out of the PhoneBook and is still read by khard.
# A vCard 4.0 contact from khard (numbers as tel: URIs) goes both ways.
# shellcheck source=tests/clients/client_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/client_lib.sh"
need khard sqlite3

make_data
write_khard_config

step "khard new"
# Twinbook takes a contact when its X-TWINBOOK-USER2 holds Y or YES. khard
# writes a private object "Twinbook-User2" (named in its configuration) as
# exactly that property, so the user marks the contact in khard itself.
cat >"$work/zoe.yaml" <<'EOF'
Formatted name : Zoë O'Brien
First name : Zoë
Last name : O'Brien
Phone :
    cell : +1 (555) 123-4567
    work : 555 234 5678
    home : 555.345.6789
    fax : 555-456-7890
    pager : 5550100
Email :
    internet : zoe.obrien@example.org
Private :
    Twinbook-User2 : YES
EOF
cat >"$work/other.yaml" <<'EOF'
Formatted name : Not Synchronised
First name : Not
Last name : Synchronised
Phone :
    cell : 555 999 0000
EOF
khard new -a twinbook -i "$work/zoe.yaml" >/dev/null
khard new -a twinbook -i "$work/other.yaml" >/dev/null
zoe="$(card_with "^N:O'Brien;")"
other="$(card_with "^N:Synchronised;")"
cp "$zoe" "$work/zoe-by-khard.vcf"

step "Twinbook's run takes it into the PhoneBook"
twinbook_sync
expect_lines "the PhoneBook rows" "$(printf '%s\n' \
  "O'Brien, Zoë|10|zoe.obrien@example.org" \
  "O'Brien, Zoë|2|5553456789" \
  "O'Brien, Zoë|3|5552345678" \
  "O'Brien, Zoë|4|15551234567" \
  "O'Brien, Zoë|5|5554567890" \
  "O'Brien, Zoë|6|5550100")" "$(phonebook_numbers)"
ids="$(sql PhoneBook.mdb "SELECT DISTINCT ContactID FROM tblContactList")"
[ "$ids" = 1 ] || fail "one contact ID expected, found: $ids"
speeds="$(sql PhoneBook.mdb "SELECT group_concat(SpeedDial) FROM (SELECT SpeedDial FROM tblContactList ORDER BY SpeedDial)")"
[ "$speeds" = "1,2,3,4,5,6" ] || fail "each number needs its own speed dial: $speeds"

step "the card keeps what khard wrote"
# Twinbook only added its contact ID and speed dials: every line khard wrote
# is still there, byte for byte, and the file kept its name.
[ -f "$zoe" ] || fail "the card $zoe is gone"
while IFS= read -r line; do
  grep -qxF -- "$line" "$zoe" || fail "Twinbook lost the line ${line%$'\r'} of $zoe"
done <"$work/zoe-by-khard.vcf"
# The speed dials as the card's tag text, in the order of its kinds.
tags=""
for kind in 0:W2 1:DC 2:H 3:W1 4:M 5:F 6:P 9:O 10:E; do
  speed="$(sql PhoneBook.mdb "SELECT SpeedDial FROM tblContactList WHERE NumberType = ${kind%%:*}")"
  [ -z "$speed" ] || tags="$tags${tags:+\\,}${kind#*:}:$speed"
done
added="$(grep -vxFf "$work/zoe-by-khard.vcf" "$zoe" | tr -d '\r' | LC_ALL=C sort)"
expect_lines "the lines Twinbook added" "$(printf '%s\n' "X-TWINBOOK-USER3:1" \
  "X-TWINBOOK-USER4:$tags")" "$added"
grep -qx $'X-TWINBOOK-USER2:No\r' "$other" || fail "the unmarked contact was not marked No"
listed="$(khard list --parsable)"
listed="$(cut -f2 <<<"$listed" | LC_ALL=C sort)"
expect_lines "the contacts khard lists" "$(printf '%s\n' "Not Synchronised" "Zoë O'Brien")" "$listed"

step "a second run changes nothing"
before="$(cat "$contacts"/*.vcf | md5sum) $(phonebook_numbers | md5sum)"
twinbook_sync
after="$(cat "$contacts"/*.vcf | md5sum) $(phonebook_numbers | md5sum)"
[ "$before" = "$after" ] || fail "a run without changes changed the cards or the PhoneBook"

step "khard edit"
# The user edits the contact in khard: a new mobile number, the pager gone.
khard show --format yaml -o "$work/edit.yaml" "O'Brien" >/dev/null
sed -i -e 's/+1 (555) 123-4567/555 765 4321/' -e '/5550100/d' "$work/edit.yaml"
grep -q "555 765 4321" "$work/edit.yaml" || fail "khard's YAML has no mobile number to edit"
# khard asks before it writes a change.
khard edit -i "$work/edit.yaml" "O'Brien" <<<y >/dev/null
twinbook_sync
expect_lines "the PhoneBook rows after the edit" "$(printf '%s\n' \
  "O'Brien, Zoë|10|zoe.obrien@example.org" \
  "O'Brien, Zoë|2|5553456789" \
  "O'Brien, Zoë|3|5552345678" \
  "O'Brien, Zoë|4|5557654321" \
  "O'Brien, Zoë|5|5554567890")" "$(phonebook_numbers)"
shown="$(khard phone --parsable "O'Brien")"
grep -qx $'555 765 4321\tZoë O\'Brien\tcell' <<<"$shown" || fail "khard lost the edit: $shown"

step "a vCard 4.0 contact"
cat >"$work/ana.yaml" <<'EOF'
Formatted name : Ana Núñez
First name : Ana
Last name : Núñez
Phone :
    cell : +1 (555) 222-3333
    work, voice : 555 444 5555
Email :
    work : ana@example.org
Private :
    Twinbook-User2 : y
EOF
khard new --vcard-version 4.0 -a twinbook -i "$work/ana.yaml" >/dev/null
ana="$(card_with "^N:Núñez;")"
grep -q "^TEL;.*VALUE=uri.*:tel:" "$ana" || fail "khard wrote no tel: URI: $(cat "$ana")"
twinbook_sync
rows="$(phonebook_numbers | grep "^Núñez")"
expect_lines "Ana's PhoneBook rows" "$(printf '%s\n' "Núñez, Ana|10|ana@example.org" \
  "Núñez, Ana|3|5554445555" "Núñez, Ana|4|15552223333")" "$rows"
sql PhoneBook.mdb "UPDATE tblContactList SET Number = '5556667777' WHERE ContactName = 'Núñez, Ana' AND NumberType = 4"
twinbook_sync
grep -q $'^VERSION:4.0\r$' "$ana" || fail "the 4.0 card is no longer 4.0: $(cat "$ana")"
shown="$(khard phone --parsable "Núñez")"
expect_lines "Ana's numbers in khard" "$(printf '%s\t%s\t%s\n' \
  "(555) 666-7777" "Ana Núñez" "cell" "555 444 5555" "Ana Núñez" "work, voice")" \
  "$(LC_ALL=C sort <<<"$shown")"
echo "khard's contacts reach the PhoneBook"
