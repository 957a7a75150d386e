#include "engine/phonebook_names.h"

#include "engine/change_flags.h"
#include "engine/reconcile.h"

namespace twinbook {

namespace {

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t CharacterCount(const std::string& text) {
  std::size_t count = 0;
  for (char c : text) {
    if (!IsContinuationByte(c)) {
      ++count;
    }
  }
  return count;
}

}  // namespace

bool SamePhoneBookName(const std::string& phoneBookName, const std::string& name) {
  if (phoneBookName == name) {
    return true;
  }
  const std::size_t cut = phoneBookName.size();
  if (cut >= name.size() || name.compare(0, cut, phoneBookName) != 0) {
    return false;
  }
  if (cut == kPhoneBookNameLength) {
    return true;
  }
  // Cut by characters: the cut must fall between two characters of `name`.
  return !IsContinuationByte(name[cut]) && CharacterCount(phoneBookName) == kPhoneBookNameLength;
}

bool PhoneBookRecordMatches(const SyncObject& phoneBook, const SyncObject& other) {
  if (!SamePhoneBookName(phoneBook.ContactName, other.ContactName)) {
    return false;
  }
  SyncObject sameName = phoneBook;
  sameName.ContactName = other.ContactName;
  return ContactsMatch(sameName, other);
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
