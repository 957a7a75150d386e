#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/sync_set.h"

namespace twinbook {

// A contact set together with the positions of each ContactID in it, so that
// a phase finds a contact's counterparts without walking the whole set for
// every record. A first run over thousands of contacts would otherwise crawl.
//
// FindContactID answers exactly as FindByContactID does (the last position,
// 0 when none) as long as every change to an ID or to the set's membership
// after the first call goes through this object. The deciding phases only
// ever append, so positions never shift under it; copying a record's data
// over its own counterpart (same ID) leaves it valid too.
//
// Every phase makes its own, so it is cheap to build: a hash table of
// positions in two arrays, no allocation per record. It is built at the
// first call that needs it, not when made: a phase that finds nothing to
// look up (an unchanged run flags no record new or modified) reads none of
// the records for it. Each filing holds a copy of its ID (in place, for any
// ID of up to 15 bytes), so that a lookup never reads the records: over
// tens of thousands of them, each record read is a miss of the processor's
// caches. Every record without an ID is filed under "", so a lookup of ""
// walks all of them: in a first run, most of the set.
class IndexedSet {
 public:
  explicit IndexedSet(SyncSet& set);
  IndexedSet(const IndexedSet&) = delete;
  IndexedSet& operator=(const IndexedSet&) = delete;

  SyncSet& set() { return set_; }
  int Count() const { return set_.Count(); }
  // Throws std::out_of_range for a position outside 1..Count(), like the set.
  SyncObject& Item(int position) { return set_.Item(position); }

  int FindContactID(std::string_view id) const;
  // FindContactID of each of `ids`, into `positions` (as many). Faster over
  // many IDs than a call for each: over a large set every lookup waits for
  // memory, and a group's lookups wait together.
  void FindContactIDs(std::span<const std::string_view> ids, std::span<int> positions) const;
  bool HoldsContactID(std::string_view id) const { return FindContactID(id) != 0; }

  // SyncSet::CloneNew, keeping the index in step.
  SyncObject& CloneNew(const SyncObject& source);
  // Gives the record at `position` the ID `id`, keeping the index in step.
  void SetContactID(int position, std::string_view id);

 private:
  // A position filed under the ID its record carries. A record that takes
  // another ID is filed again under the new one, and its old filing is
  // emptied (position 0), which no lookup answers.
  struct Filing {
    std::size_t hash;
    RecordText id;
    int position;
    int next;  // the next filing in the same bucket, as an index into filings_; -1 ends
  };

  static std::size_t Hash(std::string_view id) { return std::hash<std::string_view>{}(id); }
  // Lookups and filings fetched from memory together.
  static constexpr std::size_t kGroup = 16;

  // Files every record of the set, once.
  void Build() const;
  // `hash`: Hash(id).
  void File(std::string_view id, std::size_t hash, int position) const;
  // The last position filed under `id` in the bucket chain from `head`; 0 for none.
  int LastFiled(int head, std::size_t hash, std::string_view id) const;
  void Rehash(std::size_t buckets) const;

  SyncSet& set_;
  // Filled by the first lookup or change, hence mutable: a lookup changes
  // nothing a caller can see.
  mutable bool built_ = false;
  mutable std::vector<Filing> filings_;
  mutable std::vector<int> buckets_;  // the first filing of each bucket; -1 for none
  // The live filing of each position (at [position - 1]): a first run gives
  // thousands of records an ID, all of them filed under "" until then.
  mutable std::vector<int> filingOf_;
};

}  // namespace twinbook
