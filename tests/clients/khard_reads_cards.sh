#!/usr/bin/env bash
# The cards Twinbook creates from the PhoneBook are read by khard: its
# listings show every contact's name, each number as Twinbook formatted it
# under the right kind, the e-mail addresses, and Twinbook's own properties.
# A contact renamed in khard is renamed in the PhoneBook.
# shellcheck source=tests/clients/client_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/client_lib.sh"
need khard sqlite3

step "PhoneBook contacts, an empty contacts folder"
make_data
# An apostrophe and letters beyond ASCII in names; numbers of every length
# the formatting knows (7, 10 and 11 digits) and one it leaves alone.
phonebook_row 1 "O'Brien, Zoë" 3125550142 4 1
phonebook_row 1 "O'Brien, Zoë" 5550117 2 2
phonebook_row 1 "O'Brien, Zoë" zoe.obrien@example.org 10 3
phonebook_row 2 "Brennan, Thomas" 3125550163 3 4
phonebook_row 2 "Brennan, Thomas" 13125550178 0 5
phonebook_row 2 "Brennan, Thomas" 3125550199 5 6
phonebook_row 2 "Brennan, Thomas" 3125550100 6 7
phonebook_row 2 "Brennan, Thomas" 442071234567 9 8
phonebook_row 2 "Brennan, Thomas" "164*12*3456" 1 9
phonebook_row 3 "Müller" 3125550111 4 10
phonebook_row 3 "Müller" jürgen@example.de 10 11

step "Twinbook's first run writes the cards"
twinbook_sync
count="$(find "$contacts" -maxdepth 1 -name '*.vcf' | wc -l)"
[ "$count" -eq 3 ] || fail "expected 3 cards, found $count"
write_khard_config

step "khard list"
listed="$(khard list --parsable --display formatted_name)"
names="$(cut -f2,3 <<<"$listed" | LC_ALL=C sort)"
expect_lines "the contacts khard lists" "$(printf '%s\t%s\n' \
  "Müller" twinbook \
  "Thomas Brennan" twinbook \
  "Zoë O'Brien" twinbook)" "$names"
# Each listed UID is the name of its card file, as Twinbook names new cards.
while IFS=$'\t' read -r uid _; do
  [ -f "$contacts/$uid.vcf" ] || fail "khard lists UID $uid, but there is no $uid.vcf"
done <<<"$listed"
# The family name reaches khard as the family part of N.
by_last="$(khard list --parsable --display last_name)"
by_last="$(cut -f2 <<<"$by_last" | LC_ALL=C sort)"
expect_lines "the contacts by last name" "$(printf '%s\n' "Brennan, Thomas" "Müller" \
  "O'Brien, Zoë")" "$by_last"

step "khard phone"
phones="$(khard phone --parsable)"
phones="$(LC_ALL=C sort <<<"$phones")"
expect_lines "the numbers khard lists" "$(printf '%s\t%s\t%s\n' \
  "(312) 555-0100" "Thomas Brennan" "PAGER" \
  "(312) 555-0111" "Müller" "CELL" \
  "(312) 555-0142" "Zoë O'Brien" "CELL" \
  "(312) 555-0163" "Thomas Brennan" "WORK, VOICE" \
  "(312) 555-0199" "Thomas Brennan" "WORK, FAX" \
  "1 (312) 555-0178" "Thomas Brennan" "WORK, VOICE" \
  "442071234567" "Thomas Brennan" "VOICE" \
  "555-0117" "Zoë O'Brien" "HOME, VOICE" | LC_ALL=C sort)" "$phones"

step "khard email"
emails="$(khard email --parsable)"
# khard 0.18 says "searching for 'ALL' ..." on stdout before the table.
emails="$(grep $'\t' <<<"$emails" | LC_ALL=C sort)"
expect_lines "the addresses khard lists" "$(printf '%s\t%s\t%s\n' \
  "jürgen@example.de" "Müller" "INTERNET" \
  "zoe.obrien@example.org" "Zoë O'Brien" "INTERNET")" "$emails"

step "khard show"
shown="$(khard show --format yaml "Brennan")"
grep -qx "Formatted name *: Thomas Brennan" <<<"$shown" || fail "no formatted name in: $shown"
grep -qx "First name *: Thomas" <<<"$shown" || fail "no first name in: $shown"
grep -qx "Last name *: Brennan" <<<"$shown" || fail "no last name in: $shown"
# The direct connect number and the contact ID live in Twinbook's own
# properties, which khard shows as private objects.
grep -qx " *Twinbook-User1 *: 164\*12\*3456" <<<"$shown" || fail "no direct connect number in: $shown"
grep -qx " *Twinbook-User2 *: YES" <<<"$shown" || fail "not marked for synchronisation in: $shown"
# YAML quotes a contact ID, which would read as a number otherwise.
grep -qx " *Twinbook-User3 *: '2'" <<<"$shown" || fail "no contact ID in: $shown"
# The speed dials, commas and all: what Twinbook escapes, khard unescapes.
grep -qx " *Twinbook-User4 *: W2:5,DC:9,W1:4,F:6,P:7,O:8" <<<"$shown" ||
  fail "no speed dials in: $shown"

step "a rename in khard reaches the PhoneBook"
# khard changes N and FN and knows nothing of the file-as, which is the
# name the PhoneBook gets.
khard show --format yaml -o "$work/zoe.yaml" "Zoë" >/dev/null
sed -i -e "s/^Formatted name *:.*/Formatted name: Zoë Smith/" \
  -e "s/^Last name *:.*/Last name: Smith/" "$work/zoe.yaml"
khard edit -i "$work/zoe.yaml" "Zoë" <<<y >/dev/null
twinbook_sync
names="$(sql PhoneBook.mdb "SELECT DISTINCT ContactName FROM tblContactList WHERE ContactID = 1")"
expect_lines "Zoë's name in the PhoneBook" "Smith, Zoë" "$names"
echo "khard reads Twinbook's cards"
