#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/contacts_folder.h"

namespace twinbook::testing {

// Contacts folders held in memory, enough for code that only lists and reads
// a folder. Every Save and Delete is counted, so a test can tell that nothing
// was written; a card can be made unreadable.
class FakeContactStore : public ContactStore {
 public:
  struct Card {
    std::string file;
    std::string type = std::string(kContactItemType);
    std::map<ContactProperty, std::string> values;
    bool unreadable = false;
  };

  std::unique_ptr<ContactsFolder> OpenFolder(const std::string& path) override;

  // Adds a contact to the folder at `path` (creating the folder).
  Card& Add(const std::string& path, const std::string& file,
            std::map<ContactProperty, std::string> values,
            std::string type = std::string(kContactItemType)) {
    auto& cards = folders[path];
    cards.push_back(Card{file, std::move(type), std::move(values), false});
    return cards.back();
  }

  std::map<std::string, std::vector<Card>> folders;
  int saves = 0;
  int deletes = 0;
};

namespace fake_contacts_detail {

class Item : public ContactItem {
 public:
  Item(FakeContactStore& store, FakeContactStore::Card card)
      : store_(store), card_(std::move(card)) {}
  std::string TypeName() const override { return card_.type; }
  std::string Get(ContactProperty property) const override {
    auto it = card_.values.find(property);
    return it == card_.values.end() ? "" : it->second;
  }
  void Set(ContactProperty property, const std::string& value) override {
    card_.values[property] = value;
  }
  void Save() override { ++store_.saves; }
  void Delete() override { ++store_.deletes; }
  std::string Describe() const override { return card_.file; }

 private:
  FakeContactStore& store_;
  FakeContactStore::Card card_;
};

class Folder : public ContactsFolder {
 public:
  Folder(FakeContactStore& store, std::string path) : store_(store), path_(std::move(path)) {}
  int Count() override { return static_cast<int>(cards().size()); }
  std::unique_ptr<ContactItem> Item(int position) override {
    if (position < 1 || position > Count()) {
      throw std::out_of_range("No item " + std::to_string(position) + " in " + path_);
    }
    const FakeContactStore::Card& card = cards()[static_cast<size_t>(position - 1)];
    if (card.unreadable) {
      throw ContactsError("Cannot read " + path_ + "/" + card.file + ": not a vCard");
    }
    return std::make_unique<fake_contacts_detail::Item>(store_, card);
  }
  std::unique_ptr<ContactItem> Find(const std::string&) override {
    throw ContactsError("Find is not supported by this test folder");
  }
  std::unique_ptr<ContactItem> CreateItem() override {
    throw ContactsError("CreateItem is not supported by this test folder");
  }

 private:
  std::vector<FakeContactStore::Card>& cards() { return store_.folders.at(path_); }
  FakeContactStore& store_;
  std::string path_;
};

}  // namespace fake_contacts_detail

inline std::unique_ptr<ContactsFolder> FakeContactStore::OpenFolder(const std::string& path) {
  if (folders.find(path) == folders.end()) {
    throw ContactsError("Cannot open " + path + ": no such folder");
  }
  return std::make_unique<fake_contacts_detail::Folder>(*this, path);
}

}  // namespace twinbook::testing
