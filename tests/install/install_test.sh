#!/usr/bin/env bash
# Installs the build into a temporary prefix with a blank in its name and
# checks the program folder, its Data folder, the desktop entry and the icon;
# then installs again over data the user has changed and checks it is kept.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/my prefix"

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
program="$prefix/lib/twinbook"
[ -x "$program/twinbook" ] || fail "no program in $program"
for file in Data/PhoneBook.mdb Data/Twinbook.mdb ../../share/icons/hicolor/scalable/apps/twinbook.svg; do
  [ -f "$program/$file" ] || fail "no $file"
done
[ -d "$program/Data/Contacts" ] && [ -z "$(ls -A "$program/Data/Contacts")" ] || fail "no empty Contacts folder"
entry="$prefix/share/applications/twinbook.desktop"
grep -qx "Exec=\"$program/twinbook\"" "$entry" || fail "the desktop entry does not start $program/twinbook: $(grep Exec "$entry")"
grep -qx "Icon=twinbook" "$entry" || fail "the desktop entry has no icon"
! command -v desktop-file-validate >/dev/null || desktop-file-validate "$entry" ||
  fail "the desktop entry is not valid"

# The user's data survives a reinstall.
echo "BEGIN:VCARD" > "$program/Data/Contacts/mine.vcf"
cp "$program/Data/PhoneBook.mdb" "$work/before.mdb"
sqlite3 "$program/Data/PhoneBook.mdb" "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType, SpeedDial) VALUES (1, 'Mine', '5551234', 4, 1)"
cmake --install "$build" --prefix "$prefix" >/dev/null
[ -f "$program/Data/Contacts/mine.vcf" ] || fail "a reinstall removed a card"
[ "$(sqlite3 "$program/Data/PhoneBook.mdb" 'SELECT count(*) FROM tblContactList')" = 1 ] || fail "a reinstall replaced the PhoneBook database"
echo "install layout ok"
