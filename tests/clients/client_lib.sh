# shellcheck shell=bash
# Shared by the client tests, sourced by each. Every test works in a fresh
# temporary folder that is also HOME and the XDG folders, so no client reads
# or writes the user's own configuration, contacts or caches.
#
# Needs TWINBOOK_CLIENT_SYNC (the run driver) and TWINBOOK_SETUP (twinbook-setup)
# in the environment; CTest sets both.
set -euo pipefail

: "${TWINBOOK_CLIENT_SYNC:?the path of twinbook_client_sync}"
: "${TWINBOOK_SETUP:?the path of twinbook-setup}"

work="$(mktemp -d "${TMPDIR:-/tmp}/twinbook-clients.XXXXXX")"
data="$work/Data"
contacts="$data/Contacts"
mkdir -p "$work/home" "$work/logs"
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache" XDG_STATE_HOME="$HOME/.local/state"
export LC_ALL=C.UTF-8 TZ=UTC
# The clients are Debian's Python programs; a Python environment of the
# developer's (pyenv, a virtualenv) must not leak its modules into them.
unset PYTHONPATH PYTHONHOME PYTHONSTARTUP VIRTUAL_ENV
export PATH="/usr/bin:/bin:$PATH"

# Commands run at exit, last added first: stopping servers, then removing
# the folder (kept when TWINBOOK_KEEP_WORK is set, for a look afterwards).
exit_steps=()
on_exit() {
  local i
  for ((i = ${#exit_steps[@]} - 1; i >= 0; i--)); do
    eval "${exit_steps[i]}" || true
  done
  if [ -n "${TWINBOOK_KEEP_WORK:-}" ]; then
    echo "kept $work"
  else
    rm -rf "$work"
  fi
}
trap on_exit EXIT

step() { echo "== $*"; }

# What a failing test prints besides its own complaint: the last activity
# log, the PhoneBook rows and every card.
diagnose() {
  echo "---- diagnostics" >&2
  if [ -f "$data/SyncLog.txt" ]; then
    echo "-- $data/SyncLog.txt" >&2
    tr -d '\r' <"$data/SyncLog.txt" >&2
  fi
  if [ -f "$data/PhoneBook.mdb" ]; then
    echo "-- tblContactList" >&2
    sqlite3 -batch "$data/PhoneBook.mdb" \
      "SELECT ContactID, ContactName, Number, NumberType, SpeedDial FROM tblContactList ORDER BY rowid" >&2 || true
  fi
  if [ -d "$contacts" ]; then
    local card
    for card in "$contacts"/*.vcf; do
      [ -f "$card" ] || continue
      echo "-- $card" >&2
      tr -d '\r' <"$card" >&2
    done
  fi
  if declare -F diagnose_more >/dev/null; then
    diagnose_more >&2 || true
  fi
}

fail() {
  echo "FAIL: $*" >&2
  diagnose
  exit 1
}

# run SECONDS COMMAND...: runs a command with a time limit. Its output goes to
# stdout, what it says on stderr to stderr; both are kept in files, and a
# command that fails or times out fails the test with its output shown.
run() {
  local limit="$1"
  shift
  local out
  out="$work/logs/$(date +%s%N)"
  local status=0
  timeout --kill-after=5 "$limit" "$@" >"$out.out" 2>"$out.err" || status=$?
  cat "$out.err" >&2
  if [ "$status" -ne 0 ]; then
    cat "$out.out" >&2
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
      fail "timed out after ${limit}s: $*"
    fi
    fail "exit status $status: $*"
  fi
  cat "$out.out"
}

need() {
  local program
  for program in "$@"; do
    command -v "$program" >/dev/null ||
      fail "$program is not installed; scripts/install-deps installs it"
  done
}

# A fresh Data folder with empty databases and an empty Contacts folder.
make_data() {
  run 30 "$TWINBOOK_SETUP" --empty "$data" >/dev/null
}

# One synchronisation run over the Data folder.
twinbook_sync() {
  run 120 "$TWINBOOK_CLIENT_SYNC" "$data" >/dev/null
}

# sql FILE STATEMENT: SQLite's own shell on a database of the Data folder.
sql() {
  sqlite3 -batch -bail "$data/$1" "$2" || fail "sqlite3 $1: $2"
}

# phonebook_row ID NAME NUMBER TYPE SPEED: a row as the PhoneBook Manager
# would add it; quotes in NAME and NUMBER are doubled here.
phonebook_row() {
  local name="${2//\'/\'\'}" number="${3//\'/\'\'}"
  sql PhoneBook.mdb "INSERT INTO tblContactList (ContactID, ContactName, Number, NumberType,
    SpeedDial, PhoneNumberLength) VALUES ($1, '$name', '$number', $4, $5, 0)"
}

# The PhoneBook rows of every contact as "name|type|number", sorted.
phonebook_numbers() {
  sql PhoneBook.mdb "SELECT ContactName, NumberType, Number FROM tblContactList" | LC_ALL=C sort
}

# expect_lines WHAT EXPECTED ACTUAL: compares two texts line by line.
expect_lines() {
  if [ "$2" != "$3" ]; then
    fail "$1 differ:
$(diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed -n '2,$p' || true)
-- expected:
$2
-- actual:
$3"
  fi
}

# The one card file whose text holds a line matching REGEX.
card_with() {
  local found
  found="$(grep -lE "$1" "$contacts"/*.vcf 2>/dev/null || true)"
  [ -n "$found" ] || fail "no card has a line matching $1"
  [ "$(printf '%s\n' "$found" | wc -l)" -eq 1 ] || fail "more than one card matches $1: $found"
  printf '%s\n' "$found"
}

# khard with a configuration of the test's own: the Contacts folder as the
# address book "twinbook", Twinbook's user properties shown as private
# objects, and no card skipped as unparsable, so that a card khard cannot read
# fails the test instead of going unseen.
write_khard_config() {
  mkdir -p "$XDG_CONFIG_HOME/khard"
  cat >"$XDG_CONFIG_HOME/khard/khard.conf" <<EOF
[addressbooks]
[[twinbook]]
path = $contacts

[general]
debug = no
default_action = list
editor = /bin/false
merge_editor = /bin/false

[contact table]
display = formatted_name
group_by_addressbook = no
reverse = no
show_nicknames = no
show_uids = yes
sort = last_name
localize_dates = no
preferred_phone_number_type = pref, cell, home
preferred_email_address_type = pref, work, home

[vcard]
private_objects = Twinbook-User1, Twinbook-User2, Twinbook-User3, Twinbook-User4
preferred_version = 3.0
search_in_source_files = no
skip_unparsable = no
EOF
}

khard() {
  run 60 /usr/bin/khard "$@"
}
