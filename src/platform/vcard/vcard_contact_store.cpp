#include "platform/vcard/vcard_contact_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/contact_filter.h"
#include "platform/vcard/in_parallel.h"
#include "platform/vcard/vcard_card.h"
#include "platform/vcard/vcard_files.h"
#include "platform/vcard/vcard_mapping.h"
#include "platform/vcard/vcard_text.h"

namespace twinbook {

namespace vcard {

struct CachedCard {
  FileIdentity identity;
  std::shared_ptr<const std::string> bytes;  // the file's content
  std::int64_t recordedNs = 0;               // when the card was known to match the file
  std::uint64_t lastOpen = 0;                // the last opening of the folder that found the file
};

struct CardCache {
  // File times come from a coarse clock: a file rewritten twice within one
  // tick, at the same size and in place, keeps its identity. A card is taken
  // from the cache only when its file had last changed this long before the
  // card was recorded, so that any later change shows in the change time.
  std::int64_t settleNs = 0;
  // Dates the cards written (REV); empty: REV is left alone.
  VCardContactStore::Clock revisionClock;
  // By the file's real path below the folder (its name, unless it is
  // reached through a link), per folder (by the folder's real path).
  std::unordered_map<std::string, std::unordered_map<std::string, CachedCard>> folders;
  std::size_t parsed = 0;
  std::uint64_t opens = 0;
};

std::string CardFileNameForUid(std::string_view uid) {
  constexpr size_t kMaxLength = 128;
  if (uid.empty() || uid.size() > kMaxLength || uid.front() == '.') {
    return {};
  }
  for (char c : uid) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '.' || c == '+' || c == '-';
    if (!plain) {
      return {};
    }
  }
  return std::string(uid) + ".vcf";
}

namespace {

constexpr size_t kPropertyCount = static_cast<size_t>(ContactProperty::User4) + 1;
constexpr const char* kDeletedFolder = ".deleted";

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string ErrorText(int error) {
  return std::strerror(error);
}

// Kept small: a folder holds one per card. Paths are made when needed.
struct Entry {
  std::string fileName;
  std::string linkTarget;  // the real path of the file a link leads to; "" for no link
  FileState state;
  // The card as its file holds it, read or written here, and known to
  // parse. A card parsed takes several times the memory of its bytes, so a
  // folder of thousands keeps the bytes and parses a card when it is
  // needed (by an item, an index or a search).
  std::shared_ptr<const std::string> bytes;
  std::uint64_t revision = 0;
  bool deleted = false;
};

// Bytes to keep: copied to their size, since a card written grew by parts
// and holds up to twice its size.
std::shared_ptr<const std::string> Kept(const std::string& bytes) {
  return std::make_shared<const std::string>(bytes);
}

// The entry's card, parsed from its bytes.
std::shared_ptr<const Card> CardOf(const Entry& entry) {
  return std::make_shared<const Card>(Parse(*entry.bytes));
}

// The folded value under which an entry with this card is filed in the
// index of `property`.
std::string IndexKey(const Card& card, ContactProperty property) {
  return FoldCase(ReadProperty(card, property));
}

// By key, the entries whose card has that value. A card without the
// property is filed under no key: in a first run that is nearly every card
// of the ID's index, and each would leave the one long list for "" when it
// is given an ID, a walk through all the others each time.
using Index = std::unordered_map<std::string, std::vector<Entry*>>;

// A folder open as a descriptor, for the calls relative to it.
class FolderHandle {
 public:
  FolderHandle() = default;
  explicit FolderHandle(int fd) : fd_(fd) {}
  ~FolderHandle() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  int get() const { return fd_; }

 private:
  int fd_ = -1;
};

struct FolderState {
  std::string shown;  // the path as given, without trailing slashes
  std::string real;   // its real path
  // The folder itself: a file is found relative to it far faster than from
  // the root, and stays found in it when the folder is renamed meanwhile.
  std::unique_ptr<FolderHandle> handle;
  // The folder's entries, in listing order (by file name bytes) as
  // Listing() gives them. A card saved new waits in `added`, and one removed
  // is marked deleted, until the order is next needed: put in place at
  // once, each of thousands of new cards would move a list of a hundred
  // thousand.
  std::vector<std::shared_ptr<Entry>> entries;
  std::unordered_map<std::string_view, std::shared_ptr<Entry>> added;  // by file name
  bool removedSome = false;
  std::array<std::unique_ptr<Index>, kPropertyCount> indexes;  // built on first use
  std::shared_ptr<CardCache> cache;
  std::mt19937_64 random{std::random_device{}()};

  std::unordered_map<std::string, CachedCard>& CachedCards() { return cache->folders[real]; }

  // The folder as given, "/" and the file name: how messages name the card.
  std::string Shown(const Entry& entry) const { return shown + "/" + entry.fileName; }
  // The file that saves write, relative to `handle`: the entry's name, or
  // for a link the real path of the file it leads to.
  const std::string& WritePath(const Entry& entry) const {
    return entry.linkTarget.empty() ? entry.fileName : entry.linkTarget;
  }
  // The file's real path below the folder: its key in the cache.
  std::string CacheKey(const Entry& entry) const {
    return entry.linkTarget.empty() ? entry.fileName : entry.linkTarget.substr(real.size() + 1);
  }

  void Remember(const Entry& entry) {
    CachedCards()[CacheKey(entry)] =
        CachedCard{entry.state.identity, entry.bytes, NowNs(), cache->opens};
  }

  Index& IndexOf(ContactProperty property) {
    std::unique_ptr<Index>& index = indexes[static_cast<size_t>(property)];
    if (!index) {
      // Parsing every card is nearly all of the work, and each card is
      // parsed on its own, so they are parsed side by side.
      const std::vector<std::shared_ptr<Entry>>& listing = Listing();
      std::vector<std::string> keys(listing.size());
      ForEachIndexInParallel(listing.size(), [&](std::size_t i) {
        keys[i] = IndexKey(*CardOf(*listing[i]), property);
      });
      auto built = std::make_unique<Index>();
      for (std::size_t i = 0; i < listing.size(); ++i) {
        File(*built, keys[i], *listing[i]);
      }
      index = std::move(built);
    }
    return *index;
  }

  static void File(Index& index, const std::string& key, Entry& entry) {
    if (!key.empty()) {
      index[key].push_back(&entry);
    }
  }

  // `key`: what IndexKey gave for the card under which the entry was filed.
  static void Unfile(Index& index, const std::string& key, Entry& entry) {
    const auto it = index.find(key);
    if (it == index.end()) {
      return;
    }
    std::erase(it->second, &entry);
    if (it->second.empty()) {
      index.erase(it);
    }
  }

  void ForEachIndex(const std::function<void(Index&, ContactProperty)>& action) {
    for (size_t p = 0; p < kPropertyCount; ++p) {
      if (indexes[p]) {
        action(*indexes[p], static_cast<ContactProperty>(p));
      }
    }
  }

  const std::vector<std::shared_ptr<Entry>>& Listing() {
    if (!added.empty() || removedSome) {
      std::erase_if(entries, [](const std::shared_ptr<Entry>& e) { return e->deleted; });
      const auto listed = static_cast<std::ptrdiff_t>(entries.size());
      for (auto& [name, entry] : added) {
        entries.push_back(std::move(entry));
      }
      const auto byName = [](const std::shared_ptr<Entry>& a, const std::shared_ptr<Entry>& b) {
        return a->fileName < b->fileName;
      };
      std::sort(entries.begin() + listed, entries.end(), byName);
      std::inplace_merge(entries.begin(), entries.begin() + listed, entries.end(), byName);
      added.clear();
      removedSome = false;
    }
    return entries;
  }

  // The listed entry of this name, deleted or not; entries.end() for none.
  // Among the listed entries a name is never taken twice: a card saved new
  // under the name of a deleted one waits in `added`.
  std::vector<std::shared_ptr<Entry>>::iterator ListedEntry(std::string_view fileName) {
    const auto it = std::lower_bound(
        entries.begin(), entries.end(), fileName,
        [](const std::shared_ptr<Entry>& e, std::string_view name) { return e->fileName < name; });
    return it != entries.end() && (*it)->fileName == fileName ? it : entries.end();
  }

  bool HasFile(const std::string& fileName) {
    const auto it = ListedEntry(fileName);
    return added.contains(fileName) || (it != entries.end() && !(*it)->deleted);
  }

  // The entry itself, as the items hold it.
  std::shared_ptr<Entry> Shared(const Entry& entry) {
    const auto it = added.find(entry.fileName);
    return it != added.end() && it->second.get() == &entry ? it->second
                                                           : *ListedEntry(entry.fileName);
  }

  // `card`: the one the entry's bytes hold.
  void Insert(const std::shared_ptr<Entry>& entry, const Card& card) {
    added.emplace(entry->fileName, entry);
    ForEachIndex([&](Index& index, ContactProperty p) { File(index, IndexKey(card, p), *entry); });
    Remember(*entry);
  }

  // `old`: the entry's card until now; `card`: the one `bytes` now hold.
  void Replace(Entry& entry, const Card& old, const Card& card, const std::string& bytes,
               const FileState& state) {
    ForEachIndex([&](Index& index, ContactProperty p) {
      const std::string oldKey = IndexKey(old, p);
      const std::string key = IndexKey(card, p);
      if (key != oldKey) {
        Unfile(index, oldKey, entry);
        File(index, key, entry);
      }
    });
    entry.bytes = Kept(bytes);
    entry.state = state;
    ++entry.revision;
    Remember(entry);
  }

  void Remove(Entry& entry) {
    std::shared_ptr<const Card> card;
    ForEachIndex([&](Index& index, ContactProperty p) {
      if (!card) {
        card = CardOf(entry);
      }
      Unfile(index, IndexKey(*card, p), entry);
    });
    CachedCards().erase(CacheKey(entry));
    if (const auto it = added.find(entry.fileName);
        it != added.end() && it->second.get() == &entry) {
      added.erase(it);
    } else {
      removedSome = true;
    }
    entry.deleted = true;
  }
};

class VCardItem : public ContactItem {
 public:
  // `card`: the entry's card, when the caller has it at hand.
  VCardItem(std::shared_ptr<FolderState> folder, std::shared_ptr<Entry> entry,
            std::shared_ptr<const Card> card = nullptr)
      : folder_(std::move(folder)),
        entry_(std::move(entry)),
        base_(card ? std::move(card) : CardOf(*entry_)),
        baseRevision_(entry_->revision) {}

  // A new card, not in the folder until saved.
  explicit VCardItem(std::shared_ptr<FolderState> folder)
      : folder_(std::move(folder)),
        base_(std::make_shared<const Card>(NewCard(NewUid(folder_->random)))) {}

  std::string TypeName() const override { return CardTypeName(Current()); }

  std::string Get(ContactProperty property) const override {
    return ReadProperty(Current(), property, phones_);
  }

  void Set(ContactProperty property, const std::string& value) override {
    phones_.reset();
    if (!edited_) {
      edited_ = *base_;
    }
    if (WriteProperty(*edited_, property, value)) {
      changes_.emplace_back(property, value);
    }
  }

  void Save() override { SaveKeeping(nullptr); }

  bool SaveKeepingOld(const std::string& keepAs) override {
    if (!entry_ && !deleted_) {
      throw ContactsError("Cannot back up " + Describe() + ": it is not in the folder yet");
    }
    return SaveKeeping(&keepAs);
  }

  // Save(), keeping the file as it was under `*keepAs` when one is given;
  // whether the file was written.
  bool SaveKeeping(const std::string* keepAs) {
    if (deleted_) {
      throw ContactsError("Cannot save " + Describe() + ": it has been deleted");
    }
    if (!entry_) {
      SaveNew();
      return true;
    }
    if (entry_->deleted) {
      throw ContactsError("Cannot save " + folder_->Shown(*entry_) + ": it has been deleted");
    }
    if (!edited_) {
      return false;
    }
    if (baseRevision_ != entry_->revision) {
      // Saved through another handle meanwhile: apply this handle's changes
      // to the card as it now stands, so that neither save undoes the other.
      base_ = CardOf(*entry_);
      Card rebased = *base_;
      for (const auto& [property, value] : changes_) {
        WriteProperty(rebased, property, value);
      }
      edited_ = std::move(rebased);
      phones_.reset();
      baseRevision_ = entry_->revision;
    }
    // Compared as written, so that a value set and set back, or a 2.1 card
    // whose properties were all written unchanged, is no change.
    if (Write(*edited_) == Write(*base_)) {
      Settle(base_);
      return false;
    }
    const int dir = folder_->handle->get();
    const std::string& path = folder_->WritePath(*entry_);
    const std::string shown = folder_->Shown(*entry_);
    const std::optional<FileState> now = StatFile(dir, path);
    if (!now || now->identity != entry_->state.identity) {
      throw ContactsError("Contact card " + shown +
                          " was changed or removed by another program since it was read; "
                          "it was not overwritten");
    }
    if (keepAs) {
      KeepFileAs(dir, path, now->mode, *keepAs, folder_->random, shown);
    }
    Card card = *edited_;
    PrepareForWriting(card, [this] { return NewUid(folder_->random); });
    Date(card);
    const std::string content = Write(card);
    WriteFileAtomically(dir, path, content, true, now->mode, folder_->random, shown);
    folder_->Replace(*entry_, *base_, card, content, WrittenState(dir, path, shown));
    Settle(std::make_shared<const Card>(std::move(card)));
    return true;
  }

  void Delete() override {
    if (deleted_ || (entry_ && entry_->deleted)) {
      throw ContactsError("Cannot delete " + Describe() + ": it has already been deleted");
    }
    if (entry_) {
      MoveIntoSubfolder(folder_->real, entry_->fileName, kDeletedFolder, folder_->Shown(*entry_));
      folder_->Remove(*entry_);
    }
    deleted_ = true;
  }

  std::string Describe() const override {
    return entry_ ? folder_->Shown(*entry_) : "a new contact card in " + folder_->shown;
  }

 private:
  const Card& Current() const { return edited_ ? *edited_ : *base_; }

  void Date(Card& card) const {
    if (const auto& clock = folder_->cache->revisionClock) {
      StampRevision(card, clock());
    }
  }

  // `current`: the entry's card as it now stands.
  void Settle(std::shared_ptr<const Card> current) {
    base_ = std::move(current);
    baseRevision_ = entry_->revision;
    edited_.reset();
    phones_.reset();
    changes_.clear();
  }

  static FileState WrittenState(int dir, const std::string& path, const std::string& shown) {
    const std::optional<FileState> state = StatFile(dir, path);
    if (!state) {
      throw ContactsError("Contact card " + shown + " vanished as soon as it was written");
    }
    return *state;
  }

  void SaveNew() {
    Card card = Current();
    PrepareForWriting(card, [this] { return NewUid(folder_->random); });
    Date(card);
    const std::string content = Write(card);
    std::string fileName = CardFileNameForUid(CardUid(card));
    for (int attempt = 0;; ++attempt) {
      if (fileName.empty() || folder_->HasFile(fileName)) {
        fileName = NewUid(folder_->random) + ".vcf";
      }
      if (WriteFileAtomically(folder_->handle->get(), fileName, content, false, std::nullopt,
                              folder_->random, folder_->shown + "/" + fileName)) {
        break;
      }
      if (attempt > 100) {
        throw ContactsError("Cannot add a contact card to " + folder_->shown +
                            ": no free file name");
      }
      fileName.clear();  // taken by a file that is not an item: draw a random name
    }
    auto entry = std::make_shared<Entry>();
    entry->fileName = fileName;
    entry->state =
        WrittenState(folder_->handle->get(), folder_->WritePath(*entry), folder_->Shown(*entry));
    entry->bytes = Kept(content);
    folder_->Insert(entry, card);
    entry_ = std::move(entry);
    Settle(std::make_shared<const Card>(std::move(card)));
  }

  std::shared_ptr<FolderState> folder_;
  std::shared_ptr<Entry> entry_;  // null for a new card until its first save
  std::shared_ptr<const Card> base_;
  std::uint64_t baseRevision_ = 0;
  std::optional<Card> edited_;  // a copy, once a property is set
  // The phone lines of Current(), once a number has been read; emptied
  // whenever Current() changes.
  mutable std::optional<PhoneLines> phones_;
  std::vector<std::pair<ContactProperty, std::string>> changes_;
  bool deleted_ = false;
};

class VCardFolder : public ContactsFolder {
 public:
  explicit VCardFolder(std::shared_ptr<FolderState> state) : state_(std::move(state)) {}

  int Count() override { return static_cast<int>(state_->Listing().size()); }

  std::unique_ptr<ContactItem> Item(int position) override {
    if (position < 1 || position > Count()) {
      throw std::out_of_range("Contacts folder " + state_->shown + " has no item at position " +
                              std::to_string(position) + " (it holds " + std::to_string(Count()) +
                              ")");
    }
    return std::make_unique<VCardItem>(state_, state_->Listing()[position - 1]);
  }

  std::unique_ptr<ContactItem> Find(const std::string& filter) override {
    const ContactFilter parsed = ContactFilter::Parse(filter);
    // A distribution list has no contact properties to match, whatever
    // lines a card of one carries: taking it for a contact would write a
    // contact's ID and speed dials into the list.
    std::shared_ptr<const Card> foundCard;
    auto matches = [&](const Entry& entry) {
      std::shared_ptr<const Card> card = CardOf(entry);
      if (CardTypeName(*card) != kContactItemType ||
          !parsed.Matches([&](ContactProperty p) { return ReadProperty(*card, p); })) {
        return false;
      }
      foundCard = std::move(card);
      return true;
    };
    // Every match has the value of each required term; the shortest list
    // of candidates is as good as any and the cheapest to test. An empty
    // value is no help: the cards without the property are not filed.
    const std::vector<Entry*>* candidates = nullptr;
    for (const FilterTerm& term : parsed.RequiredTerms()) {
      if (term.value.empty()) {
        continue;
      }
      Index& index = state_->IndexOf(term.property);
      const auto it = index.find(FoldCase(term.value));
      if (it == index.end()) {
        return nullptr;
      }
      if (!candidates || it->second.size() < candidates->size()) {
        candidates = &it->second;
      }
    }
    const Entry* found = nullptr;
    if (!candidates) {
      for (const auto& entry : state_->Listing()) {
        if (matches(*entry)) {
          found = entry.get();
          break;
        }
      }
    } else {
      for (const Entry* entry : *candidates) {
        if ((!found || entry->fileName < found->fileName) && matches(*entry)) {
          found = entry;
        }
      }
    }
    if (!found) {
      return nullptr;
    }
    return std::make_unique<VCardItem>(state_, state_->Shared(*found), std::move(foundCard));
  }

  std::unique_ptr<ContactItem> CreateItem() override { return std::make_unique<VCardItem>(state_); }

 private:
  std::shared_ptr<FolderState> state_;
};

struct DirectoryCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

bool IsCardFileName(const std::string& name) {
  return name.size() > 4 && name.front() != '.' &&
         EqualsIgnoringCase(std::string_view(name).substr(name.size() - 4), ".vcf");
}

std::string RealPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (!resolved) {
    return {};
  }
  std::string result(resolved);
  std::free(resolved);
  return result;
}

std::string LinkText(const std::string& path) {
  std::string target(PATH_MAX, '\0');
  const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  return n < 0 ? std::string("?") : target.substr(0, static_cast<size_t>(n));
}

// What looking at one listed card file found, besides what went into its
// entry: the bytes read. Several files are looked at side by side, so the
// map of kept cards is only read then; the opening records what was read
// afterwards, in listing order.
//
// The bytes are copied into the entry then too: memory that a thread
// allocates stays in that thread's pool, where what this thread frees (the
// card replaced by a save) could not be used again.
struct Found {
  std::string bytes;
  std::int64_t readNs = -1;  // when the file was read; -1: the kept card matched
};

// Reads the entry's file, known to parse, into `found`.
void ReadCard(const FolderState& state, int dir, Entry& entry, Found& found) {
  found.readNs = NowNs();
  FileContent content = entry.linkTarget.empty()
                            ? ReadWholeFile(dir, entry.fileName, state.Shown(entry))
                            : ReadWholeFile(entry.linkTarget, state.Shown(entry));
  try {
    CheckParses(content.bytes);
  } catch (const SyntaxError& error) {
    throw ContactsError("Contact card " + state.Shown(entry) +
                        " is not a readable vCard: " + error.what());
  }
  found.bytes = std::move(content.bytes);
  entry.state = content.state;
}

// A name listed in the folder, with the type of file the listing gives
// (DT_REG, DT_LNK ... or DT_UNKNOWN when the file system does not say).
struct Listed {
  std::string name;
  unsigned char type = DT_UNKNOWN;
};

// Looks at the entry's card file, listed as of `type`, in the folder open
// as the descriptor `dir`. The card comes from `kept` when what is kept there
// is known to match the file; otherwise the file is read into `found`.
void LookAt(const FolderState& state, int dir, unsigned char type,
            const std::unordered_map<std::string, CachedCard>& kept, Entry& entry, Found& found) {
  const std::string& name = entry.fileName;
  if (type == DT_REG) {
    // A plain file of which no card is kept is read at once: reading tells
    // its state, and a look at the file first would only cost a call.
    const auto known = kept.find(name);
    if (known == kept.end() || !known->second.bytes) {
      ReadCard(state, dir, entry, found);
      return;
    }
  }
  std::optional<FileState> fileState = StatEntry(dir, name);
  if (!fileState) {
    throw ContactsError("Cannot read contact card " + state.Shown(entry) + ": " + ErrorText(errno));
  }
  if (S_ISLNK(fileState->mode)) {
    const std::string link = state.real + "/" + name;
    const std::string target = RealPath(link);
    if (target.empty()) {
      throw ContactsError("Contact card " + state.Shown(entry) + " is a link to " + LinkText(link) +
                          ", which cannot be followed");
    }
    if (target.compare(0, state.real.size() + 1, state.real + "/") != 0) {
      throw ContactsError("Contact card " + state.Shown(entry) + " is a link to " + target +
                          ", outside the contacts folder");
    }
    entry.linkTarget = target;
    fileState = StatFile(target);
    if (!fileState) {
      throw ContactsError("Cannot read contact card " + state.Shown(entry) + ": " +
                          ErrorText(errno));
    }
  }
  if (S_ISDIR(fileState->mode)) {
    throw ContactsError("Contact card " + state.Shown(entry) + " is a folder, not a card file");
  }
  if (!S_ISREG(fileState->mode)) {
    throw ContactsError("Contact card " + state.Shown(entry) + " is not a regular file");
  }
  const auto known = entry.linkTarget.empty() ? kept.find(name) : kept.find(state.CacheKey(entry));
  if (known != kept.end()) {
    const CachedCard& cached = known->second;
    if (cached.bytes && cached.identity == fileState->identity &&
        cached.recordedNs - fileState->identity.changedNs >= state.cache->settleNs) {
      entry.state = *fileState;
      entry.bytes = cached.bytes;
      return;
    }
  }
  ReadCard(state, dir, entry, found);
}

}  // namespace

}  // namespace vcard

VCardContactStore::VCardContactStore(std::chrono::nanoseconds settleTime, Clock revisionClock)
    : cache_(std::make_shared<vcard::CardCache>()) {
  cache_->settleNs = settleTime.count();
  cache_->revisionClock = std::move(revisionClock);
}

VCardContactStore::~VCardContactStore() = default;

std::size_t VCardContactStore::CardsParsed() const {
  return cache_->parsed;
}

std::unique_ptr<ContactsFolder> VCardContactStore::OpenFolder(const std::string& path) {
  using namespace vcard;
  auto state = std::make_shared<FolderState>();
  state->cache = cache_;
  state->shown = path;
  while (state->shown.size() > 1 && state->shown.back() == '/') {
    state->shown.pop_back();
  }
  state->real = RealPath(path);
  if (state->real.empty()) {
    if (errno == ENOENT) {
      throw ContactsError("Contacts folder " + path + " does not exist");
    }
    throw ContactsError("Cannot open contacts folder " + path + ": " + ErrorText(errno));
  }
  const int fd = ::open(state->real.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int openError = errno;
  state->handle = std::make_unique<FolderHandle>(fd);
  errno = openError;
  std::unique_ptr<DIR, DirectoryCloser> dir(fd < 0 ? nullptr : ::fdopendir(::dup(fd)));
  if (!dir) {
    if (errno == ENOTDIR) {
      throw ContactsError("Contacts folder " + path + " is not a folder");
    }
    throw ContactsError("Cannot list contacts folder " + path + ": " + ErrorText(errno));
  }
  std::vector<Listed> names;
  for (;;) {
    errno = 0;
    const dirent* item = ::readdir(dir.get());
    if (!item) {
      if (errno != 0) {
        throw ContactsError("Cannot list contacts folder " + path + ": " + ErrorText(errno));
      }
      break;
    }
    std::string name = item->d_name;
    if (IsCardFileName(name)) {
      names.push_back({std::move(name), item->d_type});
    } else if (name.front() == '.') {
      RemoveLeftoverTemporary(state->handle->get(), name);
    }
  }
  std::sort(names.begin(), names.end(),
            [](const Listed& a, const Listed& b) { return a.name < b.name; });

  // Updated in place: a folder opened again, unchanged, costs no allocation
  // per card.
  // Only one folder's cards are kept: a run works on one folder, and the
  // cards of a folder no longer used would stay for the program's lifetime.
  std::erase_if(cache_->folders, [&](const auto& folder) { return folder.first != state->real; });
  std::unordered_map<std::string, CachedCard>& kept = state->CachedCards();
  const std::uint64_t opening = ++cache_->opens;
  state->entries.reserve(names.size());
  for (Listed& listed : names) {
    state->entries.push_back(std::make_shared<Entry>());
    state->entries.back()->fileName = std::move(listed.name);
  }
  kept.reserve(names.size());
  std::vector<Found> found(names.size());
  // The first card in listing order that cannot be read is the one named,
  // as when the cards are read one after another.
  ForEachIndexInParallel(names.size(), [&](std::size_t i) {
    LookAt(*state, state->handle->get(), names[i].type, kept, *state->entries[i], found[i]);
  });
  for (std::size_t i = 0; i < found.size(); ++i) {
    Found& card = found[i];
    Entry& entry = *state->entries[i];
    CachedCard& cached =
        entry.linkTarget.empty() ? kept[entry.fileName] : kept[state->CacheKey(entry)];
    if (card.readNs >= 0) {
      entry.bytes = Kept(card.bytes);
      std::string().swap(card.bytes);
      cached = CachedCard{entry.state.identity, entry.bytes, card.readNs, 0};
      ++cache_->parsed;
    }
    cached.lastOpen = opening;
  }
  // Forget the cards of files that are gone.
  std::erase_if(kept, [&](const auto& item) { return item.second.lastOpen != opening; });
  return std::make_unique<VCardFolder>(std::move(state));
}

}  // namespace twinbook
