#include "model/sync_set.h"

#include <cstdint>
#include <stdexcept>

namespace twinbook {

void SyncSet::CheckPosition(int position, const char* operation) const {
  if (position < 1 || position > Count()) {
    throw std::out_of_range(std::string("Invalid position ") + std::to_string(position) + " for " +
                            operation + " in a set of " + std::to_string(Count()) + " records");
  }
}

SyncObject& SyncSet::Item(int position) {
  CheckPosition(position, "Item");
  return *records_[static_cast<size_t>(position - 1)];
}

const SyncObject& SyncSet::Item(int position) const {
  CheckPosition(position, "Item");
  return *records_[static_cast<size_t>(position - 1)];
}

void SyncSet::Remove(int position) {
  CheckPosition(position, "Remove");
  const auto it = records_.begin() + (position - 1);
  **it = SyncObject{};  // its texts go now, its place with the blocks
  records_.erase(it);
  if (records_.empty()) {
    blocks_.clear();
    texts_.Clear();
    usedInLastBlock_ = kBlockRecords;
  }
}

SyncObject& SyncSet::NewRecord() {
  if (blocks_.empty() || usedInLastBlock_ == kBlockRecords) {
    blocks_.push_back(std::make_unique<SyncObject[]>(kBlockRecords));
    usedInLastBlock_ = 0;
  }
  SyncObject* record = &blocks_.back()[usedInLastBlock_++];
  records_.push_back(record);
  return *record;
}

SyncObject& SyncSet::Append() {
  return NewRecord();
}

SyncObject& SyncSet::Append(const SyncObject& source) {
  static constexpr RecordText SyncObject::*kFields[] = {
      &SyncObject::ContactID,    &SyncObject::ContactName,  &SyncObject::Work2Number,
      &SyncObject::DCNumber,     &SyncObject::HomeNumber,   &SyncObject::Work1Number,
      &SyncObject::MobileNumber, &SyncObject::FaxNumber,    &SyncObject::PagerNumber,
      &SyncObject::OtherNumber,  &SyncObject::EmailAddress, &SyncObject::DCSpeed,
      &SyncObject::EmailSpeed,   &SyncObject::FaxSpeed,     &SyncObject::HomeSpeed,
      &SyncObject::PagerSpeed,   &SyncObject::OtherSpeed,   &SyncObject::MobileSpeed,
      &SyncObject::Work1Speed,   &SyncObject::Work2Speed,   &SyncObject::Flag};
  static_assert(sizeof kFields / sizeof kFields[0] * sizeof(RecordText) == sizeof(SyncObject));
  // The one failure that is not running out of memory is found before the
  // record is made. `source` may belong to this very set: neither its
  // record nor its texts move as the set grows.
  for (auto field : kFields) {
    if ((source.*field).size() > UINT32_MAX) {
      throw std::length_error("A text of a record is too long");
    }
  }
  SyncObject& record = NewRecord();
  for (auto field : kFields) {
    texts_.Keep((source.*field).view(), record.*field);
  }
  return record;
}

SyncObject& SyncSet::CloneNew(const SyncObject& source) {
  SyncObject& record = Append(source);
  record.Flag = "N";
  return record;
}

namespace {

int FindLast(const SyncSet& set, const std::string& text, RecordText SyncObject::*field) {
  int answer = 0;
  int position = 1;
  for (const SyncObject& record : set) {
    if (record.*field == text) {
      answer = position;
    }
    ++position;
  }
  return answer;
}

}  // namespace

int FindByContactID(const std::string& id, const SyncSet& set) {
  return FindLast(set, id, &SyncObject::ContactID);
}

int FindByContactName(const std::string& name, const SyncSet& set) {
  return FindLast(set, name, &SyncObject::ContactName);
}

void ClearSet(SyncSet& set) {
  while (set.Count() >= 1) {
    set.Remove(set.Count());
  }
}

}  // namespace twinbook
