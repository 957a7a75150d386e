#include "engine/contact_ids.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/indexed_set.h"
#include "engine/phase_log.h"

namespace twinbook {

namespace {

// The position of the last PhoneBook record of each name: what
// FindByContactName answers, found without a scan. The phase changes no
// PhoneBook record, so the map, keyed by the records' own names, stays true
// throughout.
std::unordered_map<std::string_view, int> LastPositionByName(const SyncSet& set) {
  std::unordered_map<std::string_view, int> positions;
  positions.reserve(static_cast<size_t>(set.Count()));
  int position = 1;
  for (const SyncObject& record : set) {
    positions[record.ContactName.view()] = position;
    ++position;
  }
  return positions;
}

// Hands out the smallest positive number that no record of the three sets
// carries as its ID. IDs still held by the sync database are taken too: such
// a record may be a contact deleted on both sides since the last run, and a
// new contact carrying its ID would be mistaken for its surviving copy.
//
// During the phase IDs are only ever added (a record without ID receives
// one, and "" is never a candidate), so every number below the last one
// handed out stays taken and the search can go on from there instead of
// starting again at 1.
class FreeIdFinder {
 public:
  FreeIdFinder(const IndexedSet& outlook, const IndexedSet& phoneBook, const IndexedSet& sync)
      : outlook_(outlook), phoneBook_(phoneBook), sync_(sync) {}

  std::string Next() {
    std::string candidate = std::to_string(next_);
    while (outlook_.HoldsContactID(candidate) || phoneBook_.HoldsContactID(candidate) ||
           sync_.HoldsContactID(candidate)) {
      ++next_;
      candidate = std::to_string(next_);
    }
    return candidate;
  }

 private:
  const IndexedSet& outlook_;
  const IndexedSet& phoneBook_;
  const IndexedSet& sync_;
  long long next_ = 1;
};

}  // namespace

void AssignContactIDs(RunContext& context) {
  RunState& state = context.state;
  PhaseLog log(context.settings().LogPath);
  log.Write("Verifying that all Outlook Contact items contain a contact ID.");
  // Most runs find every contact with its ID: then there is nothing to
  // look up, and the sets need no index.
  if (std::none_of(state.OutlookSet.begin(), state.OutlookSet.end(),
                   [](const SyncObject& record) { return record.ContactID.empty(); })) {
    log.Close();
    return;
  }

  IndexedSet outlook(state.OutlookSet);
  const IndexedSet phoneBook(state.PhoneBookSet);
  const IndexedSet sync(state.SyncDatabaseSet);
  const std::unordered_map<std::string_view, int> phoneBookNames =
      LastPositionByName(state.PhoneBookSet);
  FreeIdFinder freeIds(outlook, phoneBook, sync);

  for (int position = 1; position <= outlook.Count(); ++position) {
    SyncObject& record = outlook.Item(position);
    if (!record.ContactID.empty()) {
      continue;
    }
    // The PhoneBook contact of the same name lends its ID, unless an Outlook
    // contact already carries it. An empty PhoneBook ID always counts as
    // carried: the record at hand carries "" itself.
    const SyncObject* match = nullptr;
    if (auto named = phoneBookNames.find(record.ContactName); named != phoneBookNames.end()) {
      const SyncObject& candidate = state.PhoneBookSet.Item(named->second);
      if (!outlook.HoldsContactID(candidate.ContactID)) {
        match = &candidate;
      }
    }
    if (match != nullptr) {
      outlook.SetContactID(position, match->ContactID);
      log.Write("... " + record.ContactName + " in Outlook has been matched with " +
                match->ContactName + " in the PhoneBook and assigned a contact ID of " +
                record.ContactID + ".");
    } else {
      outlook.SetContactID(position, freeIds.Next());
      log.Write("... " + record.ContactName + " has been assigned a new contact ID of " +
                record.ContactID + ".");
    }
    if (record.Flag.empty()) {
      record.Flag = "I";
      log.Write("... " + record.ContactName + " will be modified in Outlook.");
    }
  }
  log.Close();
}

}  // namespace twinbook
