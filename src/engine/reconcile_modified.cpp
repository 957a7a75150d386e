#include <vector>

#include "engine/conflict.h"
#include "engine/indexed_set.h"
#include "engine/phase_log.h"
#include "engine/phonebook_names.h"
#include "engine/reconcile.h"
#include "engine/sync_flag_rule.h"
#include "stores/speed_tags.h"

namespace twinbook {

void CopyContact(SyncObject& destination, const SyncObject& source) {
  destination.ContactID = source.ContactID;
  destination.ContactName = source.ContactName;
  destination.Work2Number = source.Work2Number;
  destination.DCNumber = source.DCNumber;
  destination.HomeNumber = source.HomeNumber;
  destination.Work1Number = source.Work1Number;
  destination.MobileNumber = source.MobileNumber;
  destination.FaxNumber = source.FaxNumber;
  destination.PagerNumber = source.PagerNumber;
  destination.OtherNumber = source.OtherNumber;
  destination.EmailAddress = source.EmailAddress;
  destination.DCSpeed = source.DCSpeed;
  destination.EmailSpeed = source.EmailSpeed;
  destination.FaxSpeed = source.FaxSpeed;
  destination.HomeSpeed = source.HomeSpeed;
  destination.PagerSpeed = source.PagerSpeed;
  destination.OtherSpeed = source.OtherSpeed;
  destination.MobileSpeed = source.MobileSpeed;
  destination.Work1Speed = source.Work1Speed;
  destination.Work2Speed = source.Work2Speed;
  if (destination.Flag.empty()) {
    destination.Flag = "M";
  }
}

// An "M" on an Outlook record means the contact changed in the PhoneBook, an
// "M" on a PhoneBook record that it changed in Outlook. Each pass handles the
// contacts its side's flag points at; a contact changed on both sides is met
// by both passes unless the first one settled it.
void SyncModifiedItems(RunContext& context) {
  RunState& state = context.state;
  PhaseLog log(context.settings().LogPath);
  log.Write("Synchronizing modified items.");

  // Only data move between a contact's own records here, so the IDs and the
  // index built from them stay as they are.
  IndexedSet outlook(state.OutlookSet);
  IndexedSet phoneBook(state.PhoneBookSet);
  IndexedSet sync(state.SyncDatabaseSet);
  std::vector<int> openConflicts;

  for (int k = 1; k <= outlook.Count(); ++k) {
    SyncObject& o = outlook.Item(k);
    if (o.Flag != "M") {
      continue;
    }
    const int pb = phoneBook.FindContactID(o.ContactID);
    const int sy = sync.FindContactID(o.ContactID);
    SyncObject& p = phoneBook.Item(pb);
    SyncObject& s = sync.Item(sy);

    if (p.Flag.empty()) {
      // Changed in the PhoneBook only.
      CopyFromPhoneBook(o, p);
      log.Write("... Information for " + o.ContactName +
                " has been copied from the PhoneBook data to the Outlook data.");
      CopyFromPhoneBook(s, p);
      log.Write("... Information for " + o.ContactName +
                " has been copied from the PhoneBook data to the sync data.");
      o.Flag = "W";
      log.Write("... " + o.ContactName + " will be modified in Outlook.");
      MarkSyncRecordReconciled(s, log);
    } else if (!PhoneBookRecordMatches(p, o)) {
      if (!HandOverConflict(context, log, o.ContactName, k, pb, sy)) {
        openConflicts.push_back(sy);
      }
    } else {
      // Changed on both sides alike: only the sync record is behind. The
      // "M" left on both sides is ignored by their writers.
      log.Write(
          "... Identical changes have been detected in the Outlook data and the PhoneBook data.");
      CopyContact(s, o);
      log.Write("... Information for " + o.ContactName +
                " has been copied from the Outlook data to the sync data.");
      MarkSyncRecordReconciled(s, log);
    }
  }

  for (int k = 1; k <= phoneBook.Count(); ++k) {
    SyncObject& p = phoneBook.Item(k);
    if (p.Flag != "M") {
      continue;
    }
    const int ol = outlook.FindContactID(p.ContactID);
    const int sy = sync.FindContactID(p.ContactID);
    SyncObject& o = outlook.Item(ol);
    SyncObject& s = sync.Item(sy);

    if (o.Flag.empty()) {
      // Changed in Outlook only. A number added or removed changes the
      // speed-dial tags Outlook keeps, so the card's tags are rewritten.
      if (SpeedTagText(o) != SpeedTagText(p)) {
        ApplySpeedTagText(o, SpeedTagText(o));
        o.Flag = "S";
        log.Write("... The speed dial values for " + o.ContactName +
                  " will be modified in Outlook.");
      }
      CopyContact(p, o);
      log.Write("... Information for " + p.ContactName +
                " has been copied from the Outlook data to the PhoneBook data.");
      CopyContact(s, o);
      log.Write("... Information for " + p.ContactName +
                " has been copied from the Outlook data to the sync data.");
      p.Flag = "W";
      log.Write("... " + p.ContactName + " will be modified in the PhoneBook.");
      MarkSyncRecordReconciled(s, log);
    } else if (!PhoneBookRecordMatches(p, o)) {
      if (!HandOverConflict(context, log, p.ContactName, ol, k, sy)) {
        openConflicts.push_back(sy);
      }
    } else {
      log.Write(
          "... Identical changes have been detected in the PhoneBook data and the Outlook data.");
      CopyFromPhoneBook(s, p);
      log.Write("... Information for " + p.ContactName +
                " has been copied from the PhoneBook data to the sync data.");
      MarkSyncRecordReconciled(s, log);
    }
  }

  HoldBackOpenConflicts(context, log, openConflicts);
  log.Close();
}

}  // namespace twinbook
