#pragma once

#include "model/sync_object.h"
#include "stores/phonebook_names.h"

namespace twinbook {

// ContactsMatch for a PhoneBook record and its Outlook or sync counterpart,
// with the names compared by SamePhoneBookName.
bool PhoneBookRecordMatches(const SyncObject& phoneBook, const SyncObject& other);

// CopyContact from a PhoneBook record, except that the destination keeps its
// whole name when the PhoneBook's name is the shortened form of it.
void CopyFromPhoneBook(SyncObject& destination, const SyncObject& phoneBook);

}  // namespace twinbook
