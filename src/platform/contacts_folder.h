#pragma once

#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace twinbook {

// The string properties of a contact that the program reads and writes.
enum class ContactProperty {
  FullName,
  FirstName,
  LastName,
  NickName,
  FileAs,
  Email1Address,
  Email1AddressType,
  Email1DisplayName,
  BusinessTelephoneNumber,
  Business2TelephoneNumber,
  BusinessFaxNumber,
  HomeTelephoneNumber,
  MobileTelephoneNumber,
  PagerNumber,
  OtherTelephoneNumber,
  User1,
  User2,
  User3,
  User4,
};

// Every property, in declaration order.
std::span<const ContactProperty> AllContactProperties();

// The property's name as filters spell it ("FileAs", "User3", ...).
std::string_view PropertyName(ContactProperty property);
// The property a filter names, compared without regard to letter case
// ("Nickname" is NickName), or nullopt for an unknown name.
std::optional<ContactProperty> PropertyNamed(std::string_view name);

// The type name of contact items; distribution lists and anything else have
// another type name and take no part in synchronisation.
inline constexpr std::string_view kContactItemType = "ContactItem";

// Thrown by every contacts operation that fails. The message names the folder
// or the item (its file) and what went wrong.
class ContactsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One item of the contacts folder. Property reads and writes work on the
// item in memory; nothing reaches the folder until Save() or Delete().
//
// Each ContactItem is a handle of its own: Item() and Find() called twice for
// the same item give two handles, and what is set through one is not seen
// through the other, nor by Find(), until it is saved. Save() stores the
// properties set through this handle onto the item as it was last saved, so
// two handles never undo each other's saved changes; afterwards the handle
// shows the item as stored.
class ContactItem {
 public:
  virtual ~ContactItem() = default;

  // "ContactItem" for a contact, another name for distribution lists.
  virtual std::string TypeName() const = 0;

  // The property's value; an unset property reads as "".
  virtual std::string Get(ContactProperty property) const = 0;
  // Sets the property; "" clears it.
  virtual void Set(ContactProperty property, const std::string& value) = 0;

  // Stores the item in the folder at once (adding it when it was created with
  // CreateItem). Saving an item whose content did not change writes nothing.
  // Throws ContactsError naming the item when it cannot be stored, when it
  // has been deleted, or when another program changed it since the folder
  // was opened (it is then left as the other program wrote it).
  virtual void Save() = 0;
  // Save(), for an item already in the folder, keeping its file as it was
  // under the path `keepAs` (a new name in a folder that exists) before the
  // save replaces it. Where the file system allows, `keepAs` becomes a
  // second name of the same file, which costs no copy: a save puts a new
  // file in place of the old one, never writing into it, so the old one
  // stays as it was. Otherwise `keepAs` is written as a copy. A `keepAs`
  // that exists already is left as it is, so that what was kept first (the
  // item as it was before a run's first save of it) stays. Returns
  // whether the file was replaced (and so kept); false when the save wrote
  // nothing. Throws ContactsError as Save() does, and when the file cannot
  // be kept (the message names the item); the item's file is then left as
  // it was.
  virtual bool SaveKeepingOld(const std::string& keepAs) = 0;
  // Removes the item from the folder at once (a new item never saved is
  // just dropped). Throws ContactsError naming the item when it cannot be
  // removed or has been deleted already.
  virtual void Delete() = 0;

  // Where the item lives, for messages (its file name).
  virtual std::string Describe() const = 0;
};

// A folder of contact items, like the desktop's default Contacts folder.
// Items saved, added and deleted through the folder are listed and found as
// they now stand; an item added takes its place in the listing order, so the
// positions of later items can move.
class ContactsFolder {
 public:
  virtual ~ContactsFolder() = default;

  // Items in the folder's stable listing order, positions 1 to Count().
  virtual int Count() = 0;
  // Throws ContactsError naming the item when it cannot be read, and
  // std::out_of_range for a position outside 1..Count().
  virtual std::unique_ptr<ContactItem> Item(int position) = 0;

  // The first contact in listing order that matches `filter`, or nullptr;
  // a distribution list never matches.
  // Filter syntax: "[Property] = 'value'" terms (a '' inside the quotes
  // stands for one quote) joined by "and" and "or", with parentheses; texts
  // compare without regard to letter case. Throws ContactsError for a
  // malformed filter or an unknown property.
  virtual std::unique_ptr<ContactItem> Find(const std::string& filter) = 0;

  // A new, empty contact that Save() adds to the folder.
  virtual std::unique_ptr<ContactItem> CreateItem() = 0;
};

// An item that passes every call to another and notes whether a Set gave a
// property another value, for wrappers that watch which saves write.
class WatchedItem : public ContactItem {
 public:
  // `isNew`: made by CreateItem, not yet saved.
  WatchedItem(std::unique_ptr<ContactItem> inner, bool isNew)
      : inner_(std::move(inner)), unsaved_(isNew) {}

  std::string TypeName() const override { return inner_->TypeName(); }
  std::string Get(ContactProperty property) const override { return inner_->Get(property); }
  void Set(ContactProperty property, const std::string& value) override {
    changed_ = changed_ || inner_->Get(property) != value;
    inner_->Set(property, value);
  }
  std::string Describe() const override { return inner_->Describe(); }

 protected:
  std::unique_ptr<ContactItem> inner_;
  bool unsaved_;          // never saved: not in the folder yet
  bool changed_ = false;  // a value set differs from the one saved last
};

// A folder that passes every call to another and hands each item it gives
// to Wrap, for wrappers that watch what is done to items. A null item (no
// match for Find) stays null and is not wrapped.
class WrappingFolder : public ContactsFolder {
 public:
  explicit WrappingFolder(std::unique_ptr<ContactsFolder> inner) : inner_(std::move(inner)) {}

  int Count() override { return inner_->Count(); }
  std::unique_ptr<ContactItem> Item(int position) override {
    return Wrapped(inner_->Item(position), false);
  }
  std::unique_ptr<ContactItem> Find(const std::string& filter) override {
    return Wrapped(inner_->Find(filter), false);
  }
  std::unique_ptr<ContactItem> CreateItem() override { return Wrapped(inner_->CreateItem(), true); }

 protected:
  // The item as this folder gives it; `isNew`: made by CreateItem, not yet saved.
  virtual std::unique_ptr<ContactItem> Wrap(std::unique_ptr<ContactItem> item, bool isNew) = 0;

 private:
  std::unique_ptr<ContactItem> Wrapped(std::unique_ptr<ContactItem> item, bool isNew) {
    return item ? Wrap(std::move(item), isNew) : nullptr;
  }

  std::unique_ptr<ContactsFolder> inner_;
};

// Opens contacts folders.
class ContactStore {
 public:
  virtual ~ContactStore() = default;

  // Opens the folder at `path`. Throws ContactsError naming the path when it
  // is missing or cannot be listed: an empty answer would read as every
  // contact deleted.
  virtual std::unique_ptr<ContactsFolder> OpenFolder(const std::string& path) = 0;
};

// Doubles every single quote, so that any text can stand between the quotes
// of a filter and only ever mean itself.
std::string QuoteFilterValue(std::string_view value);

}  // namespace twinbook
