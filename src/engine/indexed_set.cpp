#include "engine/indexed_set.h"

#include <algorithm>

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
  int position = 1;
  for (const SyncObject& record : set_) {
    File(record.ContactID, position);
    ++position;
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

void IndexedSet::File(std::string_view id, int position) const {
  const std::size_t hash = Hash(id);
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
  int last = 0;
  for (int i = buckets_[hash & (buckets_.size() - 1)]; i >= 0; i = filings_[i].next) {
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
  File(clone.ContactID, set_.Count());
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
  File(id, position);
}

}  // namespace twinbook
