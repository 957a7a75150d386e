#include "engine/indexed_set.h"

namespace twinbook {

IndexedSet::IndexedSet(SyncSet& set) : set_(set) {
  positions_.reserve(static_cast<size_t>(set.Count()));
  int position = 1;
  for (const SyncObject& record : set) {
    positions_[record.ContactID].insert(position);
    ++position;
  }
}

int IndexedSet::FindContactID(const std::string& id) const {
  auto it = positions_.find(id);
  return it == positions_.end() ? 0 : *it->second.rbegin();
}

SyncObject& IndexedSet::CloneNew(const SyncObject& source) {
  SyncObject& clone = set_.CloneNew(source);
  positions_[clone.ContactID].insert(set_.Count());
  return clone;
}

void IndexedSet::SetContactID(int position, const std::string& id) {
  SyncObject& record = set_.Item(position);
  auto old = positions_.find(record.ContactID);
  if (old != positions_.end()) {
    old->second.erase(position);
    if (old->second.empty()) {
      positions_.erase(old);
    }
  }
  record.ContactID = id;
  positions_[id].insert(position);
}

}  // namespace twinbook
