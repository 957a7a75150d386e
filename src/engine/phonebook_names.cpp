#include "engine/phonebook_names.h"

#include "engine/change_flags.h"
#include "engine/reconcile.h"

namespace twinbook {

bool PhoneBookRecordMatches(const SyncObject& phoneBook, const SyncObject& other) {
  return SamePhoneBookName(phoneBook.ContactName, other.ContactName) &&
         DetailsMatch(phoneBook, other);
}

void CopyFromPhoneBook(SyncObject& destination, const SyncObject& phoneBook) {
  std::string wholeName = destination.ContactName;
  const bool keepName = SamePhoneBookName(phoneBook.ContactName, wholeName);
  CopyContact(destination, phoneBook);
  if (keepName) {
    destination.ContactName = std::move(wholeName);
  }
}

}  // namespace twinbook
