#include "stores/phonebook_names.h"

namespace twinbook {

namespace {

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) {
    if (!IsContinuationByte(c)) {
      ++count;
    }
  }
  return count;
}

std::string PhoneBookName(const std::string& name) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (!IsContinuationByte(name[i]) && ++characters > kPhoneBookNameLength) {
      return name.substr(0, i);
    }
  }
  return name;
}

bool SamePhoneBookName(std::string_view phoneBookName, std::string_view name) {
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

}  // namespace twinbook
