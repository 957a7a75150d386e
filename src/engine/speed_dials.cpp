#include "engine/speed_dials.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/indexed_set.h"

namespace twinbook {

namespace {

using Field = RecordText SyncObject::*;

struct SpeedKind {
  Field value;
  Field speed;
};

// The order in which the entries of one record are given slots.
constexpr std::array<SpeedKind, 9> kAssignmentOrder = {{
    {&SyncObject::DCNumber, &SyncObject::DCSpeed},
    {&SyncObject::FaxNumber, &SyncObject::FaxSpeed},
    {&SyncObject::HomeNumber, &SyncObject::HomeSpeed},
    {&SyncObject::MobileNumber, &SyncObject::MobileSpeed},
    {&SyncObject::OtherNumber, &SyncObject::OtherSpeed},
    {&SyncObject::PagerNumber, &SyncObject::PagerSpeed},
    {&SyncObject::Work1Number, &SyncObject::Work1Speed},
    {&SyncObject::Work2Number, &SyncObject::Work2Speed},
    {&SyncObject::EmailAddress, &SyncObject::EmailSpeed},
}};

// The slot numbers in use across the three sets, kept as the phase changes
// speed dials, so that the lowest free slot is found without walking the
// sets for every candidate. A slot is in use while any speed dial of any
// record holds its exact text ("01" does not hold slot 1). A sync record's
// speed dial may be overwritten, which frees its old slot again.
//
// Texts in the plain decimal form that LowestFree hands out are counted by
// number in an array, which the phase touches for every speed dial of every
// record; only other texts ("01", "x") go into a map, as they can never be
// handed out and only need counting.
class SlotPool {
 public:
  void Count(const SyncSet& set) {
    for (const SyncObject& record : set) {
      for (const SpeedKind& kind : kAssignmentOrder) {
        Use(record.*kind.speed);
      }
    }
  }

  // Sets a speed dial of `record`, keeping the pool in step.
  void Set(SyncObject& record, Field speed, std::string text) {
    Release(record.*speed);
    Use(text);
    record.*speed = std::move(text);
  }

  // The lowest slot not in use.
  std::string LowestFree() {
    while (UsesOf(lowest_) > 0) {
      ++lowest_;
    }
    return std::to_string(lowest_);
  }

 private:
  // Slot numbers up to this are counted in the array.
  static constexpr long long kCountedInArray = 1 << 22;

  int UsesOf(long long slot) const {
    if (slot < kCountedInArray) {
      return static_cast<size_t>(slot) < numbered_.size() ? numbered_[slot] : 0;
    }
    auto it = others_.find(std::to_string(slot));
    return it == others_.end() ? 0 : it->second;
  }

  void Use(std::string_view text) {
    if (text.empty()) {
      return;
    }
    if (const long long slot = SlotNumber(text); slot > 0 && slot < kCountedInArray) {
      if (static_cast<size_t>(slot) >= numbered_.size()) {
        numbered_.resize(std::max<size_t>(static_cast<size_t>(slot) + 1, numbered_.size() * 2));
      }
      ++numbered_[slot];
      return;
    }
    ++others_[std::string(text)];
  }

  void Release(std::string_view text) {
    const long long slot = SlotNumber(text);
    if (slot > 0 && slot < kCountedInArray) {
      if (static_cast<size_t>(slot) >= numbered_.size() || numbered_[slot] == 0 ||
          --numbered_[slot] > 0) {
        return;
      }
    } else {
      auto it = others_.find(std::string(text));
      if (it == others_.end() || --it->second > 0) {
        return;
      }
      others_.erase(it);
    }
    // Every slot below lowest_ is in use; one of them may have become free.
    if (slot > 0 && slot < lowest_) {
      lowest_ = slot;
    }
  }

  // The number a slot text stands for when it is the plain decimal form that
  // LowestFree hands out, else 0.
  static long long SlotNumber(std::string_view text) {
    if (text.empty() || text.size() > 15 || text[0] == '0') {
      return 0;
    }
    long long number = 0;
    for (char c : text) {
      if (c < '0' || c > '9') {
        return 0;
      }
      number = number * 10 + (c - '0');
    }
    return number;
  }

  std::vector<int> numbered_;                    // uses of slot n at [n]
  std::unordered_map<std::string, int> others_;  // uses of every other text
  long long lowest_ = 1;
};

}  // namespace

int FindSpeedDialOwner(const std::string& speed, const SyncSet& set) {
  int answer = 0;
  int position = 1;
  for (const SyncObject& record : set) {
    if (record.DCSpeed == speed || record.EmailSpeed == speed || record.FaxSpeed == speed ||
        record.HomeSpeed == speed || record.MobileSpeed == speed || record.OtherSpeed == speed ||
        record.PagerSpeed == speed || record.Work1Speed == speed || record.Work2Speed == speed) {
      answer = position;
    }
    ++position;
  }
  return answer;
}

void AssignSpeedDials(RunContext& context) {
  RunState& state = context.state;
  SlotPool slots;
  slots.Count(state.OutlookSet);
  slots.Count(state.PhoneBookSet);
  slots.Count(state.SyncDatabaseSet);
  IndexedSet phoneBook(state.PhoneBookSet);
  IndexedSet sync(state.SyncDatabaseSet);

  for (SyncObject& outlook : state.OutlookSet) {
    // A contact deleted in the PhoneBook is about to be deleted here too: a
    // slot handed to it would reach no store, yet take the place of the next
    // entry's. A run interrupted after the card's deletion would then give
    // that next entry the lower slot, and the stores would end otherwise
    // than the uninterrupted run leaves them.
    if (outlook.Flag == "D") {
      continue;
    }
    // Found once the record needs them; no ID changes in this phase.
    bool found = false;
    SyncObject* pbRecord = nullptr;
    SyncObject* syRecord = nullptr;
    for (const SpeedKind& kind : kAssignmentOrder) {
      if ((outlook.*kind.value).empty() || !(outlook.*kind.speed).empty()) {
        continue;
      }
      if (!found) {
        const int pb = phoneBook.FindContactID(outlook.ContactID);
        const int sy = sync.FindContactID(outlook.ContactID);
        pbRecord = pb > 0 ? &phoneBook.Item(pb) : nullptr;
        syRecord = sy > 0 ? &sync.Item(sy) : nullptr;
        found = true;
      }

      if (pbRecord != nullptr && !(pbRecord->*kind.speed).empty()) {
        // The phone already has a slot for this entry: adopt it.
        const std::string adopted = pbRecord->*kind.speed;
        slots.Set(outlook, kind.speed, adopted);
        if (syRecord != nullptr && syRecord->*kind.speed != adopted) {
          slots.Set(*syRecord, kind.speed, adopted);
          if (syRecord->Flag.empty()) {
            syRecord->Flag = "M";
          }
        }
        continue;
      }

      const std::string slot = slots.LowestFree();
      slots.Set(outlook, kind.speed, slot);
      for (SyncObject* counterpart : {pbRecord, syRecord}) {
        if (counterpart == nullptr) {
          continue;
        }
        slots.Set(*counterpart, kind.speed, (counterpart->*kind.value).empty() ? "" : slot);
        if (counterpart->Flag.empty()) {
          counterpart->Flag = "M";
        }
      }
    }
  }
}

}  // namespace twinbook
