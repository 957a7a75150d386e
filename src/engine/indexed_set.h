#pragma once

#include <set>
#include <string>
#include <unordered_map>

#include "model/sync_set.h"

namespace twinbook {

// A contact set together with the positions of each ContactID in it, so that
// a phase finds a contact's counterparts without walking the whole set for
// every record. A first run over thousands of contacts would otherwise crawl.
//
// FindContactID answers exactly as FindByContactID does (the last position,
// 0 when none) as long as every change to an ID or to the set's membership
// goes through this object. The deciding phases only ever append, so
// positions never shift under it; copying a record's data over its own
// counterpart (same ID) leaves it valid too.
class IndexedSet {
 public:
  explicit IndexedSet(SyncSet& set);
  IndexedSet(const IndexedSet&) = delete;
  IndexedSet& operator=(const IndexedSet&) = delete;

  SyncSet& set() { return set_; }
  int Count() const { return set_.Count(); }
  // Throws std::out_of_range for a position outside 1..Count(), like the set.
  SyncObject& Item(int position) { return set_.Item(position); }

  int FindContactID(const std::string& id) const;
  bool HoldsContactID(const std::string& id) const { return positions_.contains(id); }

  // SyncSet::CloneNew, keeping the index in step.
  SyncObject& CloneNew(const SyncObject& source);
  // Gives the record at `position` the ID `id`, keeping the index in step.
  void SetContactID(int position, const std::string& id);

 private:
  SyncSet& set_;
  // Every position of each ID, so that the last one is known even after the
  // record at it has taken another ID.
  std::unordered_map<std::string, std::set<int>> positions_;
};

}  // namespace twinbook
