#include "engine/indexed_set.h"

#include <algorithm>
#include <array>

namespace twinbook {

IndexedSet::IndexedSet(SyncSet& set) : set_(set) {}

void IndexedSet::Build() const {
  if (built_) {
    return;
  }
  built_ = true;
  filings_.reserve(static_cast<size_t>(set_.Count()) + set_.Count() / 4 + 16);
  filingOf_.reserve(static_cast<size_t>(set_.Count()));
  Rehash(filings_.capacity());
  // A group at a time: each filing's bucket is a miss of the caches over a
  // large set, and fetching a group's buckets together overlaps the waits.
  std::array<std::size_t, kGroup> hashes{};
  const int count = set_.Count();
  for (int first = 1; first <= count; first += static_cast<int>(kGroup)) {
    const int size = std::min(static_cast<int>(kGroup), count - first + 1);
    for (int i = 0; i < size; ++i) {
      hashes[i] = Hash(set_.Item(first + i).ContactID);
      __builtin_prefetch(&buckets_[hashes[i] & (buckets_.size() - 1)], 1);
    }
    for (int i = 0; i < size; ++i) {
      File(set_.Item(first + i).ContactID, hashes[i], first + i);
    }
  }
}

void IndexedSet::Rehash(std::size_t atLeast) const {
  std::size_t size = 16;
  while (size < atLeast) {
    size *= 2;
  }
  buckets_.assign(size, -1);
  for (size_t i = 0; i < filings_.size(); ++i) {
    int& head = buckets_[filings_[i].hash & (size - 1)];
    filings_[i].next = head;
    head = static_cast<int>(i);
  }
}

void IndexedSet::File(std::string_view id, std::size_t hash, int position) const {
  if (filingOf_.size() < static_cast<size_t>(position)) {
    filingOf_.resize(static_cast<size_t>(position), -1);
  }
  filingOf_[static_cast<size_t>(position - 1)] = static_cast<int>(filings_.size());
  if (filings_.size() >= buckets_.size()) {
    filings_.push_back({hash, RecordText(id), position, -1});
    Rehash(buckets_.size() * 2);
    return;
  }
  int& head = buckets_[hash & (buckets_.size() - 1)];
  filings_.push_back({hash, RecordText(id), position, head});
  head = static_cast<int>(filings_.size() - 1);
}

int IndexedSet::FindContactID(std::string_view id) const {
  Build();
  const std::size_t hash = Hash(id);
  return LastFiled(buckets_[hash & (buckets_.size() - 1)], hash, id);
}

void IndexedSet::FindContactIDs(std::span<const std::string_view> ids,
                                std::span<int> positions) const {
  Build();
  std::array<std::size_t, kGroup> hashes{};
  std::array<int, kGroup> heads{};
  for (std::size_t first = 0; first < ids.size(); first += kGroup) {
    const std::size_t size = std::min(kGroup, ids.size() - first);
    for (std::size_t i = 0; i < size; ++i) {
      hashes[i] = Hash(ids[first + i]);
      __builtin_prefetch(&buckets_[hashes[i] & (buckets_.size() - 1)]);
    }
    for (std::size_t i = 0; i < size; ++i) {
      heads[i] = buckets_[hashes[i] & (buckets_.size() - 1)];
      if (heads[i] >= 0) {
        __builtin_prefetch(&filings_[static_cast<std::size_t>(heads[i])]);
      }
    }
    for (std::size_t i = 0; i < size; ++i) {
      positions[first + i] = LastFiled(heads[i], hashes[i], ids[first + i]);
    }
  }
}

int IndexedSet::LastFiled(int head, std::size_t hash, std::string_view id) const {
  int last = 0;
  for (int i = head; i >= 0; i = filings_[i].next) {
    const Filing& filing = filings_[i];
    if (filing.hash == hash && filing.position > last && filing.id == id) {
      last = filing.position;
    }
  }
  return last;
}

SyncObject& IndexedSet::CloneNew(const SyncObject& source) {
  Build();
  SyncObject& clone = set_.CloneNew(source);
  File(clone.ContactID, Hash(clone.ContactID), set_.Count());
  return clone;
}

void IndexedSet::SetContactID(int position, std::string_view id) {
  Build();
  SyncObject& record = set_.Item(position);
  if (record.ContactID == id) {
    return;
  }
  filings_[static_cast<size_t>(filingOf_[static_cast<size_t>(position - 1)])].position = 0;
  record.ContactID = id;
  File(id, Hash(id), position);
}

}  // namespace twinbook
