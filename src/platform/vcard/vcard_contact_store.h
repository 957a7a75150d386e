#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/contacts_folder.h"

namespace twinbook {

namespace vcard {
struct CardCache;
}

// Contacts folders that are folders of vCard files, one contact per file (the
// "vdir" layout of vdirsyncer, khard and others). The card format and how the
// contact properties sit in it: vcard_card.h, vcard_mapping.h.
//
// The items of a folder are its files named *.vcf (any letter case), hidden
// files (a leading dot) excepted, listed in the byte order of their names.
// Opening a folder reads every card once (several side by side, on as many
// cores as there are) and keeps them in memory, so Find and
// Item read no files; Find looks up candidates in indexes of the properties
// its filter requires. Opening fails with a ContactsError naming the culprit,
// before anything is written, when the folder is missing or cannot be listed,
// or when a card file is a folder, a link leading outside the folder or
// nowhere, unreadable, no vCard, or more than one card.
//
// Save writes the card to a hidden temporary file in the same folder and
// renames it over the item, so a crash leaves the old card or the new one.
// A new item's file is written without a name and linked into the folder
// once complete, where the file system allows (else through a temporary
// file too). Saving an unchanged item writes nothing. A card that another program changed
// since the folder was opened is not overwritten: Save fails naming it. A new
// item's file is named after its UID (vcard::CardFileNameForUid), else a
// random name. Delete moves the file into the hidden subfolder ".deleted",
// where it can be taken back by hand; nothing there is ever overwritten.
//
// Given a clock, the store dates every card whose content it writes, a new
// card's included: REV becomes the clock's time (vcard::StampRevision), so
// that programs that go by REV see the change. A card saved unchanged is
// still not written. Without a clock, REV stays as the card had it.
//
// Data is not flushed to the disk with each save: a power cut can lose the
// last saves, and on file systems without ordered renames it can leave a new
// card empty, which the next run then refuses to read, naming it.
//
// The store keeps the cards it has read, keyed by each file's identity
// (device, inode, size, modification and change times), so that opening the
// same folder again in one run parses only the files that changed. It keeps
// those of the folder opened last only. File times
// tick coarsely, so a file changed less than `settleTime` before its card was
// read is read again rather than trusted to show a further change.
class VCardContactStore : public ContactStore {
 public:
  static constexpr std::chrono::seconds kDefaultSettleTime{2};

  // What dates the cards this store writes.
  using Clock = std::function<std::chrono::system_clock::time_point()>;
  static std::chrono::system_clock::time_point SystemClock() {
    return std::chrono::system_clock::now();
  }

  explicit VCardContactStore(std::chrono::nanoseconds settleTime = kDefaultSettleTime,
                             Clock revisionClock = nullptr);
  ~VCardContactStore() override;

  std::unique_ptr<ContactsFolder> OpenFolder(const std::string& path) override;

  // How many card files this store has read (and found to parse) rather
  // than taken from what it kept; for tests and measurements.
  std::size_t CardsParsed() const;

 private:
  std::shared_ptr<vcard::CardCache> cache_;
};

namespace vcard {

// The file name of a new card with this UID: the UID and ".vcf" when the UID
// is a plain file name (only A-Z a-z 0-9 _ . + -, not starting with a dot, at
// most 128 characters); otherwise "", and the card gets a random name. Either
// way the name stays inside the folder.
std::string CardFileNameForUid(std::string_view uid);

}  // namespace vcard

}  // namespace twinbook
