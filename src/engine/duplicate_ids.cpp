#include "engine/duplicate_ids.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/indexed_set.h"
#include "engine/phase_log.h"
#include "engine/start_sync.h"

namespace twinbook {

namespace {

struct SharedID {
  const SyncObject* first;
  const SyncObject* other;
};

// Every record whose non-empty ID an earlier record of the set carries,
// paired with the first record carrying it.
std::vector<SharedID> SharedIDs(SyncSet& set) {
  // Most sets carry no ID twice: the index's answer (the last record with
  // the ID) is the record itself. Only the IDs that are not are kept here,
  // keyed by their first record's own text. Records with no ID are not
  // looked up: in a first run most cards have none, and each lookup of ""
  // would walk all of them.
  const IndexedSet index(set);
  std::vector<std::string_view> ids;
  std::vector<int> positions;
  int position = 1;
  for (const SyncObject& record : set) {
    if (!record.ContactID.empty()) {
      ids.push_back(record.ContactID.view());
      positions.push_back(position);
    }
    ++position;
  }
  std::vector<int> last(ids.size());
  index.FindContactIDs(ids, last);

  std::unordered_map<std::string_view, const SyncObject*> firstWithID;
  std::vector<SharedID> shared;
  for (size_t i = 0; i < ids.size(); ++i) {
    const SyncObject& record = set.Item(positions[i]);
    if (const auto it = firstWithID.find(ids[i]); it != firstWithID.end()) {
      shared.push_back({it->second, &record});
    } else if (last[i] != positions[i]) {
      firstWithID.emplace(ids[i], &record);
    }
  }
  return shared;
}

std::string SharedIDSentence(const SharedID& shared) {
  return shared.first->ContactName + " and " + shared.other->ContactName +
         " in Outlook carry the same contact ID of " + shared.first->ContactID + ".";
}

}  // namespace

bool ContactIDsAllowRun(RunContext& context) {
  RunState& state = context.state;
  const std::vector<SharedID> outlookShared = SharedIDs(state.OutlookSet);
  const std::vector<SharedID> syncShared = SharedIDs(state.SyncDatabaseSet);
  if (outlookShared.empty() && syncShared.empty()) {
    return true;
  }

  PhaseLog log(context.settings().LogPath);
  std::unordered_set<std::string> noted;
  for (const SharedID& shared : syncShared) {
    if (noted.insert(shared.first->ContactID).second) {
      log.Write("... More than one record of the sync database carries the contact ID of " +
                shared.first->ContactID + "; the last of them is used.");
    }
  }
  if (outlookShared.empty()) {
    log.Close();
    return true;
  }

  log.Write("Synchronization cannot continue.");
  for (const SharedID& shared : outlookShared) {
    log.Write("... " + SharedIDSentence(shared));
  }
  log.Write(
      "... Please delete the copy, or empty the contact ID (User3) of one of them in Outlook, "
      "and synchronize again.");
  log.Close();

  context.view.SetStatus(kStatusError);
  std::string message = "The contacts " + SharedIDSentence(outlookShared.front());
  if (outlookShared.size() > 1) {
    message += " Other contacts share an ID as well; please check the log.";
  }
  context.view.ShowMessage(message);
  return false;
}

}  // namespace twinbook
