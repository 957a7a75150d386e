#pragma once

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "model/sync_object.h"
#include "model/text_store.h"

namespace twinbook {

// An ordered list of SyncObject records addressed by 1-based position.
//
// The set owns its records and hands out references to them: a record taken
// with Item() or by iteration is the set's own, so changing it changes the
// set. References stay valid while records are appended (records live in
// blocks that never move) and until the record itself is removed.
//
// Records are only appended at the end; Remove(p) moves every later record
// down by one. No record has a key: two records may carry the same ContactID.
class SyncSet {
 public:
  SyncSet() = default;
  SyncSet(const SyncSet&) = delete;
  SyncSet& operator=(const SyncSet&) = delete;
  SyncSet(SyncSet&&) = default;
  SyncSet& operator=(SyncSet&&) = default;

  // The record at `position` (1 to Count()).
  // Throws std::out_of_range naming the position when it is outside that range.
  SyncObject& Item(int position);
  const SyncObject& Item(int position) const;

  int Count() const { return static_cast<int>(records_.size()); }

  // Removes the record at `position`; later records move down by one.
  // Throws std::out_of_range naming the position when it is outside 1..Count().
  void Remove(int position);

  // Appends a new, empty record and returns it.
  SyncObject& Append();
  // Appends a copy of every field of `source` and returns it. The importers
  // add their records with this: the copy's longer texts are kept by the
  // set (see TextStore).
  SyncObject& Append(const SyncObject& source);

  // Appends a copy of the twenty data fields of `source` flagged "N" and
  // returns it; `source` and its Flag are left alone.
  SyncObject& CloneNew(const SyncObject& source);

  // Enumeration in position order, yielding the set's own records.
  template <typename Record, typename Base>
  class BasicIterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = SyncObject;
    using difference_type = std::ptrdiff_t;
    using pointer = Record*;
    using reference = Record&;

    BasicIterator() = default;
    explicit BasicIterator(Base it) : it_(it) {}
    reference operator*() const { return **it_; }
    pointer operator->() const { return *it_; }
    BasicIterator& operator++() {
      ++it_;
      return *this;
    }
    BasicIterator operator++(int) {
      BasicIterator old = *this;
      ++it_;
      return old;
    }
    bool operator==(const BasicIterator&) const = default;

   private:
    Base it_{};
  };
  using iterator = BasicIterator<SyncObject, std::vector<SyncObject*>::iterator>;
  using const_iterator = BasicIterator<const SyncObject, std::vector<SyncObject*>::const_iterator>;

  iterator begin() { return iterator(records_.begin()); }
  iterator end() { return iterator(records_.end()); }
  const_iterator begin() const { return const_iterator(records_.begin()); }
  const_iterator end() const { return const_iterator(records_.end()); }

 private:
  void CheckPosition(int position, const char* operation) const;

  // A place for one more record, at the end of the last block.
  SyncObject& NewRecord();

  // In position order. Each points into `blocks_`.
  std::vector<SyncObject*> records_;
  // The longer texts of records made by Append(source) and CloneNew.
  // Declared before the blocks so that it outlives the records borrowing
  // from it; emptied with them.
  TextStore texts_;
  // Records are made a block at a time: the run loads tens of thousands,
  // and one allocation each cost more than filling them. A removed record's
  // place stays unused until the set is emptied, which frees every block.
  static constexpr std::size_t kBlockRecords = 128;
  std::vector<std::unique_ptr<SyncObject[]>> blocks_;
  std::size_t usedInLastBlock_ = kBlockRecords;
};

// Position of the last record whose ContactID equals `id` exactly, 0 if none.
int FindByContactID(const std::string& id, const SyncSet& set);

// Position of the last record whose ContactName equals `name` exactly, 0 if none.
int FindByContactName(const std::string& name, const SyncSet& set);

// Removes every record, last first.
void ClearSet(SyncSet& set);

}  // namespace twinbook
