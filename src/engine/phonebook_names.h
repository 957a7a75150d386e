#pragma once

#include <cstddef>
#include <string>

#include "model/sync_object.h"

namespace twinbook {

// The phone keeps at most this many characters of a name: the rows added for
// a longer name hold its beginning, while Outlook and the sync database keep
// the whole name. Reading such a row back must not count as a rename, or the
// next run would shorten the desktop contact to what the phone shows.
inline constexpr std::size_t kPhoneBookNameLength = 22;

// True when `phoneBookName` is `name`, or is exactly the first
// kPhoneBookNameLength characters of the longer `name` (counted in bytes or in
// UTF-8 characters, whichever way the row was cut).
bool SamePhoneBookName(const std::string& phoneBookName, const std::string& name);

// ContactsMatch for a PhoneBook record and its Outlook or sync counterpart,
// with the names compared by SamePhoneBookName.
bool PhoneBookRecordMatches(const SyncObject& phoneBook, const SyncObject& other);

// CopyContact from a PhoneBook record, except that the destination keeps its
// whole name when the PhoneBook's name is the shortened form of it.
void CopyFromPhoneBook(SyncObject& destination, const SyncObject& phoneBook);

}  // namespace twinbook
