#include "stores/outlook_import.h"

#include "stores/field_reading.h"
#include "stores/speed_tags.h"

namespace twinbook {

namespace {

// ASCII letters only: a multi-byte character must never be altered.
std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return text;
}

std::string NameOf(const ContactItem& item, const std::string& nameField) {
  if (nameField == "File As") {
    return item.Get(ContactProperty::FileAs);
  }
  if (nameField == "Full Name") {
    return item.Get(ContactProperty::FullName);
  }
  if (nameField == "Nickname") {
    return item.Get(ContactProperty::NickName);
  }
  return "";
}

// The phone keeps Internet addresses. A directory-style address (one holding
// "/" or "=") is replaced by its display name, or by the address in
// parentheses inside the display name. Without a display name there is
// nothing better to take, so the address is kept as it is.
std::string EmailOf(const ContactItem& item) {
  std::string address = Lower(item.Get(ContactProperty::Email1Address));
  if (address.find_first_of("/=") == std::string::npos) {
    return address;
  }
  std::string display = Lower(item.Get(ContactProperty::Email1DisplayName));
  if (display.empty()) {
    return address;
  }
  size_t open = display.find('(');
  if (open == std::string::npos) {
    return display;
  }
  size_t close = display.find(')', open + 1);
  if (close == std::string::npos) {
    return display.substr(open + 1);
  }
  return display.substr(open + 1, close - open - 1);
}

}  // namespace

void LoadOutlookContacts(RunContext& context) {
  // Held by the run state before any item is taken from it, so that the
  // folder outlives the excluded items kept there, also when loading fails.
  context.state.LoadedContacts =
      context.platform.contacts.OpenFolder(context.settings().ContactsPath);
  ContactsFolder& folder = *context.state.LoadedContacts;
  const int count = folder.Count();
  for (int position = 1; position <= count; ++position) {
    std::unique_ptr<ContactItem> item = folder.Item(position);
    if (item->TypeName() != kContactItemType) {
      continue;  // distribution lists take no part
    }
    if (!IsIncluded(item->Get(ContactProperty::User2))) {
      context.state.ExcludedContacts.push_back(std::move(item));
      continue;
    }
    // The ID ties the card to its phone book rows by number. A hand-edited
    // "07" would be stored as 7 and never match again: the contact would be
    // deleted and added anew on every run.
    std::string id = item->Get(ContactProperty::User3);
    if (!id.empty() && !IsCanonicalContactID(id)) {
      throw ContactsError(item->Describe() + ": its contact ID (User3) '" + id +
                          "' is not a positive whole number in plain decimal");
    }
    ImportOutlookData(context.state.OutlookSet, *item, context.settings().NameField);
  }
}

void RewriteExcludedContacts(RunContext& context) {
  for (std::unique_ptr<ContactItem>& item : context.state.ExcludedContacts) {
    item->Set(ContactProperty::User2, "No");
    item->Set(ContactProperty::User3, "");
    item->Set(ContactProperty::User4, "");
    item->Save();
  }
  context.state.ExcludedContacts.clear();
  context.state.LoadedContacts.reset();
}

bool IsIncluded(const std::string& user2) {
  std::string upper = Upper(user2);
  return upper == "Y" || upper == "YES";
}

std::string DigitsOnly(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digits += c;
    }
  }
  return digits;
}

SyncObject& ImportOutlookData(SyncSet& set, const ContactItem& item, const std::string& nameField) {
  SyncObject record;
  record.ContactID = item.Get(ContactProperty::User3);
  record.ContactName = NameOf(item, nameField);
  record.Work2Number = DigitsOnly(item.Get(ContactProperty::Business2TelephoneNumber));
  record.DCNumber = item.Get(ContactProperty::User1);
  record.HomeNumber = DigitsOnly(item.Get(ContactProperty::HomeTelephoneNumber));
  record.Work1Number = DigitsOnly(item.Get(ContactProperty::BusinessTelephoneNumber));
  record.MobileNumber = DigitsOnly(item.Get(ContactProperty::MobileTelephoneNumber));
  record.FaxNumber = DigitsOnly(item.Get(ContactProperty::BusinessFaxNumber));
  record.PagerNumber = DigitsOnly(item.Get(ContactProperty::PagerNumber));
  record.OtherNumber = DigitsOnly(item.Get(ContactProperty::OtherTelephoneNumber));
  record.EmailAddress = EmailOf(item);
  ApplySpeedTagText(record, item.Get(ContactProperty::User4));
  record.Flag = "";
  return set.Append(record);
}

}  // namespace twinbook
