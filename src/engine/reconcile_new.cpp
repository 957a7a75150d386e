#include <vector>

#include "engine/conflict.h"
#include "engine/indexed_set.h"
#include "engine/phase_log.h"
#include "engine/phonebook_names.h"
#include "engine/reconcile.h"

namespace twinbook {

// The copies that FlagNewItems made ("N") become additions. A copy can only
// have drifted from its source when the source carries a flag of its own;
// then a difference is put to the user.
void SyncNewItems(RunContext& context) {
  RunState& state = context.state;
  PhaseLog log(context.settings().LogPath);
  log.Write("Synchronizing new items.");

  IndexedSet outlook(state.OutlookSet);
  IndexedSet phoneBook(state.PhoneBookSet);
  IndexedSet sync(state.SyncDatabaseSet);
  std::vector<int> openConflicts;

  for (int k = 1; k <= outlook.Count(); ++k) {
    SyncObject& o = outlook.Item(k);
    if (o.Flag != "N") {
      continue;
    }
    const int pb = phoneBook.FindContactID(o.ContactID);
    const int sy = sync.FindContactID(o.ContactID);
    SyncObject& p = phoneBook.Item(pb);
    SyncObject& s = sync.Item(sy);
    if (!p.Flag.empty() && !PhoneBookRecordMatches(p, o)) {
      if (!HandOverConflict(context, log, o.ContactName, k, pb, sy)) {
        openConflicts.push_back(sy);
      }
      continue;
    }
    o.Flag = "C";
    log.Write("... " + o.ContactName + " will be added to Outlook.");
    s.Flag = "C";
    log.Write("... " + s.ContactName + " will be added to the sync database.");
  }

  for (int k = 1; k <= phoneBook.Count(); ++k) {
    SyncObject& p = phoneBook.Item(k);
    if (p.Flag != "N") {
      continue;
    }
    const int ol = outlook.FindContactID(p.ContactID);
    const int sy = sync.FindContactID(p.ContactID);
    SyncObject& o = outlook.Item(ol);
    SyncObject& s = sync.Item(sy);
    if (!o.Flag.empty() && !PhoneBookRecordMatches(p, o)) {
      if (!HandOverConflict(context, log, p.ContactName, ol, k, sy)) {
        openConflicts.push_back(sy);
      }
      continue;
    }
    p.Flag = "C";
    log.Write("... " + p.ContactName + " will be added to the PhoneBook.");
    s.Flag = "C";
    log.Write("... " + s.ContactName + " will be added to the sync database.");
  }

  HoldBackOpenConflicts(context, log, openConflicts);
  log.Close();
}

}  // namespace twinbook
