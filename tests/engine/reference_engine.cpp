#include "reference_engine.h"

#include <vector>

#include "engine/change_flags.h"
#include "engine/conflict.h"
#include "engine/phonebook_names.h"
#include "engine/reconcile.h"
#include "environment/activity_log.h"
#include "stores/speed_tags.h"

namespace twinbook::reference {

namespace {

using Field = std::string SyncObject::*;
// The nine entries in the order speed dials are handed out.
const std::pair<Field, Field> kEntries[] = {{&SyncObject::DCNumber, &SyncObject::DCSpeed},
                                            {&SyncObject::FaxNumber, &SyncObject::FaxSpeed},
                                            {&SyncObject::HomeNumber, &SyncObject::HomeSpeed},
                                            {&SyncObject::MobileNumber, &SyncObject::MobileSpeed},
                                            {&SyncObject::OtherNumber, &SyncObject::OtherSpeed},
                                            {&SyncObject::PagerNumber, &SyncObject::PagerSpeed},
                                            {&SyncObject::Work1Number, &SyncObject::Work1Speed},
                                            {&SyncObject::Work2Number, &SyncObject::Work2Speed},
                                            {&SyncObject::EmailAddress, &SyncObject::EmailSpeed}};

void MarkM(SyncObject* r) {
  if (r != nullptr && r->Flag.empty()) {
    r->Flag = "M";
  }
}

struct Run {
  explicit Run(RunContext& context) : c(context) {}
  RunContext& c;
  SyncSet& ol = c.state.OutlookSet;
  SyncSet& pb = c.state.PhoneBookSet;
  SyncSet& sy = c.state.SyncDatabaseSet;
  std::vector<int> open;  // sync positions of conflicts left without a choice

  void Log(const std::string& line) {
    LogFile log(c.settings().LogPath, LogFile::Mode::Append);
    log.WriteLine(line);
    log.Close();
  }
  // The lowest number that `owner` finds in none of the three sets.
  std::string Free(int (*owner)(const std::string&, const SyncSet&)) {
    long long n = 1;
    while (owner(std::to_string(n), ol) || owner(std::to_string(n), pb) ||
           owner(std::to_string(n), sy)) {
      ++n;
    }
    return std::to_string(n);
  }
  void Reconciled(SyncObject& y) {
    Log("... " + y.ContactName + (y.Flag == "N" ? " will be added to" : " will be modified in") +
        " the sync database.");
    y.Flag = y.Flag == "N" ? "C" : "W";
  }
  void HandOver(const std::string& name, int o, int p, int y) {
    Log("... Conflict detected for " + name);
    c.state.ConflictOutlookIndex = o;
    c.state.ConflictPhoneBookIndex = p;
    c.state.ConflictSyncIndex = y;
    const auto answer = c.view.AskConflict({BoxesOf(ol.Item(o)), BoxesOf(pb.Item(p))});
    c.StopIfQuitting();
    answer ? ApplyConflictChoice(c, *answer) : open.push_back(y);
  }
  // A sync record new in this run is not written while its conflict is open.
  void HoldBack() {
    for (int y : open) {
      if (sy.Item(y).Flag == "N") {
        sy.Item(y).Flag = "";
        Log("... " + sy.Item(y).ContactName +
            " will not be added to the sync database until its conflict is resolved.");
      }
    }
  }

  void AssignContactIDs() {
    Log("Verifying that all Outlook Contact items contain a contact ID.");
    for (SyncObject& o : ol) {
      if (!o.ContactID.empty()) {
        continue;
      }
      const int p = FindByContactName(o.ContactName, pb);
      if (p > 0 && FindByContactID(pb.Item(p).ContactID, ol) == 0) {
        o.ContactID = pb.Item(p).ContactID;
        Log("... " + o.ContactName + " in Outlook has been matched with " + pb.Item(p).ContactName +
            " in the PhoneBook and assigned a contact ID of " + o.ContactID + ".");
      } else {
        o.ContactID = Free(FindByContactID);
        Log("... " + o.ContactName + " has been assigned a new contact ID of " + o.ContactID + ".");
      }
      if (o.Flag.empty()) {
        o.Flag = "I";
        Log("... " + o.ContactName + " will be modified in Outlook.");
      }
    }
  }

  void FlagDeletedItems() {
    Log("Checking for items that have been deleted.");
    for (SyncObject& y : sy) {
      const int p = FindByContactID(y.ContactID, pb), o = FindByContactID(y.ContactID, ol);
      if (p == 0 || o == 0) {
        y.Flag = "D";
        SyncObject& survivor = p > 0 ? pb.Item(p) : o > 0 ? ol.Item(o) : y;
        survivor.Flag = "D";
        Log("... " + survivor.ContactName + " has been deleted from " +
            (p > 0   ? "Outlook."
             : o > 0 ? "the PhoneBook."
                     : "both Outlook and the PhoneBook."));
      }
    }
  }

  void FlagNewIn(SyncSet& own, SyncSet& other, const std::string& name, const std::string& to) {
    Log("Checking for new items in " + name + ".");
    for (SyncObject& r : own) {
      const bool inOther = FindByContactID(r.ContactID, other) > 0;
      const bool inSync = FindByContactID(r.ContactID, sy) > 0;
      if (r.Flag != "D" && !inOther) {
        other.CloneNew(r);
        Log("... " + r.ContactName + " is new to " + to + ".");
      }
      if (r.Flag != "D" && !inSync) {
        sy.CloneNew(r);
        Log("... " + r.ContactName + " is new to the sync database.");
      }
    }
  }

  void AssignSpeedDials() {
    for (SyncObject& o : ol) {
      for (auto [value, speed] : kEntries) {
        if (o.Flag == "D" || (o.*value).empty() || !(o.*speed).empty()) {
          continue;
        }
        const int p = FindByContactID(o.ContactID, pb), y = FindByContactID(o.ContactID, sy);
        SyncObject* phone = p > 0 ? &pb.Item(p) : nullptr;
        SyncObject* sync = y > 0 ? &sy.Item(y) : nullptr;
        if (phone != nullptr && !(phone->*speed).empty()) {  // the phone's slot is adopted
          o.*speed = phone->*speed;
          if (sync != nullptr && sync->*speed != o.*speed) {
            sync->*speed = o.*speed;
            MarkM(sync);
          }
          continue;
        }
        o.*speed = Free(reference::FindSpeedDialOwner);
        for (SyncObject* r : {phone, sync}) {
          if (r != nullptr) {
            r->*speed = (r->*value).empty() ? "" : o.*speed;
            MarkM(r);
          }
        }
      }
    }
  }

  void FlagModifiedItems() {
    Log("Checking for items that have been modified.");
    for (SyncObject& y : sy) {
      const int o = FindByContactID(y.ContactID, ol), p = FindByContactID(y.ContactID, pb);
      if (y.Flag == "D") {
        continue;
      }
      const bool outlookChanged = o > 0 && !ContactsMatch(y, ol.Item(o));
      const bool phoneBookChanged = p > 0 && !PhoneBookRecordMatches(pb.Item(p), y);
      if (outlookChanged) {
        MarkM(&pb.Item(p));
        MarkM(&y);
        Log("... " + y.ContactName + " has been modified in Outlook.");
      }
      if (phoneBookChanged) {
        MarkM(&ol.Item(o));
        if (y.Flag == "N") {  // took the Outlook data: ask now
          MarkM(&pb.Item(p));
        }
        MarkM(&y);
        Log("... " + y.ContactName + " has been modified in the PhoneBook.");
      }
    }
  }

  void SyncModifiedItems() {
    Log("Synchronizing modified items.");
    for (int k = 1; k <= ol.Count(); ++k) {
      if (ol.Item(k).Flag != "M") {
        continue;
      }
      SyncObject& o = ol.Item(k);
      const int p = FindByContactID(o.ContactID, pb), y = FindByContactID(o.ContactID, sy);
      SyncObject& phone = pb.Item(p);
      SyncObject& sync = sy.Item(y);
      if (phone.Flag.empty()) {
        const std::string from = " has been copied from the PhoneBook data to the ";
        CopyFromPhoneBook(o, phone);
        Log("... Information for " + o.ContactName + from + "Outlook data.");
        CopyFromPhoneBook(sync, phone);
        Log("... Information for " + o.ContactName + from + "sync data.");
        o.Flag = "W";
        Log("... " + o.ContactName + " will be modified in Outlook.");
        Reconciled(sync);
      } else if (!PhoneBookRecordMatches(phone, o)) {
        HandOver(o.ContactName, k, p, y);
      } else {
        Log("... Identical changes have been detected in the Outlook data and the PhoneBook data.");
        CopyContact(sync, o);
        Log("... Information for " + o.ContactName +
            " has been copied from the Outlook data to the sync data.");
        Reconciled(sync);
      }
    }
    for (int k = 1; k <= pb.Count(); ++k) {
      if (pb.Item(k).Flag != "M") {
        continue;
      }
      SyncObject& phone = pb.Item(k);
      const int o = FindByContactID(phone.ContactID, ol), y = FindByContactID(phone.ContactID, sy);
      SyncObject& card = ol.Item(o);
      SyncObject& sync = sy.Item(y);
      if (card.Flag.empty()) {
        if (SpeedTagText(card) != SpeedTagText(phone)) {  // the card's own tags are rewritten
          ApplySpeedTagText(card, SpeedTagText(card));
          card.Flag = "S";
          Log("... The speed dial values for " + card.ContactName +
              " will be modified in Outlook.");
        }
        const std::string from = " has been copied from the Outlook data to the ";
        CopyContact(phone, card);
        Log("... Information for " + phone.ContactName + from + "PhoneBook data.");
        CopyContact(sync, card);
        Log("... Information for " + phone.ContactName + from + "sync data.");
        phone.Flag = "W";
        Log("... " + phone.ContactName + " will be modified in the PhoneBook.");
        Reconciled(sync);
      } else if (!PhoneBookRecordMatches(phone, card)) {
        HandOver(phone.ContactName, o, k, y);
      } else {
        Log("... Identical changes have been detected in the PhoneBook data and the Outlook data.");
        CopyFromPhoneBook(sync, phone);
        Log("... Information for " + phone.ContactName +
            " has been copied from the PhoneBook data to the sync data.");
        Reconciled(sync);
      }
    }
    HoldBack();
  }

  void SyncNewIn(bool outlookSide) {
    SyncSet& own = outlookSide ? ol : pb;
    SyncSet& other = outlookSide ? pb : ol;
    for (int k = 1; k <= own.Count(); ++k) {
      if (own.Item(k).Flag != "N") {
        continue;
      }
      SyncObject& r = own.Item(k);
      const int x = FindByContactID(r.ContactID, other), y = FindByContactID(r.ContactID, sy);
      SyncObject& counterpart = other.Item(x);
      SyncObject& sync = sy.Item(y);
      if (!counterpart.Flag.empty() && !(outlookSide ? PhoneBookRecordMatches(counterpart, r)
                                                     : PhoneBookRecordMatches(r, counterpart))) {
        HandOver(r.ContactName, outlookSide ? k : x, outlookSide ? x : k, y);
        continue;
      }
      r.Flag = sync.Flag = "C";
      Log("... " + r.ContactName + " will be added to " +
          (outlookSide ? "Outlook." : "the PhoneBook."));
      Log("... " + sync.ContactName + " will be added to the sync database.");
    }
  }
};

}  // namespace

const std::array<void (*)(RunContext&), 7> kDecidingPhases = {
    [](RunContext& c) { Run(c).AssignContactIDs(); },
    [](RunContext& c) { Run(c).FlagDeletedItems(); },
    [](RunContext& c) {
      Run run(c);
      run.FlagNewIn(run.ol, run.pb, "Outlook", "the PhoneBook");
      run.FlagNewIn(run.pb, run.ol, "the PhoneBook", "Outlook");
    },
    [](RunContext& c) { Run(c).AssignSpeedDials(); },
    [](RunContext& c) { Run(c).FlagModifiedItems(); },
    [](RunContext& c) { Run(c).SyncModifiedItems(); },
    [](RunContext& c) {
      Run run(c);
      run.Log("Synchronizing new items.");
      run.SyncNewIn(true);
      run.SyncNewIn(false);
      run.HoldBack();
    }};

int FindSpeedDialOwner(const std::string& speed, const SyncSet& set) {
  int owner = 0;
  for (int k = 1; k <= set.Count(); ++k) {
    for (auto [value, slot] : kEntries) {
      owner = set.Item(k).*slot == speed ? k : owner;
    }
  }
  return owner;
}

}  // namespace twinbook::reference
