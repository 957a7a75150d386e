#include "platform/vcard_contact_store.h"

#include <dirent.h>
#include <sys/stat.h>

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
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/contact_filter.h"
#include "platform/vcard_card.h"
#include "platform/vcard_files.h"
#include "platform/vcard_mapping.h"
#include "platform/vcard_text.h"

namespace twinbook {

namespace vcard {

struct CachedCard {
  FileIdentity identity;
  std::shared_ptr<const Card> card;
  std::int64_t recordedNs = 0;  // when the card was known to match the file
};

struct CardCache {
  // File times come from a coarse clock: a file rewritten twice within one
  // tick, at the same size and in place, keeps its identity. A card is taken
  // from the cache only when its file had last changed this long before the
  // card was recorded, so that any later change shows in the change time.
  std::int64_t settleNs = 0;
  // By the file's real path, per folder (by the folder's real path).
  std::unordered_map<std::string, std::unordered_map<std::string, CachedCard>> folders;
  std::size_t parsed = 0;
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

struct Entry {
  std::string fileName;
  std::string shown;      // the folder as given, "/" and the file name
  std::string writePath;  // the real path of the file (a link's target)
  FileState state;
  std::shared_ptr<const Card> card;
  std::uint64_t revision = 0;
  bool deleted = false;
  // The folded value under which the entry is filed in each built index.
  std::array<std::string, kPropertyCount> keys;
};

using Index = std::unordered_map<std::string, std::vector<Entry*>>;

struct FolderState {
  std::string shown;                            // the path as given, without trailing slashes
  std::string real;                             // its real path
  std::vector<std::shared_ptr<Entry>> entries;  // in listing order: by file name bytes
  std::array<std::unique_ptr<Index>, kPropertyCount> indexes;  // built on first use
  std::shared_ptr<CardCache> cache;
  std::mt19937_64 random{std::random_device{}()};

  std::unordered_map<std::string, CachedCard>& CachedCards() { return cache->folders[real]; }

  void Remember(const Entry& entry) {
    CachedCards()[entry.writePath] = CachedCard{entry.state.identity, entry.card, NowNs()};
  }

  Index& IndexOf(ContactProperty property) {
    std::unique_ptr<Index>& index = indexes[static_cast<size_t>(property)];
    if (!index) {
      index = std::make_unique<Index>();
      for (const auto& entry : entries) {
        File(*index, property, *entry);
      }
    }
    return *index;
  }

  static void File(Index& index, ContactProperty property, Entry& entry) {
    std::string& key = entry.keys[static_cast<size_t>(property)];
    key = FoldCase(ReadProperty(*entry.card, property));
    index[key].push_back(&entry);
  }

  static void Unfile(Index& index, ContactProperty property, Entry& entry) {
    const auto it = index.find(entry.keys[static_cast<size_t>(property)]);
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

  std::vector<std::shared_ptr<Entry>>::iterator Position(const std::string& fileName) {
    return std::lower_bound(entries.begin(), entries.end(), fileName,
                            [](const std::shared_ptr<Entry>& e, const std::string& name) {
                              return e->fileName < name;
                            });
  }

  bool HasFile(const std::string& fileName) {
    const auto it = Position(fileName);
    return it != entries.end() && (*it)->fileName == fileName;
  }

  void Insert(const std::shared_ptr<Entry>& entry) {
    entries.insert(Position(entry->fileName), entry);
    ForEachIndex([&](Index& index, ContactProperty p) { File(index, p, *entry); });
    Remember(*entry);
  }

  void Replace(Entry& entry, std::shared_ptr<const Card> card, const FileState& state) {
    entry.card = std::move(card);
    entry.state = state;
    ++entry.revision;
    ForEachIndex([&](Index& index, ContactProperty p) {
      const std::string key = FoldCase(ReadProperty(*entry.card, p));
      if (key != entry.keys[static_cast<size_t>(p)]) {
        Unfile(index, p, entry);
        File(index, p, entry);
      }
    });
    Remember(entry);
  }

  void Remove(Entry& entry) {
    ForEachIndex([&](Index& index, ContactProperty p) { Unfile(index, p, entry); });
    CachedCards().erase(entry.writePath);
    const auto it = Position(entry.fileName);
    if (it != entries.end() && it->get() == &entry) {
      entries.erase(it);
    }
    entry.deleted = true;
  }
};

class VCardItem : public ContactItem {
 public:
  VCardItem(std::shared_ptr<FolderState> folder, std::shared_ptr<Entry> entry)
      : folder_(std::move(folder)),
        entry_(std::move(entry)),
        base_(entry_->card),
        baseRevision_(entry_->revision) {}

  // A new card, not in the folder until saved.
  explicit VCardItem(std::shared_ptr<FolderState> folder)
      : folder_(std::move(folder)),
        base_(std::make_shared<const Card>(NewCard(NewUid(folder_->random)))) {}

  std::string TypeName() const override { return CardTypeName(Current()); }

  std::string Get(ContactProperty property) const override {
    return ReadProperty(Current(), property);
  }

  void Set(ContactProperty property, const std::string& value) override {
    if (!edited_) {
      edited_ = *base_;
    }
    if (WriteProperty(*edited_, property, value)) {
      changes_.emplace_back(property, value);
    }
  }

  void Save() override {
    if (deleted_) {
      throw ContactsError("Cannot save " + Describe() + ": it has been deleted");
    }
    if (!entry_) {
      SaveNew();
      return;
    }
    if (entry_->deleted) {
      throw ContactsError("Cannot save " + entry_->shown + ": it has been deleted");
    }
    if (!edited_) {
      return;
    }
    if (baseRevision_ != entry_->revision) {
      // Saved through another handle meanwhile: apply this handle's changes
      // to the card as it now stands, so that neither save undoes the other.
      Card rebased = *entry_->card;
      for (const auto& [property, value] : changes_) {
        WriteProperty(rebased, property, value);
      }
      edited_ = std::move(rebased);
      base_ = entry_->card;
      baseRevision_ = entry_->revision;
    }
    // Compared as written, so that a value set and set back, or a 2.1 card
    // whose properties were all written unchanged, is no change.
    if (Write(*edited_) == Write(*base_)) {
      Settle();
      return;
    }
    const std::optional<FileState> now = StatFile(entry_->writePath);
    if (!now || now->identity != entry_->state.identity) {
      throw ContactsError("Contact card " + entry_->shown +
                          " was changed or removed by another program since it was read; "
                          "it was not overwritten");
    }
    Card card = *edited_;
    PrepareForWriting(card, [this] { return NewUid(folder_->random); });
    WriteFileAtomically(entry_->writePath, Write(card), true, now->mode, folder_->random,
                        entry_->shown);
    folder_->Replace(*entry_, std::make_shared<const Card>(std::move(card)),
                     WrittenState(entry_->writePath, entry_->shown));
    Settle();
  }

  void Delete() override {
    if (deleted_ || (entry_ && entry_->deleted)) {
      throw ContactsError("Cannot delete " + Describe() + ": it has already been deleted");
    }
    if (entry_) {
      MoveIntoSubfolder(folder_->real, entry_->fileName, kDeletedFolder, entry_->shown);
      folder_->Remove(*entry_);
    }
    deleted_ = true;
  }

  std::string Describe() const override {
    return entry_ ? entry_->shown : "a new contact card in " + folder_->shown;
  }

 private:
  const Card& Current() const { return edited_ ? *edited_ : *base_; }

  void Settle() {
    base_ = entry_->card;
    baseRevision_ = entry_->revision;
    edited_.reset();
    changes_.clear();
  }

  static FileState WrittenState(const std::string& path, const std::string& shown) {
    const std::optional<FileState> state = StatFile(path);
    if (!state) {
      throw ContactsError("Contact card " + shown + " vanished as soon as it was written");
    }
    return *state;
  }

  void SaveNew() {
    Card card = Current();
    PrepareForWriting(card, [this] { return NewUid(folder_->random); });
    const std::string content = Write(card);
    std::string fileName = CardFileNameForUid(CardUid(card));
    for (int attempt = 0;; ++attempt) {
      if (fileName.empty() || folder_->HasFile(fileName)) {
        fileName = NewUid(folder_->random) + ".vcf";
      }
      const std::string path = folder_->real + "/" + fileName;
      if (WriteFileAtomically(path, content, false, std::nullopt, folder_->random,
                              folder_->shown + "/" + fileName)) {
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
    entry->shown = folder_->shown + "/" + fileName;
    entry->writePath = folder_->real + "/" + fileName;
    entry->state = WrittenState(entry->writePath, entry->shown);
    entry->card = std::make_shared<const Card>(std::move(card));
    folder_->Insert(entry);
    entry_ = std::move(entry);
    Settle();
  }

  std::shared_ptr<FolderState> folder_;
  std::shared_ptr<Entry> entry_;  // null for a new card until its first save
  std::shared_ptr<const Card> base_;
  std::uint64_t baseRevision_ = 0;
  std::optional<Card> edited_;  // a copy, once a property is set
  std::vector<std::pair<ContactProperty, std::string>> changes_;
  bool deleted_ = false;
};

class VCardFolder : public ContactsFolder {
 public:
  explicit VCardFolder(std::shared_ptr<FolderState> state) : state_(std::move(state)) {}

  int Count() override { return static_cast<int>(state_->entries.size()); }

  std::unique_ptr<ContactItem> Item(int position) override {
    if (position < 1 || position > Count()) {
      throw std::out_of_range("Contacts folder " + state_->shown + " has no item at position " +
                              std::to_string(position) + " (it holds " + std::to_string(Count()) +
                              ")");
    }
    return std::make_unique<VCardItem>(state_, state_->entries[position - 1]);
  }

  std::unique_ptr<ContactItem> Find(const std::string& filter) override {
    const ContactFilter parsed = ContactFilter::Parse(filter);
    auto matches = [&](const Entry& entry) {
      return parsed.Matches([&](ContactProperty p) { return ReadProperty(*entry.card, p); });
    };
    const Entry* found = nullptr;
    if (parsed.RequiredTerms().empty()) {
      for (const auto& entry : state_->entries) {
        if (matches(*entry)) {
          found = entry.get();
          break;
        }
      }
    } else {
      // Every match has the value of each required term; the shortest list
      // of candidates is as good as any and the cheapest to test.
      const std::vector<Entry*>* candidates = nullptr;
      for (const FilterTerm& term : parsed.RequiredTerms()) {
        Index& index = state_->IndexOf(term.property);
        const auto it = index.find(FoldCase(term.value));
        if (it == index.end()) {
          return nullptr;
        }
        if (!candidates || it->second.size() < candidates->size()) {
          candidates = &it->second;
        }
      }
      for (const Entry* entry : *candidates) {
        if ((!found || entry->fileName < found->fileName) && matches(*entry)) {
          found = entry;
        }
      }
    }
    if (!found) {
      return nullptr;
    }
    return std::make_unique<VCardItem>(state_, *state_->Position(found->fileName));
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

std::shared_ptr<Entry> ReadEntry(FolderState& state, const std::string& name,
                                 std::unordered_map<std::string, CachedCard>& kept,
                                 std::size_t& parsed) {
  auto entry = std::make_shared<Entry>();
  entry->fileName = name;
  entry->shown = state.shown + "/" + name;
  entry->writePath = state.real + "/" + name;
  struct stat st {};
  if (::lstat(entry->writePath.c_str(), &st) != 0) {
    throw ContactsError("Cannot read contact card " + entry->shown + ": " + ErrorText(errno));
  }
  if (S_ISLNK(st.st_mode)) {
    const std::string target = RealPath(entry->writePath);
    if (target.empty()) {
      throw ContactsError("Contact card " + entry->shown + " is a link to " +
                          LinkText(entry->writePath) + ", which cannot be followed");
    }
    if (target.compare(0, state.real.size() + 1, state.real + "/") != 0) {
      throw ContactsError("Contact card " + entry->shown + " is a link to " + target +
                          ", outside the contacts folder");
    }
    entry->writePath = target;
  }
  const std::optional<FileState> fileState = StatFile(entry->writePath);
  if (!fileState) {
    throw ContactsError("Cannot read contact card " + entry->shown + ": " + ErrorText(errno));
  }
  if (S_ISDIR(fileState->mode)) {
    throw ContactsError("Contact card " + entry->shown + " is a folder, not a card file");
  }
  if (!S_ISREG(fileState->mode)) {
    throw ContactsError("Contact card " + entry->shown + " is not a regular file");
  }
  const auto cached = kept.find(entry->writePath);
  if (cached != kept.end() && cached->second.identity == fileState->identity &&
      cached->second.recordedNs - fileState->identity.changedNs >= state.cache->settleNs) {
    entry->state = *fileState;
    entry->card = cached->second.card;
    return entry;
  }
  FileContent content = ReadWholeFile(entry->writePath, entry->shown);
  try {
    entry->card = std::make_shared<const Card>(Parse(content.bytes));
  } catch (const SyntaxError& error) {
    throw ContactsError("Contact card " + entry->shown +
                        " is not a readable vCard: " + error.what());
  }
  entry->state = content.state;
  ++parsed;
  return entry;
}

}  // namespace

}  // namespace vcard

VCardContactStore::VCardContactStore(std::chrono::nanoseconds settleTime)
    : cache_(std::make_shared<vcard::CardCache>()) {
  cache_->settleNs = settleTime.count();
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
  std::unique_ptr<DIR, DirectoryCloser> dir(::opendir(state->real.c_str()));
  if (!dir) {
    if (errno == ENOTDIR) {
      throw ContactsError("Contacts folder " + path + " is not a folder");
    }
    throw ContactsError("Cannot list contacts folder " + path + ": " + ErrorText(errno));
  }
  std::vector<std::string> names;
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
      names.push_back(std::move(name));
    }
  }
  dir.reset();
  std::sort(names.begin(), names.end());

  std::unordered_map<std::string, CachedCard>& kept = state->CachedCards();
  std::unordered_map<std::string, CachedCard> seen;
  state->entries.reserve(names.size());
  for (const std::string& name : names) {
    const std::int64_t before = NowNs();
    std::shared_ptr<Entry> entry = ReadEntry(*state, name, kept, cache_->parsed);
    const auto cached = kept.find(entry->writePath);
    seen[entry->writePath] = cached != kept.end() && cached->second.card == entry->card
                                 ? cached->second
                                 : CachedCard{entry->state.identity, entry->card, before};
    state->entries.push_back(std::move(entry));
  }
  kept = std::move(seen);  // forget the cards of files that are gone
  return std::make_unique<VCardFolder>(std::move(state));
}

}  // namespace twinbook
