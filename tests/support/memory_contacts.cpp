#include "support/memory_contacts.h"

#include <stdexcept>
#include <utility>

#include "platform/contact_filter.h"

namespace twinbook::testing {

namespace {

void Write(MemoryContact& contact, ContactProperty property, const std::string& value) {
  if (value.empty()) {
    contact.properties.erase(property);
  } else {
    contact.properties[property] = value;
  }
  if (property == ContactProperty::Email1Address && value.empty()) {
    contact.properties.erase(ContactProperty::Email1AddressType);
    contact.properties.erase(ContactProperty::Email1DisplayName);
  }
}

class MemoryItem : public ContactItem {
 public:
  MemoryItem(std::shared_ptr<MemoryContacts> contacts, std::shared_ptr<MemoryContacts::Entry> entry,
             std::string folderName)
      : contacts_(std::move(contacts)),
        entry_(std::move(entry)),
        folderName_(std::move(folderName)) {
    if (entry_) {
      own_ = entry_->contact;
    }
  }

  std::string TypeName() const override { return own_.typeName; }
  std::string Get(ContactProperty property) const override { return own_.Get(property); }

  void Set(ContactProperty property, const std::string& value) override {
    if (own_.Get(property) == value) {
      return;
    }
    Write(own_, property, value);
    changes_.emplace_back(property, value);
  }

  void Save() override {
    if (deleted_ || (entry_ && entry_->removed)) {
      throw ContactsError("Cannot save " + Describe() + ": it has been deleted");
    }
    if (!entry_) {
      entry_ = std::make_shared<MemoryContacts::Entry>();
      entry_->contact = own_;
      contacts_->entries.push_back(entry_);
      ++contacts_->writes;
      Settle();
      return;
    }
    MemoryContact updated = entry_->contact;
    for (const auto& [property, value] : changes_) {
      Write(updated, property, value);
    }
    if (updated != entry_->contact) {
      entry_->contact = std::move(updated);
      ++contacts_->writes;
    }
    Settle();
  }

  void Delete() override {
    if (deleted_ || (entry_ && entry_->removed)) {
      throw ContactsError("Cannot delete " + Describe() + ": it has already been deleted");
    }
    deleted_ = true;
    if (!entry_) {
      return;
    }
    entry_->removed = true;
    std::erase(contacts_->entries, entry_);
    contacts_->deleted.push_back(entry_->contact);
    ++contacts_->deletions;
  }

  std::string Describe() const override {
    if (!entry_) {
      return "a new contact in " + folderName_;
    }
    return "contact \"" + entry_->contact.Get(ContactProperty::FullName) + "\" in " + folderName_;
  }

 private:
  void Settle() {
    own_ = entry_->contact;
    changes_.clear();
  }

  std::shared_ptr<MemoryContacts> contacts_;
  std::shared_ptr<MemoryContacts::Entry> entry_;
  std::string folderName_;
  MemoryContact own_;
  std::vector<std::pair<ContactProperty, std::string>> changes_;
  bool deleted_ = false;
};

}  // namespace

std::string MemoryContact::Get(ContactProperty property) const {
  const auto it = properties.find(property);
  return it == properties.end() ? std::string() : it->second;
}

void MemoryContacts::Add(MemoryContact contact) {
  auto entry = std::make_shared<Entry>();
  std::erase_if(contact.properties, [](const auto& p) { return p.second.empty(); });
  entry->contact = std::move(contact);
  entries.push_back(std::move(entry));
}

std::vector<MemoryContact> MemoryContacts::Contacts() const {
  std::vector<MemoryContact> contacts;
  for (const auto& entry : entries) {
    contacts.push_back(entry->contact);
  }
  return contacts;
}

int MemoryContactsFolder::Count() {
  return static_cast<int>(contacts_->entries.size());
}

std::unique_ptr<ContactItem> MemoryContactsFolder::Item(int position) {
  if (position < 1 || position > Count()) {
    throw std::out_of_range("Contacts folder " + name_ + " has no item at position " +
                            std::to_string(position));
  }
  return std::make_unique<MemoryItem>(contacts_, contacts_->entries[position - 1], name_);
}

std::unique_ptr<ContactItem> MemoryContactsFolder::Find(const std::string& filter) {
  const ContactFilter parsed = ContactFilter::Parse(filter);
  for (const auto& entry : contacts_->entries) {
    if (parsed.Matches([&](ContactProperty p) { return entry->contact.Get(p); })) {
      return std::make_unique<MemoryItem>(contacts_, entry, name_);
    }
  }
  return nullptr;
}

std::unique_ptr<ContactItem> MemoryContactsFolder::CreateItem() {
  return std::make_unique<MemoryItem>(contacts_, nullptr, name_);
}

MemoryContacts& MemoryContactStore::Folder(const std::string& path) {
  auto& folder = folders_[path];
  if (!folder) {
    folder = std::make_shared<MemoryContacts>();
  }
  return *folder;
}

std::unique_ptr<ContactsFolder> MemoryContactStore::OpenFolder(const std::string& path) {
  opened.push_back(path);
  const auto it = folders_.find(path);
  if (it == folders_.end()) {
    throw ContactsError("Contacts folder " + path + " does not exist");
  }
  return std::make_unique<MemoryContactsFolder>(it->second, path);
}

}  // namespace twinbook::testing
