#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/contacts_folder.h"

namespace twinbook::testing {

// A contact as the in-memory folder holds it: its type name and the
// properties that are not empty.
struct MemoryContact {
  std::string typeName = std::string(kContactItemType);
  std::map<ContactProperty, std::string> properties;

  std::string Get(ContactProperty property) const;
  bool operator==(const MemoryContact&) const = default;
};

// The content of one in-memory contacts folder, shared by every folder opened
// on it, with what a test needs to set it up and to see what was done to it.
//
// It keeps the contract of ContactsFolder as the vCard folder does: listing in
// a stable order (here the order of adding and creating), Find with the same
// filter code (first match in listing order), handles that see only their own
// changes until Save, a Save that applies the properties set through that
// handle to the contact as last saved, and nothing written by an unchanged
// Save. Clearing Email1Address clears its type and display name too. Unlike a
// card, it derives nothing: FileAs and FullName read only what was written.
class MemoryContacts {
 public:
  // Appends a contact to the folder, as if another program had added it.
  void Add(MemoryContact contact);
  void Add(std::map<ContactProperty, std::string> properties) {
    Add(MemoryContact{std::string(kContactItemType), std::move(properties)});
  }

  // The contacts in listing order.
  std::vector<MemoryContact> Contacts() const;
  // Saves that changed something (creations included) and deletions.
  int writes = 0;
  int deletions = 0;
  // The contacts deleted, in the order of deletion.
  std::vector<MemoryContact> deleted;

  struct Entry {
    MemoryContact contact;
    bool removed = false;
  };
  std::vector<std::shared_ptr<Entry>> entries;
};

// A folder over shared MemoryContacts.
class MemoryContactsFolder : public ContactsFolder {
 public:
  explicit MemoryContactsFolder(std::shared_ptr<MemoryContacts> contacts,
                                std::string name = "memory")
      : contacts_(std::move(contacts)), name_(std::move(name)) {}

  int Count() override;
  std::unique_ptr<ContactItem> Item(int position) override;
  std::unique_ptr<ContactItem> Find(const std::string& filter) override;
  std::unique_ptr<ContactItem> CreateItem() override;

 private:
  std::shared_ptr<MemoryContacts> contacts_;
  std::string name_;
};

// Opens the in-memory folders a test has made; any other path fails as a
// missing folder does.
class MemoryContactStore : public ContactStore {
 public:
  // The folder at `path`, made empty on first use.
  MemoryContacts& Folder(const std::string& path);

  std::unique_ptr<ContactsFolder> OpenFolder(const std::string& path) override;

  std::vector<std::string> opened;  // every path OpenFolder was called with

 private:
  std::map<std::string, std::shared_ptr<MemoryContacts>> folders_;
};

}  // namespace twinbook::testing
